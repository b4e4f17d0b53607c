#include "FileErrors.h"

#include <platform_foundation/NSPathUtilities.h>

#include <cerrno>
#include <cstring>

namespace file_errors {

namespace {

std::string describe(int64_t code, const std::string& path) {
    const std::string name = "\xE2\x80\x9C" + lastPathComponent(path) + "\xE2\x80\x9D";  // “name”
    switch (code) {
        case NSFileNoSuchFileError: return "The file " + name + " doesn\xE2\x80\x99t exist.";
        case NSFileReadNoSuchFileError:
            return "The file " + name + " couldn\xE2\x80\x99t be opened because there is no such file.";
        case NSFileReadNoPermissionError:
            return "The file " + name + " couldn\xE2\x80\x99t be opened because you don\xE2\x80\x99t have permission to view it.";
        case NSFileReadInapplicableStringEncodingError:
            return "The file " + name + " couldn\xE2\x80\x99t be opened using text encoding Unicode (UTF-8).";
        case NSFileReadUnknownError: return "The file " + name + " couldn\xE2\x80\x99t be opened.";
        case NSFileWriteNoPermissionError:
            return "You don\xE2\x80\x99t have permission to save the file " + name + ".";
        case NSFileWriteFileExistsError:
            return "The file " + name + " couldn\xE2\x80\x99t be saved because a file with the same name already exists.";
        case NSFileWriteOutOfSpaceError:
            return "The file " + name + " couldn\xE2\x80\x99t be saved because there isn\xE2\x80\x99t enough space.";
        case NSFileWriteVolumeReadOnlyError:
            return "The file " + name + " couldn\xE2\x80\x99t be saved because the volume is read only.";
        default: return "The file " + name + " couldn\xE2\x80\x99t be saved.";
    }
}

}  // namespace

int64_t codeFor(Op op, int err) {
    if (op == Op::Read) {
        switch (err) {
            case ENOENT:
            case ENOTDIR: return NSFileReadNoSuchFileError;
            case EACCES:
            case EPERM: return NSFileReadNoPermissionError;
            case ENAMETOOLONG: return NSFileReadInvalidFileNameError;
            case EFBIG: return NSFileReadTooLargeError;
            default: return NSFileReadUnknownError;
        }
    }
    switch (err) {
        case ENOENT:
        case ENOTDIR: return NSFileNoSuchFileError;
        case EACCES:
        case EPERM: return NSFileWriteNoPermissionError;
        case EEXIST:
        case ENOTEMPTY: return NSFileWriteFileExistsError;
        case ENAMETOOLONG: return NSFileWriteInvalidFileNameError;
        case ENOSPC:
        case EDQUOT: return NSFileWriteOutOfSpaceError;
        case EROFS: return NSFileWriteVolumeReadOnlyError;
        default: return NSFileWriteUnknownError;
    }
}

NSErrorPtr make(int64_t code, int err, const std::string& path) {
    Value::Dictionary info;
    info[Value(NSFilePathErrorKey)] = Value(path);
    info[Value(NSLocalizedDescriptionKey)] = Value(describe(code, path));
    if (err != 0) {
        auto posix = NSError::errorWithDomain(NSPOSIXErrorDomain, err,
                                              {{Value(NSLocalizedDescriptionKey), Value(std::strerror(err))}});
        info[Value(NSUnderlyingErrorKey)] = Value(posix);
    }
    return NSError::errorWithDomain(NSCocoaErrorDomain, code, std::move(info));
}

void report(NSErrorPtr* out, Op op, int err, const std::string& path) {
    if (out) *out = make(codeFor(op, err), err, path);
}

void reportCode(NSErrorPtr* out, int64_t code, int err, const std::string& path) {
    if (out) *out = make(code, err, path);
}

}  // namespace file_errors
