#pragma once
// The thread that runs a session's transfers through one libcurl multi handle: commands
// posted from any thread run there in order, finished transfers are handed back, and each
// transfer's own deadlines are checked every few milliseconds.

#include "CurlLibrary.h"

#include <functional>
#include <memory>
#include <thread>

// One easy handle driven by the engine; all calls come on the engine thread.
class EngineTransfer {
public:
    virtual ~EngineTransfer() = default;
    // The handle left the multi handle with this result.
    virtual void transferDone(CURLcode result) = 0;
    // Called on every turn of the loop; the transfer may end itself (timeouts).
    virtual void tick(double now) = 0;
};

class URLLoadingEngine {
public:
    // maxPerHost: the most connections to one host (0: no limit).
    explicit URLLoadingEngine(long maxPerHost);
    // Stops the thread; transfers still running are dropped without being told. From another
    // thread it waits (up to a second) until the loop closed its connections.
    ~URLLoadingEngine();
    URLLoadingEngine(const URLLoadingEngine&) = delete;
    URLLoadingEngine& operator=(const URLLoadingEngine&) = delete;

    void post(std::function<void()> command);
    bool onEngineThread() const;

    // Engine thread only. add: the handle starts; remove: it stops, without transferDone.
    void add(CURL* easy, std::shared_ptr<EngineTransfer> transfer);
    void remove(CURL* easy);
    // Engine thread only. A transfer waiting outside the multi handle (for an answer) keeps
    // getting ticks, for its time-outs, until unwatched.
    void watch(std::shared_ptr<EngineTransfer> transfer);
    void unwatch(const EngineTransfer* transfer);

    // Engine thread only. Runs `work` once the current turn of the loop made its changes
    // (commands, transfers, ticks), before the loop waits again or stops: events made in
    // one turn are handed on together.
    void atTurnEnd(std::function<void()> work);

    // Seconds on a monotonic clock.
    static double now();

    struct Core;

private:
    std::shared_ptr<Core> core_;
};
