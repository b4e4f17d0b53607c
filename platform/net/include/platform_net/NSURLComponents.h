#pragma once
// Builds and takes apart URLs part by part, with decoded and percent-encoded
// views and name/value query items.

#include <platform_net/NSURL.h>

#include <optional>
#include <string>
#include <vector>

struct NSURLQueryItem {
    std::string name;
    std::optional<std::string> value;
    bool operator==(const NSURLQueryItem&) const = default;
};

class NSURLComponents {
public:
    NSURLComponents() = default;
    // Nothing when the string is not a valid URL.
    static std::optional<NSURLComponents> componentsWithString(std::string_view string);
    static std::optional<NSURLComponents> componentsWithURL(const NSURLPtr& url, bool resolvingAgainstBaseURL);

    NSURLPtr URL() const;
    std::string string() const;

    std::optional<std::string> scheme() const { return scheme_; }
    void setScheme(std::optional<std::string> v) { scheme_ = std::move(v); }
    std::optional<std::string> user() const;
    void setUser(const std::optional<std::string>& v);
    std::optional<std::string> password() const;
    void setPassword(const std::optional<std::string>& v);
    std::optional<std::string> host() const;
    void setHost(const std::optional<std::string>& v);
    std::optional<int> port() const { return port_; }
    void setPort(std::optional<int> v) { port_ = v; }
    std::string path() const;
    void setPath(const std::string& v);
    std::optional<std::string> query() const;
    void setQuery(const std::optional<std::string>& v);
    std::optional<std::string> fragment() const;
    void setFragment(const std::optional<std::string>& v);

    std::optional<std::string> percentEncodedUser() const { return user_; }
    std::optional<std::string> percentEncodedPassword() const { return password_; }
    std::optional<std::string> percentEncodedHost() const { return host_; }
    const std::string& percentEncodedPath() const { return path_; }
    void setPercentEncodedPath(std::string v) { path_ = std::move(v); }
    std::optional<std::string> percentEncodedQuery() const { return query_; }
    void setPercentEncodedQuery(std::optional<std::string> v) { query_ = std::move(v); }
    std::optional<std::string> percentEncodedFragment() const { return fragment_; }

    // Items of the query split at "&" and the first "=" of each, decoded.
    // Nothing when there is no query.
    std::optional<std::vector<NSURLQueryItem>> queryItems() const;
    // Encodes names and values so that "&", "=" and "#" inside them survive.
    void setQueryItems(const std::optional<std::vector<NSURLQueryItem>>& items);

private:
    std::optional<std::string> scheme_, user_, password_, host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_, fragment_;
};
