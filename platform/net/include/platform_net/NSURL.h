#pragma once
// An immutable URL (RFC 3986): parsing, resolution against a base, parts,
// path components and file URLs.

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NSURL;
using NSURLPtr = std::shared_ptr<NSURL>;

class NSURL : public NSObject {
    NS_CLASS(NSURL, NSObject)

public:
    // Nothing for an empty string, characters a URL cannot hold (spaces,
    // non-ASCII, a "%" without two hex digits) or a malformed port.
    static NSURLPtr URLWithString(std::string_view string);
    static NSURLPtr URLWithString(std::string_view string, const NSURLPtr& relativeToURL);
    // "file://" URL of an absolute path (relative paths are taken from the
    // working directory); a directory URL ends with "/".
    static NSURLPtr fileURLWithPath(std::string_view path);
    static NSURLPtr fileURLWithPath(std::string_view path, bool isDirectory);

    std::string description() const override;
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    const std::string& absoluteString() const { return absolute_; }
    const std::string& relativeString() const { return relative_; }
    const NSURLPtr& baseURL() const { return base_; }
    NSURLPtr absoluteURL() const;

    const std::string& scheme() const { return parts_.scheme; }
    // Host without brackets for IPv6 literals; empty when there is none.
    std::string host() const;
    std::optional<int> port() const { return parts_.port; }
    std::optional<std::string> user() const;
    std::optional<std::string> password() const;
    // Percent-decoded path without a trailing "/" (except the root).
    std::string path() const;
    const std::string& percentEncodedPath() const { return parts_.path; }
    std::optional<std::string> query() const { return parts_.query; }
    std::optional<std::string> fragment() const { return parts_.fragment; }
    // Everything after "scheme:".
    std::string resourceSpecifier() const;
    bool hasDirectoryPath() const;
    bool isFileURL() const { return parts_.scheme == "file"; }

    std::vector<std::string> pathComponents() const;
    std::string lastPathComponent() const;
    std::string pathExtension() const;
    NSURLPtr URLByAppendingPathComponent(std::string_view component) const;
    NSURLPtr URLByAppendingPathComponent(std::string_view component, bool isDirectory) const;
    NSURLPtr URLByDeletingLastPathComponent() const;
    NSURLPtr URLByAppendingPathExtension(std::string_view extension) const;
    NSURLPtr URLByDeletingPathExtension() const;

    // The parts of a URL reference, still percent-encoded.
    struct Parts {
        std::string scheme;
        std::optional<std::string> authority;  // present when "//" was written
        std::optional<std::string> userInfo;
        std::string host;                       // as written, brackets kept
        std::optional<int> port;
        std::string path;
        std::optional<std::string> query;
        std::optional<std::string> fragment;
        std::string toString() const;
    };
    static std::optional<Parts> parse(std::string_view reference);
    const Parts& parts() const { return parts_; }

    NSURL(Parts parts, std::string relative, NSURLPtr base);

private:
    NSURLPtr withPath(std::string path) const;

    Parts parts_;  // of the absolute (resolved) URL
    std::string absolute_;
    std::string relative_;
    NSURLPtr base_;

    NS_IVAR(absolute_, "_absoluteString", "@\"NSString\"")
};
