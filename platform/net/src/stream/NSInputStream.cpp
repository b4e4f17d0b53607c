#include <platform_net/NSInputStream.h>

#include <platform_net/NSURL.h>

#include "stream/DataInputStream.h"
#include "stream/FileInputStream.h"

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithData(std::vector<uint8_t> data) {
    return std::make_shared<DataInputStream>(std::move(data));
}

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithFileAtPath(const std::string& path) {
    return std::make_shared<FileInputStream>(path);
}

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithURL(const std::shared_ptr<NSURL>& url) {
    if (!url || !url->isFileURL()) return nullptr;
    return inputStreamWithFileAtPath(url->path());
}

// The base stream has no source of bytes: subclasses override these.
int64_t NSInputStream::read(uint8_t*, std::size_t) { return -1; }

bool NSInputStream::getBuffer(uint8_t**, std::size_t*) { return false; }

bool NSInputStream::hasBytesAvailable() const { return false; }
