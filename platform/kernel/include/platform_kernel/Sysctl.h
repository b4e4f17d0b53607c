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

// Tests replace or hide a variable: an override answers the given bytes; a
// hidden variable answers ENOENT. Reset drops all overrides.
void sysctlSetOverrideForTesting(const std::string& name, std::vector<unsigned char> bytes);
void sysctlHideForTesting(const std::string& name);
void sysctlResetOverridesForTesting();
