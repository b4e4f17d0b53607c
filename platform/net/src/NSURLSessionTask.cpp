#include <platform_net/NSURLSessionTask.h>

#include <platform_net/NSURLSession.h>
#include <platform_runtime/ObjCRuntime.h>

#include <algorithm>

#include "session/URLTaskLoader.h"

NS_CLASS_LOAD(NSURLSessionTask) {
    cls.addMethod("resume", makeInstanceImp<void()>([](NSObject& self) {
                      static_cast<NSURLSessionTask&>(self).resumeImplementation();
                  }),
                  "v16@0:8");
    cls.addMethod("suspend", makeInstanceImp<void()>([](NSObject& self) {
                      static_cast<NSURLSessionTask&>(self).suspendImplementation();
                  }),
                  "v16@0:8");
}

NSURLSessionTask::NSURLSessionTask() = default;
NSURLSessionTask::~NSURLSessionTask() = default;

NSURLSessionTaskState NSURLSessionTask::state() const {
    std::lock_guard lock(m_);
    return state_;
}
std::optional<std::string> NSURLSessionTask::taskDescription() const {
    std::lock_guard lock(m_);
    return description_;
}
void NSURLSessionTask::setTaskDescription(std::optional<std::string> description) {
    std::lock_guard lock(m_);
    description_ = std::move(description);
}
int64_t NSURLSessionTask::countOfBytesSent() const {
    std::lock_guard lock(m_);
    return sent_;
}
int64_t NSURLSessionTask::countOfBytesExpectedToSend() const {
    std::lock_guard lock(m_);
    return expectedToSend_;
}
int64_t NSURLSessionTask::countOfBytesReceived() const {
    std::lock_guard lock(m_);
    return received_;
}
int64_t NSURLSessionTask::countOfBytesExpectedToReceive() const {
    std::lock_guard lock(m_);
    return expectedToReceive_;
}
NSURLRequestPtr NSURLSessionTask::originalRequest() const {
    std::lock_guard lock(m_);
    return originalRequest_;
}
NSURLRequestPtr NSURLSessionTask::currentRequest() const {
    std::lock_guard lock(m_);
    return currentRequest_;
}
NSURLResponsePtr NSURLSessionTask::response() const {
    std::lock_guard lock(m_);
    return response_;
}
NSErrorPtr NSURLSessionTask::error() const {
    std::lock_guard lock(m_);
    return error_;
}
float NSURLSessionTask::priority() const {
    std::lock_guard lock(m_);
    return priority_;
}
void NSURLSessionTask::setPriority(float priority) {
    std::lock_guard lock(m_);
    priority_ = std::clamp(priority, 0.0f, 1.0f);
}

void NSURLSessionTask::resume() { invokeMethod<void()>(*this, "resume"); }
void NSURLSessionTask::suspend() { invokeMethod<void()>(*this, "suspend"); }

std::shared_ptr<URLTaskLoader> NSURLSessionTask::loaderLocked() {
    if (!loader_ && session_)
        loader_ = std::make_shared<URLTaskLoader>(session_, std::static_pointer_cast<NSURLSessionTask>(shared_from_this()));
    return loader_;
}

void NSURLSessionTask::resumeImplementation() {
    std::shared_ptr<URLTaskLoader> loader;
    bool first = false;
    {
        std::lock_guard lock(m_);
        if (state_ != NSURLSessionTaskStateSuspended) return;
        state_ = NSURLSessionTaskStateRunning;
        first = !loader_;
        loader = loaderLocked();
    }
    if (!loader) return;
    if (first)
        loader->start();
    else
        loader->setSuspended(false);
}

void NSURLSessionTask::suspendImplementation() {
    std::shared_ptr<URLTaskLoader> loader;
    {
        std::lock_guard lock(m_);
        if (state_ != NSURLSessionTaskStateRunning) return;
        state_ = NSURLSessionTaskStateSuspended;
        loader = loader_;
    }
    if (loader) loader->setSuspended(true);
}

void NSURLSessionTask::cancel() {
    std::shared_ptr<URLTaskLoader> loader;
    {
        std::lock_guard lock(m_);
        if (state_ == NSURLSessionTaskStateCanceling || state_ == NSURLSessionTaskStateCompleted) return;
        state_ = NSURLSessionTaskStateCanceling;
        loader = loaderLocked();
    }
    if (loader) loader->cancel();
}

void NSURLSessionDownloadTask::cancelByProducingResumeData(std::function<void(std::optional<Data>)> completionHandler) {
    std::shared_ptr<URLTaskLoader> loader;
    {
        std::lock_guard lock(m_);
        if (state_ == NSURLSessionTaskStateCanceling || state_ == NSURLSessionTaskStateCompleted) {
            // Nothing to resume from: answer at once, as there is no delegate queue to wait for.
            if (completionHandler) completionHandler(std::nullopt);
            return;
        }
        state_ = NSURLSessionTaskStateCanceling;
        loader = loaderLocked();
    }
    if (loader) loader->cancelProducingResumeData(completionHandler ? std::move(completionHandler)
                                                                    : [](std::optional<Data>) {});
}

std::string NSURLSessionTask::description() const {
    std::lock_guard lock(m_);
    return "<" + className() + ": " + NSObject::description().substr(className().size() + 3) + " { taskIdentifier: " +
           std::to_string(identifier_) + " } { state: " + std::to_string(static_cast<int>(state_)) + " }";
}
