#include <platform_net/NSURLSession.h>

#include <platform_dispatch/NSOperationQueue.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include "session/SerialDelivery.h"
#include "session/URLLoadingEngine.h"
#include "session/URLTaskLoader.h"

#include <atomic>
#include <filesystem>

using ConfigPtr = NSURLSessionConfigurationPtr;
using DelegatePtr = std::shared_ptr<NSURLSessionDelegate>;
using QueuePtr = std::shared_ptr<NSOperationQueue>;
using DataHandler = NSURLSessionDataTask::CompletionHandler;
using DownloadHandler = NSURLSessionDownloadTask::CompletionHandler;
using Bytes = std::vector<uint8_t>;

NS_CLASS_LOAD(NSURLSession) { NSURLSession::installMethods(cls); }

void NSURLSession::installMethods(ObjCClass& cls) {
    cls.addClassMethod("sessionWithConfiguration:delegate:delegateQueue:",
                       makeClassImp<NSURLSessionPtr(ConfigPtr, DelegatePtr, QueuePtr)>(
                           [](ObjCClass&, ConfigPtr configuration, DelegatePtr delegate, QueuePtr queue) {
                               auto session = std::make_shared<NSURLSession>();
                               session->setUp(std::move(configuration), std::move(delegate), std::move(queue), false);
                               return session;
                           }));
    cls.addClassMethod("sessionWithConfiguration:", makeClassImp<NSURLSessionPtr(ConfigPtr)>([](ObjCClass& c, ConfigPtr configuration) {
                           return invokeClassMethod<NSURLSessionPtr(ConfigPtr, DelegatePtr, QueuePtr)>(
                               c, "sessionWithConfiguration:delegate:delegateQueue:", std::move(configuration),
                               DelegatePtr(), QueuePtr());
                       }));
    auto self = [](NSObject& o) -> NSURLSession& { return static_cast<NSURLSession&>(o); };
    cls.addMethod("dataTaskWithRequest:", makeInstanceImp<NSURLSessionDataTaskPtr(NSURLRequestPtr)>(
                                              [self](NSObject& o, NSURLRequestPtr r) { return self(o).makeDataTask(r, {}); }));
    cls.addMethod("dataTaskWithRequest:completionHandler:",
                  makeInstanceImp<NSURLSessionDataTaskPtr(NSURLRequestPtr, DataHandler)>(
                      [self](NSObject& o, NSURLRequestPtr r, DataHandler h) { return self(o).makeDataTask(r, h); }));
    cls.addMethod("dataTaskWithURL:", makeInstanceImp<NSURLSessionDataTaskPtr(NSURLPtr)>([self](NSObject& o, NSURLPtr u) {
                      return self(o).makeDataTask(NSURLRequest::requestWithURL(u), {});
                  }));
    cls.addMethod("dataTaskWithURL:completionHandler:",
                  makeInstanceImp<NSURLSessionDataTaskPtr(NSURLPtr, DataHandler)>([self](NSObject& o, NSURLPtr u, DataHandler h) {
                      return self(o).makeDataTask(NSURLRequest::requestWithURL(u), h);
                  }));
    cls.addMethod("uploadTaskWithRequest:fromData:",
                  makeInstanceImp<NSURLSessionUploadTaskPtr(NSURLRequestPtr, Bytes)>([self](NSObject& o, NSURLRequestPtr r, Bytes d) {
                      return self(o).makeUploadTask(r, std::move(d), nullptr, {});
                  }));
    cls.addMethod("uploadTaskWithRequest:fromData:completionHandler:",
                  makeInstanceImp<NSURLSessionUploadTaskPtr(NSURLRequestPtr, Bytes, DataHandler)>(
                      [self](NSObject& o, NSURLRequestPtr r, Bytes d, DataHandler h) {
                          return self(o).makeUploadTask(r, std::move(d), nullptr, h);
                      }));
    cls.addMethod("uploadTaskWithRequest:fromFile:",
                  makeInstanceImp<NSURLSessionUploadTaskPtr(NSURLRequestPtr, NSURLPtr)>([self](NSObject& o, NSURLRequestPtr r, NSURLPtr f) {
                      return self(o).makeUploadTask(r, std::nullopt, f ? f : NSURL::fileURLWithPath(""), {});
                  }));
    cls.addMethod("uploadTaskWithRequest:fromFile:completionHandler:",
                  makeInstanceImp<NSURLSessionUploadTaskPtr(NSURLRequestPtr, NSURLPtr, DataHandler)>(
                      [self](NSObject& o, NSURLRequestPtr r, NSURLPtr f, DataHandler h) {
                          return self(o).makeUploadTask(r, std::nullopt, f ? f : NSURL::fileURLWithPath(""), h);
                      }));
    cls.addMethod("uploadTaskWithStreamedRequest:",
                  makeInstanceImp<NSURLSessionUploadTaskPtr(NSURLRequestPtr)>([self](NSObject& o, NSURLRequestPtr r) {
                      return self(o).makeUploadTask(r, std::nullopt, nullptr, {});
                  }));
    cls.addMethod("downloadTaskWithRequest:",
                  makeInstanceImp<NSURLSessionDownloadTaskPtr(NSURLRequestPtr)>([self](NSObject& o, NSURLRequestPtr r) {
                      return self(o).makeDownloadTask(r, std::nullopt, {});
                  }));
    cls.addMethod("downloadTaskWithRequest:completionHandler:",
                  makeInstanceImp<NSURLSessionDownloadTaskPtr(NSURLRequestPtr, DownloadHandler)>(
                      [self](NSObject& o, NSURLRequestPtr r, DownloadHandler h) { return self(o).makeDownloadTask(r, std::nullopt, h); }));
    cls.addMethod("downloadTaskWithURL:", makeInstanceImp<NSURLSessionDownloadTaskPtr(NSURLPtr)>([self](NSObject& o, NSURLPtr u) {
                      return self(o).makeDownloadTask(NSURLRequest::requestWithURL(u), std::nullopt, {});
                  }));
    cls.addMethod("downloadTaskWithURL:completionHandler:",
                  makeInstanceImp<NSURLSessionDownloadTaskPtr(NSURLPtr, DownloadHandler)>(
                      [self](NSObject& o, NSURLPtr u, DownloadHandler h) {
                          return self(o).makeDownloadTask(NSURLRequest::requestWithURL(u), std::nullopt, h);
                      }));
    cls.addMethod("downloadTaskWithResumeData:",
                  makeInstanceImp<NSURLSessionDownloadTaskPtr(Bytes)>([self](NSObject& o, Bytes d) {
                      return self(o).makeDownloadTask(nullptr, std::move(d), {});
                  }));
    cls.addMethod("downloadTaskWithResumeData:completionHandler:",
                  makeInstanceImp<NSURLSessionDownloadTaskPtr(Bytes, DownloadHandler)>([self](NSObject& o, Bytes d, DownloadHandler h) {
                      return self(o).makeDownloadTask(nullptr, std::move(d), h);
                  }));
}

