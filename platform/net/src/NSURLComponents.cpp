#include <platform_net/NSURLComponents.h>

#include "URLPercentCoding.h"

namespace {

std::optional<std::string> decoded(const std::optional<std::string>& v) {
    if (!v) return std::nullopt;
    return urlPercentDecode(*v).value_or(*v);
}

std::optional<std::string> encoded(const std::optional<std::string>& v, URLCharacterClass part) {
    if (!v) return std::nullopt;
    return urlPercentEncode(*v, part);
}

}  // namespace

std::optional<NSURLComponents> NSURLComponents::componentsWithString(std::string_view string) {
    auto parts = NSURL::parse(string);
    if (!parts) return std::nullopt;
    NSURLComponents c;
    if (!parts->scheme.empty()) c.scheme_ = parts->scheme;
    if (parts->userInfo) {
        auto colon = parts->userInfo->find(':');
        c.user_ = parts->userInfo->substr(0, colon);
        if (colon != std::string::npos) c.password_ = parts->userInfo->substr(colon + 1);
    }
    if (parts->authority) c.host_ = parts->host;
    c.port_ = parts->port;
    c.path_ = parts->path;
    c.query_ = parts->query;
    c.fragment_ = parts->fragment;
    return c;
}

std::optional<NSURLComponents> NSURLComponents::componentsWithURL(const NSURLPtr& url, bool resolvingAgainstBaseURL) {
    if (!url) return std::nullopt;
    return componentsWithString(resolvingAgainstBaseURL ? url->absoluteString() : url->relativeString());
}

std::string NSURLComponents::string() const {
    NSURL::Parts p;
    p.scheme = scheme_.value_or("");
    if (host_ || user_ || password_ || port_) {
        std::string authority;
        if (user_ || password_) {
            authority += user_.value_or("");
            if (password_) authority += ":" + *password_;
            authority += "@";
        }
        authority += host_.value_or("");
        if (port_) authority += ":" + std::to_string(*port_);
        p.authority = authority;
    }
    p.path = path_;
    // With an authority the path must be empty or begin with "/".
    if (p.authority && !p.path.empty() && p.path[0] != '/') p.path = "/" + p.path;
    p.query = query_;
    p.fragment = fragment_;
    return p.toString();
}

NSURLPtr NSURLComponents::URL() const { return NSURL::URLWithString(string()); }

std::optional<std::string> NSURLComponents::user() const { return decoded(user_); }
void NSURLComponents::setUser(const std::optional<std::string>& v) { user_ = encoded(v, URLCharacterClass::User); }
std::optional<std::string> NSURLComponents::password() const { return decoded(password_); }
void NSURLComponents::setPassword(const std::optional<std::string>& v) {
    password_ = encoded(v, URLCharacterClass::Password);
}
std::optional<std::string> NSURLComponents::host() const { return decoded(host_); }
void NSURLComponents::setHost(const std::optional<std::string>& v) { host_ = encoded(v, URLCharacterClass::Host); }
std::string NSURLComponents::path() const { return urlPercentDecode(path_).value_or(path_); }
void NSURLComponents::setPath(const std::string& v) { path_ = urlPercentEncode(v, URLCharacterClass::Path); }
std::optional<std::string> NSURLComponents::query() const { return decoded(query_); }
void NSURLComponents::setQuery(const std::optional<std::string>& v) { query_ = encoded(v, URLCharacterClass::Query); }
std::optional<std::string> NSURLComponents::fragment() const { return decoded(fragment_); }
void NSURLComponents::setFragment(const std::optional<std::string>& v) {
    fragment_ = encoded(v, URLCharacterClass::Fragment);
}

std::optional<std::vector<NSURLQueryItem>> NSURLComponents::queryItems() const {
    if (!query_) return std::nullopt;
    std::vector<NSURLQueryItem> items;
    const std::string& q = *query_;
    std::size_t start = 0;
    while (start <= q.size()) {
        auto amp = q.find('&', start);
        std::string pair = q.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        NSURLQueryItem item;
        auto eq = pair.find('=');
        std::string name = pair.substr(0, eq);
        item.name = urlPercentDecode(name).value_or(name);
        if (eq != std::string::npos) {
            std::string value = pair.substr(eq + 1);
            item.value = urlPercentDecode(value).value_or(value);
        }
        items.push_back(std::move(item));
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    return items;
}

void NSURLComponents::setQueryItems(const std::optional<std::vector<NSURLQueryItem>>& items) {
    if (!items) {
        query_.reset();
        return;
    }
    std::string q;
    for (std::size_t i = 0; i < items->size(); ++i) {
        const auto& item = (*items)[i];
        if (i) q += '&';
        q += urlPercentEncode(item.name, URLCharacterClass::QueryItem);
        if (item.value) q += "=" + urlPercentEncode(*item.value, URLCharacterClass::QueryItem);
    }
    query_ = q;
}
