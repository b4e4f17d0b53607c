#pragma once
// The tasks of a URL session: one load each (data, upload, download), with its identifier,
// state, byte counters, requests, response and error, resumed, suspended and cancelled by
// the caller. `resume` and `suspend` run through the class's method slots, so they can be
// exchanged at class load for every task of the process.

#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLResponse.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class NSURLSession;
class URLTaskLoader;

enum NSURLSessionTaskState : int64_t {
    NSURLSessionTaskStateRunning = 0,
    NSURLSessionTaskStateSuspended = 1,
    NSURLSessionTaskStateCanceling = 2,
    NSURLSessionTaskStateCompleted = 3,
};

inline constexpr int64_t NSURLSessionTransferSizeUnknown = -1;
inline constexpr float NSURLSessionTaskPriorityDefault = 0.5f;
inline constexpr float NSURLSessionTaskPriorityLow = 0.0f;
inline constexpr float NSURLSessionTaskPriorityHigh = 1.0f;

class NSURLSessionTask : public NSObject {
    NS_CLASS(NSURLSessionTask, NSObject)
public:
    using Data = std::vector<uint8_t>;
    NSURLSessionTask();
    ~NSURLSessionTask() override;

    // Unique within the session, increasing in the order tasks were made.
    uint64_t taskIdentifier() const { return identifier_; }
    NSURLSessionTaskState state() const;
    std::optional<std::string> taskDescription() const;
    void setTaskDescription(std::optional<std::string> description);
    int64_t countOfBytesSent() const;
    int64_t countOfBytesExpectedToSend() const;
    int64_t countOfBytesReceived() const;
    int64_t countOfBytesExpectedToReceive() const;
    NSURLRequestPtr originalRequest() const;
    // The request of the exchange under way (after redirects, the last one).
    NSURLRequestPtr currentRequest() const;
    NSURLResponsePtr response() const;
    NSErrorPtr error() const;
    float priority() const;
    void setPriority(float priority);

    // Starts or continues the load; through the "resume" method slot.
    void resume();
    // Holds the load (no bytes move, its timeouts stop); through the "suspend" slot.
    void suspend();
    // Ends the load with NSURLErrorCancelled, delivered once; nothing after completion.
    void cancel();

    std::string description() const override;

    // What the registered "resume" / "suspend" methods run; callers use resume / suspend.
    void resumeImplementation();
    void suspendImplementation();

protected:
    friend class NSURLSession;
    friend class URLTaskLoader;
    std::shared_ptr<URLTaskLoader> loaderLocked();

    enum class Body { None, Data, File, Stream };

    mutable std::mutex m_;
    uint64_t identifier_ = 0;
    std::shared_ptr<NSURLSession> session_;  // held until the task completed
    NSURLSessionTaskState state_ = NSURLSessionTaskStateSuspended;
    std::optional<std::string> description_;
    int64_t sent_ = 0;
    int64_t expectedToSend_ = NSURLSessionTransferSizeUnknown;
    int64_t received_ = 0;
    int64_t expectedToReceive_ = NSURLSessionTransferSizeUnknown;
    NSURLRequestPtr originalRequest_;
    NSURLRequestPtr currentRequest_;
    NSURLResponsePtr response_;
    NSErrorPtr error_;
    float priority_ = NSURLSessionTaskPriorityDefault;
    Body body_ = Body::None;
    Data bodyData_;
    NSURLPtr bodyFile_;
    std::shared_ptr<URLTaskLoader> loader_;
};
using NSURLSessionTaskPtr = std::shared_ptr<NSURLSessionTask>;

class NSURLSessionDataTask : public NSURLSessionTask {
    NS_CLASS(NSURLSessionDataTask, NSURLSessionTask)
public:
    // (data, response, error): the body when the load succeeded, else nothing and the error.
    using CompletionHandler = std::function<void(std::optional<Data>, NSURLResponsePtr, NSErrorPtr)>;

protected:
    friend class NSURLSession;
    friend class URLTaskLoader;
    CompletionHandler completion_;
};
using NSURLSessionDataTaskPtr = std::shared_ptr<NSURLSessionDataTask>;

class NSURLSessionUploadTask : public NSURLSessionDataTask {
    NS_CLASS(NSURLSessionUploadTask, NSURLSessionDataTask)
};
using NSURLSessionUploadTaskPtr = std::shared_ptr<NSURLSessionUploadTask>;

class NSURLSessionDownloadTask : public NSURLSessionTask {
    NS_CLASS(NSURLSessionDownloadTask, NSURLSessionTask)
public:
    // (temporary file URL, response, error); the file is removed once the handler returns.
    using CompletionHandler = std::function<void(NSURLPtr, NSURLResponsePtr, NSErrorPtr)>;

    // Cancels, answering (on the delegate queue) data that downloadTaskWithResumeData can
    // continue from, or nothing when the server gave no validator to resume against.
    void cancelByProducingResumeData(std::function<void(std::optional<Data>)> completionHandler);

protected:
    friend class NSURLSession;
    friend class URLTaskLoader;
    CompletionHandler completion_;
    std::optional<Data> resumeData_;  // a download made from resume data
};
using NSURLSessionDownloadTaskPtr = std::shared_ptr<NSURLSessionDownloadTask>;