// --- creation ------------------------------------------------------------------------------

NSURLSession::NSURLSession() = default;
NSURLSession::~NSURLSession() = default;

namespace {
std::atomic<bool> sharedSessionMade{false};
}  // namespace

NSURLSessionPtr NSURLSession::sharedSession() {
    static NSURLSessionPtr shared = [] {
        auto session = std::make_shared<NSURLSession>();
        session->setUp(NSURLSessionConfiguration::defaultSessionConfiguration(), nullptr, nullptr, true);
        sharedSessionMade.store(true, std::memory_order_release);
        return session;
    }();
    return shared;
}

NSURLSessionPtr NSURLSession::existingSharedSession() {
    return sharedSessionMade.load(std::memory_order_acquire) ? sharedSession() : nullptr;
}

NSURLSessionPtr NSURLSession::sessionWithConfiguration(NSURLSessionConfigurationPtr configuration) {
    return invokeClassMethod<NSURLSessionPtr(ConfigPtr)>(classObject(), "sessionWithConfiguration:", std::move(configuration));
}

NSURLSessionPtr NSURLSession::sessionWithConfiguration(NSURLSessionConfigurationPtr configuration,
                                                       std::shared_ptr<NSURLSessionDelegate> delegate,
                                                       std::shared_ptr<NSOperationQueue> queue) {
    return invokeClassMethod<NSURLSessionPtr(ConfigPtr, DelegatePtr, QueuePtr)>(
        classObject(), "sessionWithConfiguration:delegate:delegateQueue:", std::move(configuration), std::move(delegate),
        std::move(queue));
}

