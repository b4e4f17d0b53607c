#include <platform_net/NSProgress.h>

#include <cmath>

NSProgressPtr NSProgress::progressWithTotalUnitCount(int64_t unitCount) {
    auto p = std::make_shared<NSProgress>();
    p->total_ = unitCount;
    return p;
}

NSProgressPtr NSProgress::discreteProgressWithTotalUnitCount(int64_t unitCount) {
    return progressWithTotalUnitCount(unitCount);
}

template <class T>
void NSProgress::store(const char* key, T& field, T value) {
    std::string k(key);
    if (hasObservers()) willChangeValueForKey(k);
    {
        std::lock_guard lock(mutex_);
        field = std::move(value);
    }
    if (hasObservers()) didChangeValueForKey(k);
}

int64_t NSProgress::totalUnitCount() const {
    std::lock_guard lock(mutex_);
    return total_;
}

void NSProgress::setTotalUnitCount(int64_t count) { store("totalUnitCount", total_, count); }

int64_t NSProgress::completedUnitCount() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void NSProgress::setCompletedUnitCount(int64_t count) { store("completedUnitCount", completed_, count); }

double NSProgress::fractionCompleted() const {
    std::lock_guard lock(mutex_);
    if (total_ <= 0 || completed_ < 0) return 0.0;
    return static_cast<double>(completed_) / static_cast<double>(total_);
}

bool NSProgress::isIndeterminate() const {
    std::lock_guard lock(mutex_);
    return total_ < 0 || completed_ < 0 || (total_ == 0 && completed_ == 0);
}

bool NSProgress::isCancellable() const {
    std::lock_guard lock(mutex_);
    return cancellable_;
}

void NSProgress::setCancellable(bool value) { store("cancellable", cancellable_, value); }

bool NSProgress::isPausable() const {
    std::lock_guard lock(mutex_);
    return pausable_;
}

void NSProgress::setPausable(bool value) { store("pausable", pausable_, value); }

bool NSProgress::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool NSProgress::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

void NSProgress::cancel() {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        handler = cancellationHandler_;
    }
    store("cancelled", cancelled_, true);
    if (handler) handler();
}

void NSProgress::pause() {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        if (paused_) return;
        handler = pausingHandler_;
    }
    store("paused", paused_, true);
    if (handler) handler();
}

void NSProgress::resume() {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        if (!paused_) return;
        handler = resumingHandler_;
    }
    store("paused", paused_, false);
    if (handler) handler();
}

void NSProgress::setCancellationHandler(Handler handler) {
    bool runNow;
    {
        std::lock_guard lock(mutex_);
        cancellationHandler_ = handler;
        runNow = cancelled_;
    }
    if (runNow && handler) handler();
}

void NSProgress::setPausingHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    pausingHandler_ = std::move(handler);
}

void NSProgress::setResumingHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    resumingHandler_ = std::move(handler);
}

std::string NSProgress::localizedDescription() const {
    {
        std::lock_guard lock(mutex_);
        if (description_) return *description_;
    }
    double percent = std::floor(fractionCompleted() * 100.0);
    return std::to_string(static_cast<int64_t>(percent)) + "% completed";
}

void NSProgress::setLocalizedDescription(std::string text) {
    std::optional<std::string> value(std::move(text));
    store("localizedDescription", description_, std::move(value));
}

std::string NSProgress::description() const {
    std::lock_guard lock(mutex_);
    return "<NSProgress: completedUnitCount: " + std::to_string(completed_) +
           " / totalUnitCount: " + std::to_string(total_) + ">";
}
