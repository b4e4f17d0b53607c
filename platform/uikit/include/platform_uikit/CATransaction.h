#pragma once
// Groups of layer changes: the animation duration and timing that view
// animations use by default, whether implicit actions are off, and a
// completion block that runs on main once every animation added inside the
// transaction has stopped (at once, on the next turn, when there was none).
//
// Main thread; transactions nest.

#include <functional>
#include <memory>

class CAMediaTimingFunction;

namespace uikit_detail {
struct TransactionGroup;
}

class CATransaction {
public:
    static void begin();
    static void commit();
    // Nothing to push to a display here; kept for callers.
    static void flush() {}

    static double animationDuration();
    static void setAnimationDuration(double seconds);
    static std::shared_ptr<CAMediaTimingFunction> animationTimingFunction();
    static void setAnimationTimingFunction(std::shared_ptr<CAMediaTimingFunction> function);
    static bool disableActions();
    static void setDisableActions(bool disable);
    static void setCompletionBlock(std::function<void()> block);

    // The innermost open transaction's group, which animations added now join.
    static std::shared_ptr<uikit_detail::TransactionGroup> currentGroup();
};

namespace uikit_detail {
// Counts the animations of a transaction; the completion runs once the
// transaction was committed and the count is back to zero.
struct TransactionGroup {
    int pending = 0;
    bool committed = false;
    bool completed = false;
    std::function<void()> completion;
    void animationStarted() { ++pending; }
    void animationStopped();
    void commit();

private:
    void completeIfDone();
};
}  // namespace uikit_detail
