#include <platform_net/NSOutputStream.h>

#include <platform_net/NSURL.h>

#include "stream/FileOutputStream.h"
#include "stream/MemoryOutputStream.h"

std::shared_ptr<NSOutputStream> NSOutputStream::outputStreamToMemory() {
    return std::make_shared<MemoryOutputStream>();
}

std::shared_ptr<NSOutputStream> NSOutputStream::outputStreamToFileAtPath(const std::string& path, bool append) {
    return std::make_shared<FileOutputStream>(path, append);
}

std::shared_ptr<NSOutputStream> NSOutputStream::outputStreamWithURL(const std::shared_ptr<NSURL>& url, bool append) {
    if (!url || !url->isFileURL()) return nullptr;
    return outputStreamToFileAtPath(url->path(), append);
}

// The base stream has no sink: subclasses override these.
int64_t NSOutputStream::write(const uint8_t*, std::size_t) { return -1; }

bool NSOutputStream::hasSpaceAvailable() const { return false; }
