#include "cache/URLCacheDiskWriter.h"

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchTime.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace fs = std::filesystem;

namespace {
// How long the writer lets stores gather before it writes their files.
constexpr uint64_t kGatheringDelay = 20 * NSEC_PER_MSEC;

struct PendingWrite {
    std::string head;
    NSCachedURLResponsePtr entry;
};
}  // namespace

struct URLCacheDiskWriter::State {
    std::string folder;
    dispatch_queue_t queue;
    std::mutex m;
    std::condition_variable written;  // the file in writing_ was written
    std::map<std::string, PendingWrite> pending;
    // The write under way, done outside the lock: its path and entry.
    std::optional<std::pair<std::string, PendingWrite>> writing;
    bool scheduled = false;

    // Writes through a temporary file, so a reader sees the old file or the new one.
    void writeFile(const std::string& path, const PendingWrite& item) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        const std::string tmp = path + ".tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            if (!out) return;
            out << item.head << '\n';
            const auto& body = item.entry->data();
            out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
            if (!out) {
                out.close();
                fs::remove(tmp, ec);
                return;
            }
        }
        fs::rename(tmp, path, ec);
        if (ec) fs::remove(tmp, ec);
    }

    // Lock held: waits until no write of `path` is under way.
    void waitForWriteOf(std::unique_lock<std::mutex>& lock, const std::string& path) {
        written.wait(lock, [&] { return !writing || writing->first != path; });
    }

    // One file at a time, written without the lock, so stores and lookups never wait for the
    // disk; a drop of that file waits for it.
    static void drain(const std::shared_ptr<State>& state) {
        std::unique_lock lock(state->m);
        while (!state->pending.empty()) {
            auto first = state->pending.begin();
            state->writing.emplace(first->first, std::move(first->second));
            state->pending.erase(first);
            lock.unlock();
            state->writeFile(state->writing->first, state->writing->second);
            lock.lock();
            state->writing.reset();
            state->written.notify_all();
        }
        state->scheduled = false;
    }
};

URLCacheDiskWriter::URLCacheDiskWriter(std::string folder) : state_(std::make_shared<State>()) {
    state_->folder = std::move(folder);
    state_->queue = dispatch_queue_create("com.platform.net.urlcache.disk", DISPATCH_QUEUE_SERIAL);
}

URLCacheDiskWriter::~URLCacheDiskWriter() {
    std::unique_lock lock(state_->m);
    while (!state_->pending.empty()) {
        const std::string path = state_->pending.begin()->first;
        state_->waitForWriteOf(lock, path);  // an older entry of the file is written first
        auto it = state_->pending.find(path);
        if (it == state_->pending.end()) continue;  // the queue took it meanwhile
        state_->writeFile(it->first, it->second);
        state_->pending.erase(it);
    }
    state_->written.wait(lock, [&] { return !state_->writing; });
}

void URLCacheDiskWriter::write(const std::string& path, std::string head, NSCachedURLResponsePtr entry) {
    bool schedule = false;
    {
        std::lock_guard lock(state_->m);
        state_->pending[path] = PendingWrite{std::move(head), std::move(entry)};
        schedule = !state_->scheduled;
        state_->scheduled = true;
    }
    if (schedule) {
        // The round's files are written a moment after its first store: a file stored again
        // meanwhile (a resource fetched over and over) is written once, not once per store, and
        // a burst of stores costs the writer one wake-up.
        // The round holds the state weakly: the state owns the queue the round waits on, so a
        // strong hold would keep both alive until the round ran (for ever when the process
        // ends first). A writer gone meanwhile wrote its files itself.
        std::weak_ptr<State> weak = state_;
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kGatheringDelay)), state_->queue,
                       [weak] {
                           if (auto state = weak.lock()) State::drain(state);
                       });
    }
}

NSCachedURLResponsePtr URLCacheDiskWriter::pending(const std::string& path) const {
    std::lock_guard lock(state_->m);
    if (auto it = state_->pending.find(path); it != state_->pending.end()) return it->second.entry;
    if (state_->writing && state_->writing->first == path) return state_->writing->second.entry;
    return nullptr;
}

void URLCacheDiskWriter::drop(const std::string& path) {
    std::unique_lock lock(state_->m);
    state_->pending.erase(path);
    state_->waitForWriteOf(lock, path);
}

void URLCacheDiskWriter::dropAll() {
    std::unique_lock lock(state_->m);
    state_->pending.clear();
    state_->written.wait(lock, [&] { return !state_->writing; });
}
