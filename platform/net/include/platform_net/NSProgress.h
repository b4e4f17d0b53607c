#pragma once
// Progress of a piece of work in units, observable by key-value observing, with
// cancel / pause / resume requests passed to handlers.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <platform_runtime/ObjCDeclare.h>

class NSProgress;
using NSProgressPtr = std::shared_ptr<NSProgress>;

class NSProgress : public NSObject {
    NS_CLASS(NSProgress, NSObject)
public:
    using Handler = std::function<void()>;

    NSProgress() = default;
    static NSProgressPtr progressWithTotalUnitCount(int64_t unitCount);
    static NSProgressPtr discreteProgressWithTotalUnitCount(int64_t unitCount);

    int64_t totalUnitCount() const;
    void setTotalUnitCount(int64_t count);
    int64_t completedUnitCount() const;
    void setCompletedUnitCount(int64_t count);
    // completed / total while total > 0 (not clamped); 0 otherwise. Observers of
    // "fractionCompleted" are told whenever either count is set.
    double fractionCompleted() const;
    // A count is negative, or both are zero.
    bool isIndeterminate() const;

    bool isCancellable() const;
    void setCancellable(bool value);
    bool isPausable() const;
    void setPausable(bool value);
    bool isCancelled() const;
    bool isPaused() const;

    // Marks the progress cancelled and calls the cancellation handler, once; later calls do
    // nothing. Called on the calling thread.
    void cancel();
    // Marks it paused and calls the pausing handler, when it was not paused.
    void pause();
    // Clears paused and calls the resuming handler, when it was paused.
    void resume();

    // A cancellation handler set on an already-cancelled progress runs at once, so a
    // cancellation that came first is not lost.
    void setCancellationHandler(Handler handler);
    void setPausingHandler(Handler handler);
    void setResumingHandler(Handler handler);

    // The text set, else "<percent>% completed".
    std::string localizedDescription() const;
    void setLocalizedDescription(std::string text);

    std::string description() const override;

    NS_PROPERTY_ACCESSORS(int64_t, totalUnitCount, "N", totalUnitCount, setTotalUnitCount)
    NS_PROPERTY_ACCESSORS(int64_t, completedUnitCount, "N", completedUnitCount, setCompletedUnitCount)
    NS_READONLY_PROPERTY(double, fractionCompleted, "R,N", fractionCompleted)
    NS_READONLY_PROPERTY(bool, indeterminate, "R,N,GisIndeterminate", isIndeterminate)
    NS_PROPERTY_ACCESSORS(bool, cancellable, "N,GisCancellable", isCancellable, setCancellable)
    NS_PROPERTY_ACCESSORS(bool, pausable, "N,GisPausable", isPausable, setPausable)
    NS_READONLY_PROPERTY(bool, cancelled, "R,N,GisCancelled", isCancelled)
    NS_READONLY_PROPERTY(bool, paused, "R,N,GisPaused", isPaused)
    NS_PROPERTY_ACCESSORS(std::string, localizedDescription, "C,N", localizedDescription, setLocalizedDescription)
    NS_AFFECTING_KEYS("fractionCompleted", "totalUnitCount", "completedUnitCount")
    NS_AFFECTING_KEYS("indeterminate", "totalUnitCount", "completedUnitCount")
    NS_AFFECTING_KEYS("localizedDescription", "totalUnitCount", "completedUnitCount")

private:
    // Stores under the lock, tells observers outside it.
    template <class T>
    void store(const char* key, T& field, T value);

    mutable std::mutex mutex_;
    int64_t total_ = 0;
    int64_t completed_ = 0;
    bool cancellable_ = true;
    bool pausable_ = false;
    bool cancelled_ = false;
    bool paused_ = false;
    std::optional<std::string> description_;
    Handler cancellationHandler_;
    Handler pausingHandler_;
    Handler resumingHandler_;
};
