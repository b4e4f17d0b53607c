#pragma once
// The envelope files an upload operation still has to post, oldest or newest first as the
// operation decides. Locked: the operation's thread and the URL session's completion handler
// both change it (one after the other, on different threads). Any thread.

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/Value.h>

class ZVEnvelopePathList {
public:
    // A new mutable array of the paths.
    Value copy() const {
        std::lock_guard lock(mutex_);
        Value out = Value::mutableArray();
        for (const auto& p : paths_) out.addObject(Value(p));
        return out;
    }
    // The string entries of an array, in order (anything else is no path).
    void set(const Value& paths) {
        std::vector<std::string> kept;
        if (paths.isArray())
            for (const Value& p : paths.asArray())
                if (p.isString()) kept.push_back(p.asStdString());
        std::lock_guard lock(mutex_);
        paths_ = std::move(kept);
    }
    void reverse() {
        std::lock_guard lock(mutex_);
        std::reverse(paths_.begin(), paths_.end());
    }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return paths_.size();
    }
    // The first path; nothing when the list is empty.
    std::optional<std::string> front() const {
        std::lock_guard lock(mutex_);
        if (paths_.empty()) return std::nullopt;
        return paths_.front();
    }
    // Removes every entry equal to the path; true when the list is then empty.
    bool remove(const std::string& path) {
        std::lock_guard lock(mutex_);
        paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
        return paths_.empty();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> paths_;
};
