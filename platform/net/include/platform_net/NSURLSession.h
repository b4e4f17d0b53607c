#pragma once
// A URL session: makes data, upload and download tasks from one configuration and delivers
// their events, one at a time and in order, to its delegate on its delegate queue. The
// factory class method and the task factories run through the class's method tables, so a
// monitoring hook can exchange them.
//
// Ownership and lifetime
//   session -> task     The session holds each task it made until the task completed.
//   task -> session     A task holds its session until it completed, so a session the caller
//                       dropped lives on while its tasks run.
//   task <-> loader     A resumed (or cancelled) task holds its loader; the loader holds the
//                       task and the session. These cycles are broken by completion and only
//                       by it: the loader's last step marks the task completed, which lets the
//                       loader go, then lets the task drop its session and the session drop
//                       the task. A task made and never resumed nor cancelled keeps its
//                       session alive until the session is invalidated and cancelled;
//                       cancelling a task never resumed completes it at once, on the
//                       caller's thread (nothing of it is on the loading thread).
//   session -> engine   The session owns its loading thread (one libcurl multi handle). The
//                       thread runs detached; a loader is held by the engine only while its
//                       transfer is in the multi handle or waits for an answer there.
//   session -> delegate Held until the session is invalid (after didBecomeInvalidWithError).
//   answers -> loader   Completion handlers handed to the delegate hold the loader weakly: an
//                       answer that comes after the task ended changes nothing.
//
// Threads
//   Public methods of the session and the tasks may be called from any thread. A loader's
//   state belongs to the session's loading thread: every command from another thread (start,
//   suspend, cancel, a delegate's answer) is posted there and wakes it at once. Delegate
//   events and completion handlers run on the delegate queue, one at a time, in order. A
//   task's state and byte counters change on the loading thread (resume, suspend and cancel
//   on their caller's), and are read under the task's lock.

#include <platform_net/NSURLSessionConfiguration.h>
#include <platform_net/NSURLSessionDelegate.h>
#include <platform_net/NSURLSessionTask.h>
#include <platform_runtime/ObjCDeclare.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class NSOperationQueue;
class SerialDelivery;
class URLLoadingEngine;

class NSURLSession : public NSObject {
    NS_CLASS(NSURLSession, NSObject)
public:
    using Data = std::vector<uint8_t>;
    using TasksHandler = std::function<void(std::vector<NSURLSessionDataTaskPtr>, std::vector<NSURLSessionUploadTaskPtr>,
                                            std::vector<NSURLSessionDownloadTaskPtr>)>;

    // The process's session: default configuration, no delegate; invalidating it does nothing.
    static NSURLSessionPtr sharedSession();
    // The process's session if something made it already, else nullptr (nothing is made): for
    // an exit that waits on its tasks. Any thread.
    static NSURLSessionPtr existingSharedSession();
    static NSURLSessionPtr sessionWithConfiguration(NSURLSessionConfigurationPtr configuration);
    // queue: where the delegate's events and the completion handlers run; nullptr makes a
    // new serial queue. The session holds the delegate until it is invalidated.
    static NSURLSessionPtr sessionWithConfiguration(NSURLSessionConfigurationPtr configuration,
                                                    std::shared_ptr<NSURLSessionDelegate> delegate,
                                                    std::shared_ptr<NSOperationQueue> queue);

    NSURLSession();
    ~NSURLSession() override;

    // A copy of the configuration the session was made with.
    NSURLSessionConfigurationPtr configuration() const;
    std::shared_ptr<NSURLSessionDelegate> delegate() const;
    std::shared_ptr<NSOperationQueue> delegateQueue() const;
    std::optional<std::string> sessionDescription() const;
    void setSessionDescription(std::optional<std::string> description);

