#include <platform_foundation/SystemRecords.h>

#include "FileErrors.h"

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_foundation/Sandbox.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

std::string SystemRecords::path(const std::string& fileName) {
    return stringByAppendingPathComponent(NSSandbox::systemDirectory(), fileName);
}

NSErrorPtr SystemRecords::append(const std::string& fileName, const Value& record) {
    NSErrorPtr error;
    std::string line = NSJSONSerialization::stringWithJSONObject(record, 0, &error);
    if (error) {
        NSLog("System records: a record for %s is not JSON; dropped", fileName.c_str());
        return error;
    }
    line += '\n';
    const std::string file = path(fileName);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int err = errno;
        NSLog("System records: cannot open %s: %s", file.c_str(), std::strerror(err));
        return file_errors::make(file_errors::codeFor(file_errors::Op::Write, err), err, file);
    }
    const off_t before = ::lseek(fd, 0, SEEK_END);
    const ssize_t written = ::write(fd, line.data(), line.size());
    if (written != static_cast<ssize_t>(line.size())) {
        const int err = written < 0 ? errno : ENOSPC;
        // A short append would leave half a line that the next record glues onto.
        if (before >= 0) (void)::ftruncate(fd, before);
        ::close(fd);
        NSLog("System records: cannot append to %s: %s", file.c_str(), std::strerror(err));
        return file_errors::make(file_errors::codeFor(file_errors::Op::Write, err), err, file);
    }
    ::close(fd);
    return nullptr;
}

std::vector<Value> SystemRecords::read(const std::string& fileName) {
    std::vector<Value> records;
    std::ifstream in(path(fileName));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        Value v = NSJSONSerialization::JSONObjectWithData(line);
        if (v.isDictionary()) records.push_back(std::move(v));
    }
    return records;
}
