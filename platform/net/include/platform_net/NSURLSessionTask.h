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

// The state is a number to key-value coding and observing.
template <>
struct ObjCPropertyTraits<NSURLSessionTaskState> {
    static constexpr bool scalar = true;
    static std::string encoding() { return "q"; }
    static Value toValue(NSURLSessionTaskState v) { return Value(static_cast<int64_t>(v)); }
    static bool fromValue(const Value& v, NSURLSessionTaskState& out) {
        if (v.isNull()) return false;
        out = static_cast<NSURLSessionTaskState>(v.integerValue());
        return true;
    }
};

// Only the session's loader makes one: it opens the part of a task a load updates.
class URLTaskLoaderKey {
    friend class URLTaskLoader;
    URLTaskLoaderKey() = default;
};

inline constexpr int64_t NSURLSessionTransferSizeUnknown = -1;
inline constexpr float NSURLSessionTaskPriorityDefault = 0.5f;
inline constexpr float NSURLSessionTaskPriorityLow = 0.0f;
inline constexpr float NSURLSessionTaskPriorityHigh = 1.0f;

// "state" and the four byte counters are key-value observable; each change is announced on
// the thread that makes it: resume, suspend and cancel on their caller's, the load's progress
// and completion on the session's loading thread (never with the task's lock held).
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

    NS_READONLY_PROPERTY(NSURLSessionTaskState, state, "R,N", state)
    NS_READONLY_PROPERTY(int64_t, countOfBytesSent, "R,N", countOfBytesSent)
    NS_READONLY_PROPERTY(int64_t, countOfBytesReceived, "R,N", countOfBytesReceived)
    NS_READONLY_PROPERTY(int64_t, countOfBytesExpectedToSend, "R,N", countOfBytesExpectedToSend)
    NS_READONLY_PROPERTY(int64_t, countOfBytesExpectedToReceive, "R,N", countOfBytesExpectedToReceive)

    // --- what a load changes (its loader only, on the session's loading thread) ---
    enum class Body { None, Data, File, Stream };
    struct BodySource {
        Body kind = Body::None;
        const Data* data = nullptr;  // Body::Data: the task's bytes, alive as long as the task
        NSURLPtr file;               // Body::File
    };
    BodySource bodySource(URLTaskLoaderKey) const;
    // A redirect that turned the request into a GET drops the body.
    void dropBody(URLTaskLoaderKey);
    void setCurrentRequest(NSURLRequestPtr request, URLTaskLoaderKey);
    void setResponse(NSURLResponsePtr response, int64_t expectedToReceive, URLTaskLoaderKey);
    void setExpectedToSend(int64_t expected, URLTaskLoaderKey);  // and no bytes sent yet
    void setBytesSent(int64_t sent, URLTaskLoaderKey);
    void setBytesReceived(int64_t received, URLTaskLoaderKey);
    // The load ended: completed with the error (or none); the task lets its loader go.
    void complete(NSErrorPtr error, URLTaskLoaderKey);
    // The task lets its session go (after its last event was queued).
    void detachSession(URLTaskLoaderKey);

protected:
    friend class NSURLSession;
    friend class NSURLSessionDownloadTask;
    std::shared_ptr<URLTaskLoader> loaderLocked();
    // Sets a field under the lock, announcing it to observers when it changes.
    template <class T>
    void announceChange(const char* key, T& field, T value);
    // Copies what a download continuing this data task's load carries over.
    void continueInto(NSURLSessionTask& download, uint64_t identifier, std::shared_ptr<URLTaskLoader> loader);

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

    const CompletionHandler& completionHandler(URLTaskLoaderKey) const { return completion_; }

protected:
    friend class NSURLSession;
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

    const CompletionHandler& completionHandler(URLTaskLoaderKey) const { return completion_; }
    const std::optional<Data>& resumeData(URLTaskLoaderKey) const { return resumeData_; }
    // A download that continues the data task's load (the data task becomes completed).
    static std::shared_ptr<NSURLSessionDownloadTask> continuing(NSURLSessionTask& dataTask, uint64_t identifier,
                                                                std::shared_ptr<URLTaskLoader> loader, URLTaskLoaderKey);

protected:
    friend class NSURLSession;
    CompletionHandler completion_;
    std::optional<Data> resumeData_;  // a download made from resume data
};
using NSURLSessionDownloadTaskPtr = std::shared_ptr<NSURLSessionDownloadTask>;
