#pragma once
// Where the analytics layer keeps its files and how envelope files are named, listed, saved
// and deleted. Everything lives under one root, <Library>/.zavez, computed (and created)
// once per process; stale hidden temporaries of interrupted saves go at that moment.
// Class operations only; any thread.

#include <optional>
#include <string>

#include <platform_runtime/Value.h>

struct ZVFileUtility {
    static constexpr const char* kEnvelopeSuffix = "_envelope.log";

    static bool isExistAtPath(const std::string& path);
    static bool makeAbsDir(const std::string& path);
    // Writes only when nothing exists at the path: a hidden temporary beside it is renamed
    // without replacing, so a racing writer or a kill never leaves a torn or replaced file.
    static bool saveData(const Value::Data* data, const std::string& path);
    static bool removeFile(const std::string& path);

    static std::string cacheParentDir();
    static std::string zavezDirectory();
    static std::string uaDBFilePath();
    static std::string ucDBFilePath();
    static std::string zavezStatelessDirectory();
    static std::string zvStatelessDirectory();
    static std::string statelessDirWithEncodeURL(const std::string& encodedURL);

    // Non-hidden entries as dir + "/" + name, in the directory's order; empty when unreadable.
    static Value itemsInAbsDir(const std::string& dir);
    static Value itemsInDir(const std::string& dir, const std::string& validSuffix);
    // Oldest first by creation (birth) time, else modification time; equal whole-second ages
    // keep name order.
    static void sortFileWithCreatedTime(Value& paths);

    static Value envelopeFiles();
    // Empty for anything but a non-empty string.
    static Value envelopeFilesWithSubFolder(const Value& subFolder);
    static std::string generateEnvelopeNamePrefix(const std::string& prefix, const std::string& ts);
    // Creates root/subFolder (with parents) when missing; nothing for an empty sub-folder.
    static std::optional<std::string> generateEnvelopeNamePrefixSubFolder(const std::string& prefix,
                                                                          const std::string& ts,
                                                                          const std::string& subFolder);
    // root/"zvstateless"/<Base64 of the path with "/" written "-">_<prefix>_<ts>_envelope.log
    static std::string generateEnvelopeNamePrefixPathURL(const std::string& prefix, const std::string& ts,
                                                         const std::string& pathURL);
    // The Base64 of a stateless target as it appears in file names, and back.
    static std::string statelessNameFromPath(const std::string& pathURL);
    static std::string pathFromStatelessName(const std::string& name);
    static Value statelessEnvelopeFile();
};
