#include <platform_net/NSStream.h>

#include <cstring>
#include <deque>

#include <platform_dispatch/RunLoopSource.h>

struct NSStream::Scheduling {
    struct Entry {
        std::weak_ptr<NSRunLoop> loop;
        NSRunLoopMode mode;
        std::shared_ptr<RunLoopSource> source;
    };
    std::mutex mutex;
    std::vector<Entry> entries;
    std::deque<NSStreamEvent> pending;
};

NSStream::NSStream() : scheduling_(std::make_shared<Scheduling>()) {}

NSStream::~NSStream() {
    std::lock_guard lock(scheduling_->mutex);
    for (auto& e : scheduling_->entries) {
        e.source->invalidate();
        if (auto loop = e.loop.lock()) loop->removeSource(e.source, e.mode);
    }
}

void NSStream::open() {}

void NSStream::close() {
    setStreamStatus(NSStreamStatusClosed);
    std::lock_guard lock(scheduling_->mutex);
    scheduling_->pending.clear();
}

NSStreamStatus NSStream::streamStatus() const {
    std::lock_guard lock(stateMutex_);
    return status_;
}

NSErrorPtr NSStream::streamError() const {
    std::lock_guard lock(stateMutex_);
    return error_;
}

std::shared_ptr<NSStreamDelegate> NSStream::delegate() const {
    std::lock_guard lock(stateMutex_);
    return delegate_.lock();
}

void NSStream::setDelegate(const std::shared_ptr<NSStreamDelegate>& delegate) {
    std::lock_guard lock(stateMutex_);
    delegate_ = delegate;
}

Value NSStream::propertyForKey(const std::string&) const { return Value(); }

bool NSStream::setProperty(const Value&, const std::string&) { return false; }

void NSStream::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) {
    if (!runLoop) return;
    std::weak_ptr<NSStream> weak = std::static_pointer_cast<NSStream>(shared_from_this());
    auto source = std::make_shared<RunLoopSource>([weak] {
        if (auto self = weak.lock()) self->deliverEvents();
    });
    bool hasPending;
    {
        std::lock_guard lock(scheduling_->mutex);
        for (const auto& e : scheduling_->entries) {
            if (e.loop.lock() == runLoop && e.mode == mode) return;
        }
        scheduling_->entries.push_back({runLoop, mode, source});
        hasPending = !scheduling_->pending.empty();
    }
    runLoop->addSource(source, mode);
    if (hasPending) source->signal();
}

void NSStream::removeFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) {
    std::shared_ptr<RunLoopSource> removed;
    {
        std::lock_guard lock(scheduling_->mutex);
        auto& entries = scheduling_->entries;
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->loop.lock() == runLoop && it->mode == mode) {
                removed = it->source;
                entries.erase(it);
                break;
            }
        }
    }
    if (!removed) return;
    removed->invalidate();
    runLoop->removeSource(removed, mode);
}

void NSStream::setStreamStatus(NSStreamStatus status) {
    std::lock_guard lock(stateMutex_);
    status_ = status;
}

void NSStream::setStreamError(const NSErrorPtr& error) {
    {
        std::lock_guard lock(stateMutex_);
        error_ = error;
        status_ = NSStreamStatusError;
    }
    postEvent(NSStreamEventErrorOccurred);
}

void NSStream::postEvent(NSStreamEvent event) {
    std::vector<std::shared_ptr<RunLoopSource>> sources;
    {
        std::lock_guard lock(scheduling_->mutex);
        if (scheduling_->entries.empty()) return;
        for (auto e : scheduling_->pending) {
            if (e == event) return;
        }
        scheduling_->pending.push_back(event);
        for (const auto& e : scheduling_->entries) sources.push_back(e.source);
    }
    for (auto& s : sources) s->signal();
}

void NSStream::deliverEvents() {
    auto self = std::static_pointer_cast<NSStream>(shared_from_this());
    for (;;) {
        NSStreamEvent event;
        {
            std::lock_guard lock(scheduling_->mutex);
            if (scheduling_->pending.empty()) return;
            event = scheduling_->pending.front();
            scheduling_->pending.pop_front();
        }
        if (auto d = delegate()) d->stream(self, event);
    }
}

NSErrorPtr NSStream::posixError(int code) {
    return NSError::errorWithDomain(NSPOSIXErrorDomain, code,
                                    {{NSLocalizedDescriptionKey, Value(std::string(std::strerror(code)))}});
}
