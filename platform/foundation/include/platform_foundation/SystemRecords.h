#pragma once
// The device's records about the app: JSON-lines files in the sandbox's System folder
// (background fetches, notification deliveries) that the host and tests read back.
//
// Any thread. Each record is one line written with a single append, so concurrent writers
// (threads or processes) never interleave inside a line.

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

#include <string>
#include <vector>

class SystemRecords {
public:
    // Appends `record` (a JSON object) as one line to System/<fileName>. A failure is
    // logged and answered; nothing half-written stays behind a failed write.
    [[nodiscard]] static NSErrorPtr append(const std::string& fileName, const Value& record);
    // Every record of System/<fileName> in order; lines that are not JSON are skipped.
    static std::vector<Value> read(const std::string& fileName);
    static std::string path(const std::string& fileName);
};
