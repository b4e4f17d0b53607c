#pragma once
// The console log: one line per call to standard error, stamped with the local
// time, process name, pid and thread id; tests can capture the lines instead.

#include <platform_foundation/NSStringFormat.h>

#include <functional>
#include <string>
#include <string_view>

// Writes an already formatted message.
void NSLogv(std::string_view message);

template <class... Args>
void NSLog(std::string_view format, const Args&... args) {
    NSLogv(NSStringWithFormat(format, args...));
}

// Receives each message (without the stamp) instead of standard error; an
// empty function restores standard error.
void NSLogSetSinkForTesting(std::function<void(const std::string&)> sink);
