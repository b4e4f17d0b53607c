#include <platform_dispatch/RunLoopSource.h>

#include <platform_dispatch/NSRunLoop.h>

RunLoopSource::RunLoopSource(std::function<void()> perform) : perform_(std::move(perform)) {}

void RunLoopSource::signal() {
    if (!valid_.load()) return;
    signalled_.store(true);
    std::vector<std::shared_ptr<NSRunLoop>> loops;
    {
        std::lock_guard lock(m_);
        for (auto& weak : loops_)
            if (auto loop = weak.lock()) loops.push_back(std::move(loop));
    }
    for (auto& loop : loops) loop->wakeUp();
}

void RunLoopSource::invalidate() {
    valid_.store(false);
    std::lock_guard lock(m_);
    perform_ = nullptr;
}

void RunLoopSource::perform() {
    std::function<void()> fn;
    {
        std::lock_guard lock(m_);
        if (!valid_.load()) return;
        fn = perform_;
    }
    if (fn) fn();
}

void RunLoopSource::attach(const std::shared_ptr<NSRunLoop>& loop) {
    std::lock_guard lock(m_);
    for (auto& weak : loops_)
        if (weak.lock() == loop) return;
    loops_.push_back(loop);
}
