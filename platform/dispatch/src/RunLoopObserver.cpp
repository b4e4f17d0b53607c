#include <platform_dispatch/RunLoopObserver.h>

RunLoopObserver::RunLoopObserver(unsigned activities, bool repeats, int64_t order, Callback callback)
    : activities_(activities), repeats_(repeats), order_(order), callback_(std::move(callback)) {}

void RunLoopObserver::invalidate() {
    Callback callback;
    {
        std::lock_guard lock(m_);
        valid_.store(false);
        callback.swap(callback_);
    }
}

void RunLoopObserver::observe(CFRunLoopActivity activity) {
    if (!isValid() || !(activities_ & activity)) return;
    Callback callback;
    {
        std::lock_guard lock(m_);
        callback = callback_;  // a copy: the callback may invalidate its observer
    }
    if (!repeats_) invalidate();
    if (callback) callback(activity);
}
