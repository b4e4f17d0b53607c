#include <platform_uikit/CATransaction.h>

#include <platform_uikit/CAAnimation.h>

#include <platform_dispatch/DispatchQueue.h>

#include <vector>

namespace {

struct Frame {
    double duration = 0.25;
    std::shared_ptr<CAMediaTimingFunction> timing;
    bool disableActions = false;
    std::shared_ptr<uikit_detail::TransactionGroup> group = std::make_shared<uikit_detail::TransactionGroup>();
};

std::vector<Frame>& frames() {
    static std::vector<Frame> stack;
    return stack;
}

}  // namespace

namespace uikit_detail {

void TransactionGroup::animationStopped() {
    if (pending > 0) --pending;
    completeIfDone();
}

void TransactionGroup::commit() {
    committed = true;
    completeIfDone();
}

void TransactionGroup::completeIfDone() {
    if (!committed || pending > 0 || completed) return;
    completed = true;
    if (auto block = std::move(completion)) dispatch_async(dispatch_get_main_queue(), std::move(block));
}

}  // namespace uikit_detail

void CATransaction::begin() { frames().emplace_back(); }

void CATransaction::commit() {
    if (frames().empty()) return;
    auto group = frames().back().group;
    frames().pop_back();
    group->commit();
}

double CATransaction::animationDuration() { return frames().empty() ? 0.25 : frames().back().duration; }

void CATransaction::setAnimationDuration(double seconds) {
    if (!frames().empty()) frames().back().duration = seconds;
}

std::shared_ptr<CAMediaTimingFunction> CATransaction::animationTimingFunction() {
    return frames().empty() ? nullptr : frames().back().timing;
}

void CATransaction::setAnimationTimingFunction(std::shared_ptr<CAMediaTimingFunction> function) {
    if (!frames().empty()) frames().back().timing = std::move(function);
}

bool CATransaction::disableActions() {
    for (auto& f : frames())
        if (f.disableActions) return true;
    return false;
}

void CATransaction::setDisableActions(bool disable) {
    if (!frames().empty()) frames().back().disableActions = disable;
}

void CATransaction::setCompletionBlock(std::function<void()> block) {
    if (!frames().empty()) frames().back().group->completion = std::move(block);
}

std::shared_ptr<uikit_detail::TransactionGroup> CATransaction::currentGroup() {
    return frames().empty() ? nullptr : frames().back().group;
}
