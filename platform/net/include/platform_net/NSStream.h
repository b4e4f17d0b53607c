#pragma once
// Base of byte streams: status, error, properties, a delegate and run-loop event delivery.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <platform_dispatch/NSRunLoop.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>

enum NSStreamStatus : uint64_t {
    NSStreamStatusNotOpen = 0,
    NSStreamStatusOpening = 1,
    NSStreamStatusOpen = 2,
    NSStreamStatusReading = 3,
    NSStreamStatusWriting = 4,
    NSStreamStatusAtEnd = 5,
    NSStreamStatusClosed = 6,
    NSStreamStatusError = 7,
};

enum NSStreamEvent : uint64_t {
    NSStreamEventNone = 0,
    NSStreamEventOpenCompleted = 1,
    NSStreamEventHasBytesAvailable = 2,
    NSStreamEventHasSpaceAvailable = 4,
    NSStreamEventErrorOccurred = 8,
    NSStreamEventEndEncountered = 16,
};

// Property of a memory output stream: the bytes written so far (Value data).
inline constexpr char NSStreamDataWrittenToMemoryStreamKey[] = "NSStreamContentsToMemoryPropertyKey";
// Property of a file stream: the current offset (Value integer); settable before reading.
inline constexpr char NSStreamFileCurrentOffsetKey[] = "NSStreamFileCurrentOffsetKey";

class NSStream;

// Told about a scheduled stream's events on the run loop it is scheduled on.
class NSStreamDelegate {
public:
    virtual ~NSStreamDelegate() = default;
    // stream:handleEvent:
    virtual void stream(const std::shared_ptr<NSStream>& aStream, NSStreamEvent eventCode) = 0;
};

class NSStream : public NSObject {
    NS_CLASS(NSStream, NSObject)
public:
    NSStream();
    ~NSStream() override;

    virtual void open();
    virtual void close();
    virtual NSStreamStatus streamStatus() const;
    virtual NSErrorPtr streamError() const;

    // Held weakly.
    virtual std::shared_ptr<NSStreamDelegate> delegate() const;
    virtual void setDelegate(const std::shared_ptr<NSStreamDelegate>& delegate);

    // Value() when the stream has no such property.
    virtual Value propertyForKey(const std::string& key) const;
    // false when the stream does not take the property.
    virtual bool setProperty(const Value& property, const std::string& key);

    // Events reach the delegate on these run loops, one at a time, in order.
    virtual void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
    virtual void removeFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);

protected:
    // For concrete streams: state changes. setStreamError also sets the status to Error
    // and posts ErrorOccurred.
    void setStreamStatus(NSStreamStatus status);
    void setStreamError(const NSErrorPtr& error);
    // Queues an event for the delegate (nothing when not scheduled). An event already
    // waiting is not queued twice.
    void postEvent(NSStreamEvent event);
    // An NSPOSIXErrorDomain error for errno value code.
    static NSErrorPtr posixError(int code);

    // Guards the status and error; subclasses may guard their own state with it too.
    mutable std::mutex stateMutex_;
    NSStreamStatus streamStatusLocked() const { return status_; }
    void setStreamStatusLocked(NSStreamStatus status) { status_ = status; }

private:
    struct Scheduling;
    void deliverEvents();

    NSStreamStatus status_ = NSStreamStatusNotOpen;
    NSErrorPtr error_;
    std::weak_ptr<NSStreamDelegate> delegate_;
    std::shared_ptr<Scheduling> scheduling_;
};