void NSURLSession::setUp(NSURLSessionConfigurationPtr configuration, std::shared_ptr<NSURLSessionDelegate> delegate,
                         std::shared_ptr<NSOperationQueue> queue, bool shared) {
    configuration_ = configuration ? configuration->copy() : NSURLSessionConfiguration::defaultSessionConfiguration();
    delegate_ = std::move(delegate);
    if (!queue) {
        queue = NSOperationQueue::create();
        queue->setMaxConcurrentOperationCount(1);
        queue->setName("NSURLSession delegate queue");
    }
    queue_ = std::move(queue);
    delivery_ = std::make_unique<SerialDelivery>(queue_);
    shared_ = shared;
}

NSURLSessionPtr NSURLSession::self() { return std::static_pointer_cast<NSURLSession>(shared_from_this()); }

std::shared_ptr<URLLoadingEngine> NSURLSession::engine() {
    std::lock_guard lock(m_);
    if (!engine_) engine_ = std::make_shared<URLLoadingEngine>(static_cast<long>(configuration_->HTTPMaximumConnectionsPerHost()));
    return engine_;
}

// --- properties ----------------------------------------------------------------------------

NSURLSessionConfigurationPtr NSURLSession::configuration() const { return configuration_->copy(); }

std::shared_ptr<NSURLSessionDelegate> NSURLSession::delegate() const {
    std::lock_guard lock(m_);
    return delegate_;
}

std::shared_ptr<NSOperationQueue> NSURLSession::delegateQueue() const { return queue_; }

std::optional<std::string> NSURLSession::sessionDescription() const {
    std::lock_guard lock(m_);
    return description_;
}

void NSURLSession::setSessionDescription(std::optional<std::string> description) {
    std::lock_guard lock(m_);
    description_ = std::move(description);
}

std::string NSURLSession::description() const {
    auto text = sessionDescription();
    return NSObject::description() + (text ? " { " + *text + " }" : std::string());
}

// --- task factories ------------------------------------------------------------------------

NSURLSessionDataTaskPtr NSURLSession::dataTaskWithRequest(NSURLRequestPtr request) {
    return invokeMethod<NSURLSessionDataTaskPtr(NSURLRequestPtr)>(*this, "dataTaskWithRequest:", std::move(request));
}
NSURLSessionDataTaskPtr NSURLSession::dataTaskWithRequest(NSURLRequestPtr request, DataHandler handler) {
    return invokeMethod<NSURLSessionDataTaskPtr(NSURLRequestPtr, DataHandler)>(*this, "dataTaskWithRequest:completionHandler:",
                                                                              std::move(request), std::move(handler));
}
NSURLSessionDataTaskPtr NSURLSession::dataTaskWithURL(NSURLPtr url) {
    return invokeMethod<NSURLSessionDataTaskPtr(NSURLPtr)>(*this, "dataTaskWithURL:", std::move(url));
}
NSURLSessionDataTaskPtr NSURLSession::dataTaskWithURL(NSURLPtr url, DataHandler handler) {
    return invokeMethod<NSURLSessionDataTaskPtr(NSURLPtr, DataHandler)>(*this, "dataTaskWithURL:completionHandler:",
                                                                       std::move(url), std::move(handler));
}
NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithRequest(NSURLRequestPtr request, Data bodyData) {
    return invokeMethod<NSURLSessionUploadTaskPtr(NSURLRequestPtr, Bytes)>(*this, "uploadTaskWithRequest:fromData:",
                                                                           std::move(request), std::move(bodyData));
}
NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithRequest(NSURLRequestPtr request, Data bodyData, DataHandler handler) {
    return invokeMethod<NSURLSessionUploadTaskPtr(NSURLRequestPtr, Bytes, DataHandler)>(
        *this, "uploadTaskWithRequest:fromData:completionHandler:", std::move(request), std::move(bodyData), std::move(handler));
}
NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithRequest(NSURLRequestPtr request, NSURLPtr fileURL) {
    return invokeMethod<NSURLSessionUploadTaskPtr(NSURLRequestPtr, NSURLPtr)>(*this, "uploadTaskWithRequest:fromFile:",
                                                                              std::move(request), std::move(fileURL));
}
NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithRequest(NSURLRequestPtr request, NSURLPtr fileURL, DataHandler handler) {
    return invokeMethod<NSURLSessionUploadTaskPtr(NSURLRequestPtr, NSURLPtr, DataHandler)>(
        *this, "uploadTaskWithRequest:fromFile:completionHandler:", std::move(request), std::move(fileURL), std::move(handler));
}
NSURLSessionUploadTaskPtr NSURLSession::uploadTaskWithStreamedRequest(NSURLRequestPtr request) {
    return invokeMethod<NSURLSessionUploadTaskPtr(NSURLRequestPtr)>(*this, "uploadTaskWithStreamedRequest:", std::move(request));
}
NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithRequest(NSURLRequestPtr request) {
    return invokeMethod<NSURLSessionDownloadTaskPtr(NSURLRequestPtr)>(*this, "downloadTaskWithRequest:", std::move(request));
}
NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithRequest(NSURLRequestPtr request, DownloadHandler handler) {
    return invokeMethod<NSURLSessionDownloadTaskPtr(NSURLRequestPtr, DownloadHandler)>(
        *this, "downloadTaskWithRequest:completionHandler:", std::move(request), std::move(handler));
}
NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithURL(NSURLPtr url) {
    return invokeMethod<NSURLSessionDownloadTaskPtr(NSURLPtr)>(*this, "downloadTaskWithURL:", std::move(url));
}
NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithURL(NSURLPtr url, DownloadHandler handler) {
    return invokeMethod<NSURLSessionDownloadTaskPtr(NSURLPtr, DownloadHandler)>(*this, "downloadTaskWithURL:completionHandler:",
                                                                               std::move(url), std::move(handler));
}
NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithResumeData(Data resumeData) {
    return invokeMethod<NSURLSessionDownloadTaskPtr(Bytes)>(*this, "downloadTaskWithResumeData:", std::move(resumeData));
}
NSURLSessionDownloadTaskPtr NSURLSession::downloadTaskWithResumeData(Data resumeData, DownloadHandler handler) {
    return invokeMethod<NSURLSessionDownloadTaskPtr(Bytes, DownloadHandler)>(
        *this, "downloadTaskWithResumeData:completionHandler:", std::move(resumeData), std::move(handler));
}

