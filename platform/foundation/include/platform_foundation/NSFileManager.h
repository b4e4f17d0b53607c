#pragma once
// The file manager: existence, directories, listings and recursive walks, item attributes,
// volume sizes, move / copy / remove, access checks and app-group containers.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform_foundation/NSFileErrors.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

// Attribute keys and values.
inline constexpr char NSFileType[] = "NSFileType";
inline constexpr char NSFileTypeDirectory[] = "NSFileTypeDirectory";
inline constexpr char NSFileTypeRegular[] = "NSFileTypeRegular";
inline constexpr char NSFileTypeSymbolicLink[] = "NSFileTypeSymbolicLink";
inline constexpr char NSFileTypeSocket[] = "NSFileTypeSocket";
inline constexpr char NSFileTypeCharacterSpecial[] = "NSFileTypeCharacterSpecial";
inline constexpr char NSFileTypeBlockSpecial[] = "NSFileTypeBlockSpecial";
inline constexpr char NSFileTypeUnknown[] = "NSFileTypeUnknown";
inline constexpr char NSFileSize[] = "NSFileSize";
inline constexpr char NSFileModificationDate[] = "NSFileModificationDate";
inline constexpr char NSFileCreationDate[] = "NSFileCreationDate";
inline constexpr char NSFilePosixPermissions[] = "NSFilePosixPermissions";
inline constexpr char NSFileReferenceCount[] = "NSFileReferenceCount";
inline constexpr char NSFileOwnerAccountID[] = "NSFileOwnerAccountID";
inline constexpr char NSFileGroupOwnerAccountID[] = "NSFileGroupOwnerAccountID";
inline constexpr char NSFileSystemNumber[] = "NSFileSystemNumber";
inline constexpr char NSFileSystemFileNumber[] = "NSFileSystemFileNumber";
inline constexpr char NSFileSystemSize[] = "NSFileSystemSize";
inline constexpr char NSFileSystemFreeSize[] = "NSFileSystemFreeSize";
inline constexpr char NSFileSystemNodes[] = "NSFileSystemNodes";
inline constexpr char NSFileSystemFreeNodes[] = "NSFileSystemFreeNodes";

enum NSDirectoryEnumerationOptions : uint64_t {
    NSDirectoryEnumerationSkipsSubdirectoryDescendants = 1 << 0,
    NSDirectoryEnumerationSkipsHiddenFiles = 1 << 2,  // names beginning with "."
};

// A pre-order walk below a directory answering paths relative to it, each directory's
// entries in name order. Symbolic links are answered but not followed.
class NSDirectoryEnumerator {
public:
    NSDirectoryEnumerator(std::string root, uint64_t options);

    // The next relative path, or nothing at the end.
    std::optional<std::string> nextObject();
    // Don't descend into the directory nextObject just answered.
    void skipDescendants();
    // Everything not yet answered.
    std::vector<std::string> allObjects();
    // Depth of the last answer: 1 for the root's own entries.
    std::size_t level() const { return lastLevel_; }

private:
    struct Frame {
        std::string relative;  // of the directory, "" for the root
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    void push(const std::string& relative);

    std::string root_;
    uint64_t options_;
    std::vector<Frame> stack_;
    std::optional<std::string> pendingDirectory_;  // answered, not yet entered
    std::size_t lastLevel_ = 0;
};

class NSFileManager : public NSObject {
public:
    static std::shared_ptr<NSFileManager> defaultManager();

    // Follows symbolic links; `isDirectory` (when given) tells whether it is a directory.
    bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;

    // With intermediates, an existing directory is success; without, it is
    // NSFileWriteFileExistsError, as is a file in the way. NSFilePosixPermissions applies.
    bool createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                               const Value::Dictionary& attributes = {}, NSErrorPtr* error = nullptr);
    // Writes the contents (empty when none) atomically, replacing any file there.
    bool createFileAtPath(const std::string& path, const std::optional<std::vector<uint8_t>>& contents,
                          const Value::Dictionary& attributes = {});
    std::optional<std::vector<uint8_t>> contentsAtPath(const std::string& path) const;

    // Names in the directory (hidden ones too unless skipped), sorted; empty with the error
    // when it can't be read.
    std::vector<std::string> contentsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error = nullptr) const;
    std::vector<std::string> contentsOfDirectoryAtPath(const std::string& path, uint64_t options,
                                                       NSErrorPtr* error) const;
    // nullptr when the path is not a readable directory.
    std::shared_ptr<NSDirectoryEnumerator> enumeratorAtPath(const std::string& path, uint64_t options = 0) const;
    // Every path below the directory, relative to it, in walk order.
    std::vector<std::string> subpathsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error = nullptr) const;

    // A dictionary of the NSFile* keys above, of the item itself (a final symbolic link is not
    // followed); Null with the error when it can't be read.
    Value attributesOfItemAtPath(const std::string& path, NSErrorPtr* error = nullptr) const;
    // NSFileSystemSize / FreeSize (bytes available to us) / Nodes / FreeNodes / Number.
    Value attributesOfFileSystemForPath(const std::string& path, NSErrorPtr* error = nullptr) const;

    // Fails with NSFileWriteFileExistsError when something is at the destination; moves
    // across file systems by copying.
    bool moveItemAtPath(const std::string& src, const std::string& dst, NSErrorPtr* error = nullptr);
    // Recursive; symbolic links are copied as links. Same rule for the destination.
    bool copyItemAtPath(const std::string& src, const std::string& dst, NSErrorPtr* error = nullptr);
    // Recursive; a symbolic link is removed, not what it points to.
    bool removeItemAtPath(const std::string& path, NSErrorPtr* error = nullptr);

    bool isReadableFileAtPath(const std::string& path) const;
    bool isWritableFileAtPath(const std::string& path) const;
    // Whether the item exists and its folder lets us remove entries.
    bool isDeletableFileAtPath(const std::string& path) const;

    // The app-group container's path (the platform answers it as a file URL).
    std::optional<std::string> containerPathForSecurityApplicationGroupIdentifier(const std::string& groupIdentifier) const;

    std::string className() const override { return "NSFileManager"; }
};
