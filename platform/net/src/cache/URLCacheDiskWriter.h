#pragma once
// Writes a URL cache's disk entries behind its callers: a store hands over an entry and
// returns at once; one background serial queue writes the files a few milliseconds after the
// first store of a round, only the newest entry of each file when a file was stored again
// before its write. Until written, an entry is answered from here, so a reader never misses it.
//
// Thread and lifetime: every method may be called from any thread. A dropped entry is never
// written afterwards (a write under way finishes first, so the caller's removal of the file
// comes after it). The destructor writes what is still pending, so a cache reopened on the
// same folder after its object went finds every entry.

#include <platform_net/NSCachedURLResponse.h>

#include <memory>
#include <string>

class URLCacheDiskWriter {
public:
    explicit URLCacheDiskWriter(std::string folder);
    ~URLCacheDiskWriter();
    URLCacheDiskWriter(const URLCacheDiskWriter&) = delete;
    URLCacheDiskWriter& operator=(const URLCacheDiskWriter&) = delete;

    // The file at `path` will hold `head`, a newline, then the entry's body.
    void write(const std::string& path, std::string head, NSCachedURLResponsePtr entry);
    // The entry waiting to be written to `path`, if any.
    NSCachedURLResponsePtr pending(const std::string& path) const;
    // The pending write to `path` (or every pending write) will not happen.
    void drop(const std::string& path);
    void dropAll();

    struct State;

private:
    std::shared_ptr<State> state_;
};