uint64_t NSURLSession::nextIdentifier() {
    std::lock_guard lock(m_);
    return ++lastIdentifier_;
}

void NSURLSession::registerTask(const NSURLSessionTaskPtr& task) {
    std::lock_guard lock(m_);
    tasks_.push_back(task);
}

NSURLSessionDataTaskPtr NSURLSession::makeDataTask(NSURLRequestPtr request, DataHandler handler) {
    auto task = std::make_shared<NSURLSessionDataTask>();
    task->completion_ = std::move(handler);
    if (request && request->HTTPBodyStream()) task->expectedToSend_ = NSURLSessionTransferSizeUnknown;
    else task->expectedToSend_ = request && request->HTTPBody() ? static_cast<int64_t>(request->HTTPBody()->size()) : 0;
    registerNewTask(task, request);
    return task;
}

NSURLSessionUploadTaskPtr NSURLSession::makeUploadTask(NSURLRequestPtr request, std::optional<Data> data, NSURLPtr file,
                                                       DataHandler handler) {
    auto task = std::make_shared<NSURLSessionUploadTask>();
    task->completion_ = std::move(handler);
    if (data) {
        task->body_ = NSURLSessionTask::Body::Data;
        task->expectedToSend_ = static_cast<int64_t>(data->size());
        task->bodyData_ = std::move(*data);
    } else if (file) {
        task->body_ = NSURLSessionTask::Body::File;
        task->bodyFile_ = std::move(file);
        std::error_code ec;
        auto size = std::filesystem::file_size(task->bodyFile_->path(), ec);
        task->expectedToSend_ = ec ? NSURLSessionTransferSizeUnknown : static_cast<int64_t>(size);
    } else {
        task->body_ = NSURLSessionTask::Body::Stream;
        task->expectedToSend_ = NSURLSessionTransferSizeUnknown;
    }
    registerNewTask(task, request);
    return task;
}

