#include "session/URLLoadingEngine.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include <openssl/crypto.h>

struct URLLoadingEngine::Core {
    CURLM* multi = nullptr;
    std::mutex m;
    std::deque<std::function<void()>> commands;
    bool stop = false;
    bool exited = false;  // the loop let go of libcurl and of its transfers
    std::condition_variable exitedChanged;
    std::thread::id threadId;
    std::map<CURL*, std::shared_ptr<EngineTransfer>> transfers;
    std::map<const EngineTransfer*, std::shared_ptr<EngineTransfer>> watched;
    std::vector<std::function<void()>> turnEnd;

    void endTurn() {
        // A hook may add another (an event made by an event's hand-over): run until none is left.
        while (!turnEnd.empty()) {
            auto hooks = std::move(turnEnd);
            turnEnd.clear();
            for (auto& hook : hooks) hook();
        }
    }

    void run() {
        while (true) {
            std::deque<std::function<void()>> batch;
            {
                std::lock_guard lock(m);
                if (stop) break;
                batch.swap(commands);
            }
            for (auto& command : batch) command();
            batch.clear();

            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg != CURLMSG_DONE) continue;
                CURL* easy = msg->easy_handle;
                CURLcode result = msg->data.result;
                auto it = transfers.find(easy);
                curl_multi_remove_handle(multi, easy);
                if (it == transfers.end()) continue;
                auto transfer = it->second;
                transfers.erase(it);
                transfer->transferDone(result);
            }
            double t = URLLoadingEngine::now();
            std::vector<std::shared_ptr<EngineTransfer>> all;
            all.reserve(transfers.size() + watched.size());
            for (auto& [easy, transfer] : transfers) all.push_back(transfer);
            for (auto& [key, transfer] : watched) all.push_back(transfer);
            for (auto& transfer : all) transfer->tick(t);
            all.clear();
            endTurn();
            {
                std::lock_guard lock(m);
                if (stop) break;
                if (!commands.empty()) continue;
            }
            // The time-out only paces the transfers' own deadlines, progress and paced upload
            // pauses: every change that lets a transfer go on arrives as a command, which wakes the
            // poll.
            curl_multi_poll(multi, nullptr, 0, transfers.empty() && watched.empty() ? 1000 : 20, nullptr);
        }
        endTurn();
        for (auto& [easy, transfer] : transfers) curl_multi_remove_handle(multi, easy);
        transfers.clear();
        watched.clear();
        endTurn();
        curl_multi_cleanup(multi);
        std::lock_guard lock(m);
        multi = nullptr;
        exited = true;
        exitedChanged.notify_all();
    }
};

namespace {
// The loops still running when the process exits. Made right after libcurl's (and so the TLS
// library's) set-up, it is destroyed before their clean-up at exit: it stops the loops and
// waits (bounded) until they closed their connections, so no loop uses the TLS library
// while it is torn down.
class LiveLoops {
public:
    void add(const std::shared_ptr<URLLoadingEngine::Core>& core) {
        std::lock_guard lock(m_);
        std::erase_if(cores_, [](const auto& weak) { return weak.expired(); });
        cores_.push_back(core);
    }
    ~LiveLoops() {
        std::vector<std::shared_ptr<URLLoadingEngine::Core>> live;
        {
            std::lock_guard lock(m_);
            for (auto& weak : cores_)
                if (auto core = weak.lock()) live.push_back(std::move(core));
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        for (auto& core : live) {
            std::unique_lock lock(core->m);
            if (!core->stop) {
                core->stop = true;
                curl_multi_wakeup(core->multi);
            }
            core->exitedChanged.wait_until(lock, deadline, [&] { return core->exited; });
        }
    }

private:
    std::mutex m_;
    std::vector<std::weak_ptr<URLLoadingEngine::Core>> cores_;
};

LiveLoops& liveLoops() {
    static LiveLoops* loops = [] {
        // No exit handler for libcrypto's tables: a loop that has not stopped by then may still
        // be inside a TLS call.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
        curl_global_init(CURL_GLOBAL_ALL);
        static LiveLoops instance;
        return &instance;
    }();
    return *loops;
}
}  // namespace

URLLoadingEngine::URLLoadingEngine(long maxPerHost) : core_(std::make_shared<Core>()) {
    LiveLoops& loops = liveLoops();
    core_->multi = curl_multi_init();
    if (maxPerHost > 0) curl_multi_setopt(core_->multi, CURLMOPT_MAX_HOST_CONNECTIONS, maxPerHost);
    curl_multi_setopt(core_->multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
    auto core = core_;
    std::thread thread([core] { core->run(); });
    core_->threadId = thread.get_id();
    loops.add(core_);
    // The loop keeps its core alive, so the engine may go away on its own thread.
    thread.detach();
}

URLLoadingEngine::~URLLoadingEngine() {
    std::unique_lock lock(core_->m);
    if (!core_->stop) {  // else the loop was stopped at exit and may have let go of its handle
        core_->stop = true;
        curl_multi_wakeup(core_->multi);
    }
    if (onEngineThread()) return;
    // Waits (bounded) for the loop to close its connections, so none is still being shut
    // down while the process goes on, or exits and tears its TLS library down.
    core_->exitedChanged.wait_for(lock, std::chrono::seconds(1), [&] { return core_->exited; });
}

void URLLoadingEngine::post(std::function<void()> command) {
    std::lock_guard lock(core_->m);
    if (core_->stop) return;
    core_->commands.push_back(std::move(command));
    curl_multi_wakeup(core_->multi);
}

bool URLLoadingEngine::onEngineThread() const { return std::this_thread::get_id() == core_->threadId; }

void URLLoadingEngine::add(CURL* easy, std::shared_ptr<EngineTransfer> transfer) {
    core_->transfers[easy] = std::move(transfer);
    curl_multi_add_handle(core_->multi, easy);
}

void URLLoadingEngine::remove(CURL* easy) {
    auto it = core_->transfers.find(easy);
    if (it == core_->transfers.end()) return;
    auto keep = it->second;  // the transfer may be calling us
    core_->transfers.erase(it);
    curl_multi_remove_handle(core_->multi, easy);
}

void URLLoadingEngine::watch(std::shared_ptr<EngineTransfer> transfer) {
    const EngineTransfer* key = transfer.get();
    core_->watched[key] = std::move(transfer);
}

void URLLoadingEngine::unwatch(const EngineTransfer* transfer) {
    auto it = core_->watched.find(transfer);
    if (it == core_->watched.end()) return;
    auto keep = std::move(it->second);  // the transfer may be calling us
    core_->watched.erase(it);
}

void URLLoadingEngine::atTurnEnd(std::function<void()> work) { core_->turnEnd.push_back(std::move(work)); }

double URLLoadingEngine::now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
