#pragma once
// A device described by fixed facts, for tests.

#include <device_and_dates/DVDeviceInfo.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

inline DVDeviceSources fakeDeviceSources(std::string machine, std::string systemVersion,
                                         std::map<std::string, std::vector<unsigned char>> sysctls = {},
                                         uint64_t memoryBytes = 4ull << 30) {
    DVDeviceSources s;
    s.machineIdentifier = [machine] { return machine; };
    s.systemVersion = [systemVersion] { return systemVersion; };
    s.physicalMemoryBytes = [memoryBytes] { return memoryBytes; };
    s.sysctl = [sysctls](const char* name, void* buffer, std::size_t* size) {
        auto it = sysctls.find(name);
        if (it == sysctls.end()) {
            errno = ENOENT;
            return -1;
        }
        if (buffer) {
            if (*size < it->second.size()) return -1;
            std::memcpy(buffer, it->second.data(), it->second.size());
        }
        *size = it->second.size();
        return 0;
    };
    return s;
}

template <class T>
std::vector<unsigned char> sysctlBytes(T value) {
    std::vector<unsigned char> b(sizeof value);
    std::memcpy(b.data(), &value, sizeof value);
    return b;
}