NSURLSessionDownloadTaskPtr NSURLSession::makeDownloadTask(NSURLRequestPtr request, std::optional<Data> resumeData,
                                                           DownloadHandler handler) {
    auto task = std::make_shared<NSURLSessionDownloadTask>();
    task->completion_ = std::move(handler);
    if (resumeData) {
        // Resume data names the URL it continues; unreadable data gives a task that fails as
        // an unsupported URL.
        Value info = NSJSONSerialization::JSONObjectWithData(*resumeData);
        request = NSURLRequest::requestWithURL(NSURL::URLWithString(info.objectForKey("url").stringValue()));
        task->resumeData_ = std::move(resumeData);
    }
    registerNewTask(task, request);
    return task;
}

void NSURLSession::registerNewTask(const NSURLSessionTaskPtr& task, const NSURLRequestPtr& request) {
    std::lock_guard lock(m_);
    if (invalidating_)
        NSException::raise(NSGenericException, "Task created in a session that has been invalidated");
    task->identifier_ = ++lastIdentifier_;
    task->originalRequest_ = request ? request->copy() : std::make_shared<NSURLRequest>();
    task->currentRequest_ = task->originalRequest_;
    task->session_ = self();
    tasks_.push_back(task);
}

// --- delivery and lifetime -----------------------------------------------------------------

void NSURLSession::deliver(std::function<void()> event) { delivery_->post(std::move(event)); }

std::function<void()> NSURLSession::holdDelivery(std::function<void()> event) { return delivery_->hold(std::move(event)); }

std::shared_ptr<NSURLSessionDelegate> NSURLSession::delegateFor(const char* selector) const {
    std::lock_guard lock(m_);
    if (delegate_ && delegate_->respondsToSelector(selector)) return delegate_;
    return nullptr;
}

void NSURLSession::getTasksWithCompletionHandler(TasksHandler handler) {
    std::vector<NSURLSessionDataTaskPtr> data;
    std::vector<NSURLSessionUploadTaskPtr> uploads;
    std::vector<NSURLSessionDownloadTaskPtr> downloads;
    {
        std::lock_guard lock(m_);
        for (auto& task : tasks_) {
            if (auto upload = std::dynamic_pointer_cast<NSURLSessionUploadTask>(task))
                uploads.push_back(upload);
            else if (auto d = std::dynamic_pointer_cast<NSURLSessionDataTask>(task))
                data.push_back(d);
            else if (auto download = std::dynamic_pointer_cast<NSURLSessionDownloadTask>(task))
                downloads.push_back(download);
        }
    }
    deliver([handler = std::move(handler), data, uploads, downloads] {
        if (handler) handler(data, uploads, downloads);
    });
}

void NSURLSession::taskFinished(const NSURLSessionTask* task) {
    std::unique_lock lock(m_);
    auto it = std::find_if(tasks_.begin(), tasks_.end(), [&](const NSURLSessionTaskPtr& t) { return t.get() == task; });
    if (it == tasks_.end()) return;
    tasks_.erase(it);
    if (tasks_.empty() && configuration_->identifier() && delegate_ &&
        delegate_->respondsToSelector(NSURLSessionSelector::didFinishEventsForBackgroundURLSession)) {
        auto d = delegate_;
        auto session = self();
        deliver([d, session] { d->URLSessionDidFinishEventsForBackgroundURLSession(session); });
    }
    checkInvalidationLocked(lock);
}

void NSURLSession::checkInvalidationLocked(std::unique_lock<std::mutex>&) {
    if (!invalidating_ || invalidated_ || !tasks_.empty()) return;
    invalidated_ = true;
    auto d = delegate_;
    delegate_.reset();  // the session lets its delegate go once it is invalid
    if (d && d->respondsToSelector(NSURLSessionSelector::didBecomeInvalidWithError)) {
        auto session = self();
        deliver([d, session] { d->didBecomeInvalidWithError(session, nullptr); });
    }
}

void NSURLSession::finishTasksAndInvalidate() {
    if (shared_) return;
    std::unique_lock lock(m_);
    invalidating_ = true;
    checkInvalidationLocked(lock);
}

void NSURLSession::invalidateAndCancel() {
    if (shared_) return;
    std::vector<NSURLSessionTaskPtr> tasks;
    {
        std::lock_guard lock(m_);
        invalidating_ = true;
        tasks = tasks_;
    }
    for (auto& task : tasks) task->cancel();
    std::unique_lock lock(m_);
    checkInvalidationLocked(lock);
}
