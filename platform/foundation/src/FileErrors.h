#pragma once
// Building the file errors: a Cocoa error for the failed operation with the path and the
// POSIX error underneath.

#include <platform_foundation/NSFileErrors.h>
#include <platform_runtime/NSError.h>

#include <string>

namespace file_errors {

enum class Op { Read, Write };

// The Cocoa code for an errno of a read or a write.
int64_t codeFor(Op op, int err);

// NSCocoaErrorDomain `code`, NSFilePath = path, NSUnderlyingError = NSPOSIXErrorDomain `err`.
NSErrorPtr make(int64_t code, int err, const std::string& path);

// Stores make(codeFor(op, err), err, path) in *out when out is given.
void report(NSErrorPtr* out, Op op, int err, const std::string& path);
void reportCode(NSErrorPtr* out, int64_t code, int err, const std::string& path);

}  // namespace file_errors
