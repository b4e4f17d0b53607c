#include <platform_net/NSURLCache.h>

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/Sandbox.h>
#include <platform_net/NSHTTPURLResponse.h>

#include "cache/URLCacheDiskWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {
NSURLCachePtr& sharedSlot() {
    static NSURLCachePtr cache;
    return cache;
}
std::mutex& sharedMutex() {
    static std::mutex m;
    return m;
}

uint64_t costOfBody(uint64_t length) { return length + 512; }
uint64_t costOf(const NSCachedURLResponse& entry) { return costOfBody(entry.data().size()); }

std::string hexKey(const std::string& key) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : key) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}
}  // namespace

NSURLCache::NSURLCache(uint64_t memoryCapacity, uint64_t diskCapacity, std::optional<std::string> diskPath)
    : memoryCapacity_(memoryCapacity), diskCapacity_(diskCapacity) {
    if (diskPath && !diskPath->empty()) {
        std::string p = *diskPath;
        if (p.front() != '/') p = NSSandbox::cachesDirectory() + "/" + p;
        diskPath_ = p;
        writer_ = std::make_unique<URLCacheDiskWriter>(p);
        std::lock_guard lock(m_);
        scanDiskLocked();
    }
}

NSURLCache::~NSURLCache() = default;

NSURLCachePtr NSURLCache::create(uint64_t memoryCapacity, uint64_t diskCapacity, std::optional<std::string> diskPath) {
    return std::make_shared<NSURLCache>(memoryCapacity, diskCapacity, std::move(diskPath));
}

NSURLCachePtr NSURLCache::sharedURLCache() {
    std::lock_guard lock(sharedMutex());
    auto& slot = sharedSlot();
    if (!slot) slot = create(4 * 1024 * 1024, 20 * 1024 * 1024, std::string("URLCache"));
    return slot;
}

void NSURLCache::setSharedURLCache(NSURLCachePtr cache) {
    std::lock_guard lock(sharedMutex());
    sharedSlot() = std::move(cache);
}

std::string NSURLCache::keyFor(const NSURLRequest& request) {
    if (!request.URL()) return {};
    std::string key = request.URL()->absoluteString();
    auto hash = key.find('#');
    if (hash != std::string::npos) key.resize(hash);
    return key;
}

std::string NSURLCache::fileFor(const std::string& key) const { return *diskPath_ + "/" + hexKey(key) + ".cache"; }

NSCachedURLResponsePtr NSURLCache::cachedResponseForRequest(const NSURLRequest& request) {
    std::string key = keyFor(request);
    if (key.empty()) return nullptr;
    std::lock_guard lock(m_);
    auto it = memory_.find(key);
    if (it != memory_.end()) {
        memoryOrder_.remove(key);
        memoryOrder_.push_back(key);
        return it->second.response;
    }
    if (diskPath_ && disk_.count(key)) return readDiskLocked(key);
    return nullptr;
}

void NSURLCache::storeCachedResponse(const NSCachedURLResponsePtr& entry, const NSURLRequest& request) {
    std::string key = keyFor(request);
    if (!entry || key.empty() || entry->storagePolicy() == NSURLCacheStorageNotAllowed) return;
    entry->setStoredDate(NSDate::date());
    uint64_t cost = costOf(*entry);
    std::lock_guard lock(m_);
    if (auto it = memory_.find(key); it != memory_.end()) {
        memoryUsage_ -= it->second.cost;
        memory_.erase(it);
        memoryOrder_.remove(key);
    }
    if (fitsMemoryLocked(cost)) {
        memory_[key] = MemoryEntry{entry, cost};
        memoryOrder_.push_back(key);
        memoryUsage_ += cost;
        trimMemoryLocked();
    }
    if (fitsDiskLocked(cost, entry->storagePolicy())) {
        writeDiskLocked(key, entry);
        trimDiskLocked();
    }
}

// An entry larger than a twentieth of a capacity is not kept there.
bool NSURLCache::fitsMemoryLocked(uint64_t cost) const { return cost <= memoryCapacity_ / 20; }

bool NSURLCache::fitsDiskLocked(uint64_t cost, NSURLCacheStoragePolicy policy) const {
    return diskPath_ && policy == NSURLCacheStorageAllowed && cost <= diskCapacity_ / 20;
}

bool NSURLCache::keepsBodyOfLength(uint64_t length, NSURLCacheStoragePolicy policy) const {
    if (policy == NSURLCacheStorageNotAllowed) return false;
    const uint64_t cost = costOfBody(length);
    std::lock_guard lock(m_);
    return fitsMemoryLocked(cost) || fitsDiskLocked(cost, policy);
}

void NSURLCache::removeCachedResponseForRequest(const NSURLRequest& request) {
    std::string key = keyFor(request);
    std::lock_guard lock(m_);
    if (auto it = memory_.find(key); it != memory_.end()) {
        memoryUsage_ -= it->second.cost;
        memory_.erase(it);
        memoryOrder_.remove(key);
    }
    if (auto it = disk_.find(key); diskPath_ && it != disk_.end()) {
        removeDiskFileLocked(key);
        diskUsage_ -= it->second.first;
        disk_.erase(it);
    }
}

void NSURLCache::removeDiskFileLocked(const std::string& key) {
    const std::string path = fileFor(key);
    writer_->drop(path);  // first: a write under way ends before the file goes
    std::error_code ec;
    fs::remove(path, ec);
}

