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

namespace {
// Brackets a state transition for observers: announced only when it happens, and without
// the task's lock held (observers read the task).
class StateTransition {
public:
    StateTransition(NSURLSessionTask& task, bool observed) : task_(task), observed_(observed) {
        if (observed_) task_.willChangeValueForKey("state");
    }
    ~StateTransition() {
        if (observed_) task_.didChangeValueForKey("state");
    }

private:
    NSURLSessionTask& task_;
    bool observed_;
};
}  // namespace

void NSURLSessionTask::resumeImplementation() {
    std::shared_ptr<URLTaskLoader> loader;
    bool first = false;
    {
        StateTransition transition(*this, hasObservers() && state() == NSURLSessionTaskStateSuspended);
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
        StateTransition transition(*this, hasObservers() && state() == NSURLSessionTaskStateRunning);
        std::lock_guard lock(m_);
        if (state_ != NSURLSessionTaskStateRunning) return;
        state_ = NSURLSessionTaskStateSuspended;
        loader = loader_;
    }
    if (loader) loader->setSuspended(true);
}

void NSURLSessionTask::cancel() {
    std::shared_ptr<URLTaskLoader> loader;
    bool started = false;
    {
        auto now = state();
        StateTransition transition(*this, hasObservers() && now != NSURLSessionTaskStateCanceling &&
                                              now != NSURLSessionTaskStateCompleted);
        std::lock_guard lock(m_);
        if (state_ == NSURLSessionTaskStateCanceling || state_ == NSURLSessionTaskStateCompleted) return;
        state_ = NSURLSessionTaskStateCanceling;
        started = loader_ != nullptr;
        loader = loaderLocked();
    }
    if (!loader) return;
    // A task never resumed has nothing on the loading thread: it completes here, so a session
    // invalidated right after making tasks lets them go at once.
    if (started)
        loader->cancel();
    else
        loader->cancelBeforeStart();
}

void NSURLSessionDownloadTask::cancelByProducingResumeData(std::function<void(std::optional<Data>)> completionHandler) {
    std::shared_ptr<URLTaskLoader> loader;
    {
        auto now = state();
        StateTransition transition(*this, hasObservers() && now != NSURLSessionTaskStateCanceling &&
                                              now != NSURLSessionTaskStateCompleted);
        std::unique_lock lock(m_);
        if (state_ == NSURLSessionTaskStateCanceling || state_ == NSURLSessionTaskStateCompleted) {
            lock.unlock();
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

// --- what a load changes ------------------------------------------------------------------

template <class T>
void NSURLSessionTask::announceChange(const char* key, T& field, T value) {
    bool observed = false;
    {
        std::lock_guard lock(m_);
        if (field == value) return;
        observed = hasObservers();
        if (!observed) {
            field = value;
            return;
        }
    }
    willChangeValueForKey(key);
    {
        std::lock_guard lock(m_);
        field = value;
    }
    didChangeValueForKey(key);
}

NSURLSessionTask::BodySource NSURLSessionTask::bodySource(URLTaskLoaderKey) const {
    std::lock_guard lock(m_);
    return {body_, body_ == Body::Data ? &bodyData_ : nullptr, bodyFile_};
}

void NSURLSessionTask::dropBody(URLTaskLoaderKey) {
    std::lock_guard lock(m_);
    body_ = Body::None;
}

void NSURLSessionTask::setCurrentRequest(NSURLRequestPtr request, URLTaskLoaderKey) {
    std::lock_guard lock(m_);
    currentRequest_ = std::move(request);
}

void NSURLSessionTask::setResponse(NSURLResponsePtr response, int64_t expectedToReceive, URLTaskLoaderKey) {
    {
        std::lock_guard lock(m_);
        response_ = std::move(response);
    }
    announceChange("countOfBytesExpectedToReceive", expectedToReceive_, expectedToReceive);
}

void NSURLSessionTask::setExpectedToSend(int64_t expected, URLTaskLoaderKey) {
    announceChange("countOfBytesExpectedToSend", expectedToSend_, expected);
    announceChange("countOfBytesSent", sent_, int64_t(0));
}

void NSURLSessionTask::setBytesSent(int64_t sent, URLTaskLoaderKey) { announceChange("countOfBytesSent", sent_, sent); }

void NSURLSessionTask::setBytesReceived(int64_t received, URLTaskLoaderKey) {
    announceChange("countOfBytesReceived", received_, received);
}

void NSURLSessionTask::complete(NSErrorPtr error, URLTaskLoaderKey) {
    std::shared_ptr<URLTaskLoader> loader;  // let go after the lock
    {
        std::lock_guard lock(m_);
        error_ = std::move(error);
        loader = std::move(loader_);
    }
    announceChange("state", state_, NSURLSessionTaskStateCompleted);
}

void NSURLSessionTask::detachSession(URLTaskLoaderKey) {
    std::shared_ptr<NSURLSession> session;
    std::lock_guard lock(m_);
    session = std::move(session_);
}

void NSURLSessionTask::continueInto(NSURLSessionTask& download, uint64_t identifier, std::shared_ptr<URLTaskLoader> loader) {
    {
        std::scoped_lock lock(m_, download.m_);
        download.identifier_ = identifier;
        download.originalRequest_ = originalRequest_;
        download.currentRequest_ = currentRequest_;
        download.response_ = response_;
        download.description_ = description_;
        download.expectedToReceive_ = expectedToReceive_;
        download.state_ = NSURLSessionTaskStateRunning;
        download.session_ = session_;
        download.loader_ = std::move(loader);
    }
    std::shared_ptr<URLTaskLoader> old;
    std::shared_ptr<NSURLSession> session;
    {
        std::lock_guard lock(m_);
        old = std::move(loader_);
        session = std::move(session_);
    }
    announceChange("state", state_, NSURLSessionTaskStateCompleted);
}

std::shared_ptr<NSURLSessionDownloadTask> NSURLSessionDownloadTask::continuing(NSURLSessionTask& dataTask, uint64_t identifier,
                                                                               std::shared_ptr<URLTaskLoader> loader,
                                                                               URLTaskLoaderKey) {
    auto download = std::make_shared<NSURLSessionDownloadTask>();
    dataTask.continueInto(*download, identifier, std::move(loader));
    return download;
}

std::string NSURLSessionTask::description() const {
    std::lock_guard lock(m_);
    return "<" + className() + ": " + NSObject::description().substr(className().size() + 3) + " { taskIdentifier: " +
           std::to_string(identifier_) + " } { state: " + std::to_string(static_cast<int>(state_)) + " }";
}
