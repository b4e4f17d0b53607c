#include "cache/URLCacheDiskWriter.h"

#include <platform_dispatch/DispatchQueue.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

namespace fs = std::filesystem;

namespace {
struct PendingWrite {
    std::string head;
    NSCachedURLResponsePtr entry;
};
}  // namespace

struct URLCacheDiskWriter::State {
    std::string folder;
    dispatch_queue_t queue;
    // Held while a file is written, so a drop waits for a write under way.
    std::mutex m;
    std::map<std::string, PendingWrite> pending;
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

    // Lock held. Writes every pending entry, oldest file name first.
    void writeAllLocked() {
        while (!pending.empty()) {
            auto first = pending.begin();
            writeFile(first->first, first->second);
            pending.erase(first);
        }
    }

    // One file per turn of the lock, so readers wait for one write at most.
    static void drain(const std::shared_ptr<State>& state) {
        for (;;) {
            std::lock_guard lock(state->m);
            if (state->pending.empty()) {
                state->scheduled = false;
                return;
            }
            auto first = state->pending.begin();
            state->writeFile(first->first, first->second);
            state->pending.erase(first);
        }
    }
};

URLCacheDiskWriter::URLCacheDiskWriter(std::string folder) : state_(std::make_shared<State>()) {
    state_->folder = std::move(folder);
    state_->queue = dispatch_queue_create("com.platform.net.urlcache.disk", DISPATCH_QUEUE_SERIAL);
}

URLCacheDiskWriter::~URLCacheDiskWriter() {
    std::lock_guard lock(state_->m);
    state_->writeAllLocked();
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
        auto state = state_;
        dispatch_async(state->queue, [state] { State::drain(state); });
    }
}

NSCachedURLResponsePtr URLCacheDiskWriter::pending(const std::string& path) const {
    std::lock_guard lock(state_->m);
    auto it = state_->pending.find(path);
    return it == state_->pending.end() ? nullptr : it->second.entry;
}

void URLCacheDiskWriter::drop(const std::string& path) {
    std::lock_guard lock(state_->m);
    state_->pending.erase(path);
}

void URLCacheDiskWriter::dropAll() {
    std::lock_guard lock(state_->m);
    state_->pending.clear();
}