void NSURLCache::removeAllCachedResponses() {
    std::lock_guard lock(m_);
    memory_.clear();
    memoryOrder_.clear();
    memoryUsage_ = 0;
    if (diskPath_) {
        writer_->dropAll();
        std::error_code ec;
        for (auto& [key, info] : disk_) fs::remove(fileFor(key), ec);
    }
    disk_.clear();
    diskUsage_ = 0;
}

uint64_t NSURLCache::memoryCapacity() const {
    std::lock_guard lock(m_);
    return memoryCapacity_;
}
uint64_t NSURLCache::diskCapacity() const {
    std::lock_guard lock(m_);
    return diskCapacity_;
}
void NSURLCache::setMemoryCapacity(uint64_t bytes) {
    std::lock_guard lock(m_);
    memoryCapacity_ = bytes;
    trimMemoryLocked();
}
void NSURLCache::setDiskCapacity(uint64_t bytes) {
    std::lock_guard lock(m_);
    diskCapacity_ = bytes;
    trimDiskLocked();
}
uint64_t NSURLCache::currentMemoryUsage() const {
    std::lock_guard lock(m_);
    return memoryUsage_;
}
uint64_t NSURLCache::currentDiskUsage() const {
    std::lock_guard lock(m_);
    return diskUsage_;
}

void NSURLCache::trimMemoryLocked() {
    while (memoryUsage_ > memoryCapacity_ && !memoryOrder_.empty()) {
        auto it = memory_.find(memoryOrder_.front());
        memoryOrder_.pop_front();
        if (it == memory_.end()) continue;
        memoryUsage_ -= it->second.cost;
        memory_.erase(it);
    }
}

void NSURLCache::trimDiskLocked() {
    while (diskPath_ && diskUsage_ > diskCapacity_ && !disk_.empty()) {
        auto oldest = disk_.begin();
        for (auto it = disk_.begin(); it != disk_.end(); ++it)
            if (it->second.second < oldest->second.second) oldest = it;
        removeDiskFileLocked(oldest->first);
        diskUsage_ -= oldest->second.first;
        disk_.erase(oldest);
    }
}

// A disk entry is one file: a line of JSON metadata, then the body bytes.
void NSURLCache::writeDiskLocked(const std::string& key, const NSCachedURLResponsePtr& entry) {
    Value meta = Value::mutableDictionary();
    meta.setObject(key, "key");
    meta.setObject(entry->storedDate().timeIntervalSinceReferenceDate(), "stored");
    auto& response = entry->response();
    if (response) {
        meta.setObject(response->URL() ? response->URL()->absoluteString() : key, "url");
        meta.setObject(response->expectedContentLength(), "length");
        if (response->MIMEType()) meta.setObject(*response->MIMEType(), "mime");
        if (response->textEncodingName()) meta.setObject(*response->textEncodingName(), "encoding");
        if (auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response)) {
            meta.setObject(http->statusCode(), "status");
            meta.setObject(http->HTTPVersion(), "version");
            Value headers = Value::mutableDictionary();
            for (auto& [k, v] : http->allHeaderFields()) headers.setObject(v, k);
            meta.setObject(headers, "headers");
        }
    }
    std::string json = NSJSONSerialization::stringWithJSONObject(meta);
    const uint64_t size = json.size() + 1 + entry->data().size();
    writer_->write(fileFor(key), std::move(json), entry);
    if (auto it = disk_.find(key); it != disk_.end()) diskUsage_ -= it->second.first;
    disk_[key] = {size, entry->storedDate().timeIntervalSinceReferenceDate()};
    diskUsage_ += size;
}

NSCachedURLResponsePtr NSURLCache::readDiskLocked(const std::string& key) {
    const std::string path = fileFor(key);
    if (auto waiting = writer_->pending(path)) return waiting;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return nullptr;
    Value meta = NSJSONSerialization::JSONObjectWithData(line);
    if (!meta.isDictionary() || meta.objectForKey("key").stringValue() != key) return nullptr;
    std::vector<uint8_t> body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    NSURLPtr url = NSURL::URLWithString(meta.objectForKey("url").stringValue());
    NSURLResponsePtr response;
    if (meta.objectForKey("status").isNumber()) {
        NSHTTPHeaderFields headers;
        for (auto& [k, v] : meta.objectForKey("headers").asDictionary()) headers[k.stringValue()] = v.stringValue();
        response = NSHTTPURLResponse::create(url, meta.objectForKey("status").integerValue(),
                                             meta.objectForKey("version").stringValue(), std::move(headers));
    } else {
        auto opt = [&](const char* k) -> std::optional<std::string> {
            auto& v = meta.objectForKey(k);
            return v.isString() ? std::optional<std::string>(v.asStdString()) : std::nullopt;
        };
        response = std::make_shared<NSURLResponse>(url, opt("mime"), meta.objectForKey("length").integerValue(), opt("encoding"));
    }
    auto entry = std::make_shared<NSCachedURLResponse>(response, std::move(body));
    entry->setStoredDate(NSDate(meta.objectForKey("stored").doubleValue()));
    return entry;
}

void NSURLCache::scanDiskLocked() {
    std::error_code ec;
    for (auto& item : fs::directory_iterator(*diskPath_, ec)) {
        if (item.path().extension() != ".cache") continue;
        std::ifstream in(item.path(), std::ios::binary);
        std::string line;
        if (!std::getline(in, line)) continue;
        Value meta = NSJSONSerialization::JSONObjectWithData(line);
        std::string key = meta.objectForKey("key").stringValue();
        if (key.empty() || fileFor(key) != item.path().string()) continue;
        uint64_t size = item.file_size(ec);
        disk_[key] = {size, meta.objectForKey("stored").doubleValue()};
        diskUsage_ += size;
    }
}
