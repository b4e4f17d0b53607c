#pragma once
// Error conveniences of the crash side: an error whose localised description is a formatted
// text, and the fill / clear helpers for error out-parameters. Stateless; any thread.

#include <cstdint>
#include <string>

#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/NSError.h>

// An error of `domain` and `code` whose user info holds `description` under the
// localised-description key.
NSErrorPtr zud_errorWithDescription(const std::string& domain, int64_t code, const std::string& description);

// The same with a platform format and its arguments ("%@", "%d", ...).
template <class... Args>
NSErrorPtr zud_errorWithDomain(const std::string& domain, int64_t code, std::string_view format,
                               const Args&... args) {
    return zud_errorWithDescription(domain, code, NSStringWithFormat(format, args...));
}

// Stores such an error through `error` when it is given; answers false.
template <class... Args>
bool zud_fillError(NSErrorPtr* error, const std::string& domain, int64_t code, std::string_view format,
                   const Args&... args) {
    if (error) *error = zud_errorWithDomain(domain, code, format, args...);
    return false;
}

// Stores nothing through `error` when it is given; answers false.
inline bool zud_clearError(NSErrorPtr* error) {
    if (error) error->reset();
    return false;
}
