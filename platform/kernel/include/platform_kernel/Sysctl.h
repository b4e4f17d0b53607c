#pragma once
// Kernel variables by their Darwin names ("hw.ncpu", "hw.machine", ...),
// answered from what Linux offers (uname, sysconf, /proc).

#include <cstddef>
#include <string>
#include <vector>

// Copies the named variable into oldp (when given) and sets *oldlenp to its
// size. Answers 0, or -1 with errno ENOENT for an unknown name and ENOMEM when
// the buffer is too small. Writing (newp) is not supported (EPERM).
int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, const void* newp, std::size_t newlen);

// The hardware identifier "hw.machine" answers: $APP_DEVICE_MACHINE when set
// and not empty (so a host can run as "iPhone12,1"), else the Linux machine
// (uname). Read anew on every call; any thread.
inline constexpr const char* kDeviceMachineEnvironmentVariable = "APP_DEVICE_MACHINE";
std::string deviceMachineIdentifier();

// Tests replace or hide a variable: an override answers the given bytes; a
// hidden variable answers ENOENT. Reset drops all overrides.
void sysctlSetOverrideForTesting(const std::string& name, std::vector<unsigned char> bytes);
void sysctlHideForTesting(const std::string& name);
void sysctlResetOverridesForTesting();