    // Tasks start suspended; resume starts them. A task made after invalidation raises
    // NSGenericException.
    NSURLSessionDataTaskPtr dataTaskWithRequest(NSURLRequestPtr request);
    NSURLSessionDataTaskPtr dataTaskWithRequest(NSURLRequestPtr request, NSURLSessionDataTask::CompletionHandler handler);
    NSURLSessionDataTaskPtr dataTaskWithURL(NSURLPtr url);
    NSURLSessionDataTaskPtr dataTaskWithURL(NSURLPtr url, NSURLSessionDataTask::CompletionHandler handler);
    NSURLSessionUploadTaskPtr uploadTaskWithRequest(NSURLRequestPtr request, Data bodyData);
    NSURLSessionUploadTaskPtr uploadTaskWithRequest(NSURLRequestPtr request, Data bodyData,
                                                    NSURLSessionDataTask::CompletionHandler handler);
    NSURLSessionUploadTaskPtr uploadTaskWithRequest(NSURLRequestPtr request, NSURLPtr fileURL);
    NSURLSessionUploadTaskPtr uploadTaskWithRequest(NSURLRequestPtr request, NSURLPtr fileURL,
                                                    NSURLSessionDataTask::CompletionHandler handler);
    // The body comes from the request's body stream, else from taskNeedNewBodyStream.
    NSURLSessionUploadTaskPtr uploadTaskWithStreamedRequest(NSURLRequestPtr request);
    NSURLSessionDownloadTaskPtr downloadTaskWithRequest(NSURLRequestPtr request);
    NSURLSessionDownloadTaskPtr downloadTaskWithRequest(NSURLRequestPtr request,
                                                        NSURLSessionDownloadTask::CompletionHandler handler);
    NSURLSessionDownloadTaskPtr downloadTaskWithURL(NSURLPtr url);
    NSURLSessionDownloadTaskPtr downloadTaskWithURL(NSURLPtr url, NSURLSessionDownloadTask::CompletionHandler handler);
    NSURLSessionDownloadTaskPtr downloadTaskWithResumeData(Data resumeData);
    NSURLSessionDownloadTaskPtr downloadTaskWithResumeData(Data resumeData,
                                                           NSURLSessionDownloadTask::CompletionHandler handler);

    // The tasks not yet completed (suspended ones too), answered on the delegate queue.
    void getTasksWithCompletionHandler(TasksHandler handler);
    // No new tasks; once the running ones completed the delegate hears
    // didBecomeInvalidWithError(nullptr) and is let go.
    void finishTasksAndInvalidate();
    // The same after cancelling every task.
    void invalidateAndCancel();

    std::string description() const override;

    // Registers the factory and task-factory methods in the class's tables (at class load).
    static void installMethods(ObjCClass& cls);

private:
    friend class URLTaskLoader;
    friend class NSURLSessionTask;
    void setUp(NSURLSessionConfigurationPtr configuration, std::shared_ptr<NSURLSessionDelegate> delegate,
               std::shared_ptr<NSOperationQueue> queue, bool shared);
    // What the registered methods run.
    NSURLSessionDataTaskPtr makeDataTask(NSURLRequestPtr request, NSURLSessionDataTask::CompletionHandler handler);
    NSURLSessionUploadTaskPtr makeUploadTask(NSURLRequestPtr request, std::optional<Data> data, NSURLPtr file,
                                             NSURLSessionDataTask::CompletionHandler handler);
    NSURLSessionDownloadTaskPtr makeDownloadTask(NSURLRequestPtr request, std::optional<Data> resumeData,
                                                 NSURLSessionDownloadTask::CompletionHandler handler);
    void registerNewTask(const NSURLSessionTaskPtr& task, const NSURLRequestPtr& request);
    void registerTask(const NSURLSessionTaskPtr& task);
    uint64_t nextIdentifier();

    // Runs `event` on the delegate queue after every event queued before it finished, never
    // beside another event, however many operations the queue runs at once.
    void deliver(std::function<void()> event);
    // The same, held until the returned flush runs (nothing returned: a flush is already
    // due); for a producer that makes events in bursts.
    [[nodiscard]] std::function<void()> holdDelivery(std::function<void()> event);
    // The delegate, when it answers the selector (nullptr otherwise or once invalidated).
    std::shared_ptr<NSURLSessionDelegate> delegateFor(const char* selector) const;
    // Called by a task's loader once its last event is queued.
    void taskFinished(const NSURLSessionTask* task);
    void checkInvalidationLocked(std::unique_lock<std::mutex>& lock);
    std::shared_ptr<URLLoadingEngine> engine();
    NSURLSessionPtr self();

    mutable std::mutex m_;
    NSURLSessionConfigurationPtr configuration_;
    std::shared_ptr<NSURLSessionDelegate> delegate_;
    std::shared_ptr<NSOperationQueue> queue_;
    std::unique_ptr<SerialDelivery> delivery_;  // feeds queue_ one event at a time
    std::optional<std::string> description_;
    bool shared_ = false;
    bool invalidating_ = false;
    bool invalidated_ = false;
    uint64_t lastIdentifier_ = 0;
    std::vector<NSURLSessionTaskPtr> tasks_;  // not yet completed
    std::shared_ptr<URLLoadingEngine> engine_;
};
