#include <platform_net/NSURL.h>

#include <unistd.h>

#include <cstring>
#include <functional>

#include "URLPercentCoding.h"

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Characters a URL string may carry: unreserved, reserved and "%".
bool isURLCharacter(char c) {
    if (isAlpha(c) || isDigit(c)) return true;
    return std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr && c != '\0';
}

bool validCharacters(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!isURLCharacter(s[i])) return false;
        if (s[i] == '%' && (i + 2 >= s.size() || !isHex(s[i + 1]) || !isHex(s[i + 2]))) return false;
    }
    return true;
}

bool validScheme(std::string_view s) {
    if (s.empty() || !isAlpha(s[0])) return false;
    for (char c : s)
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    return true;
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string in(input), out;
    while (!in.empty()) {
        if (in.rfind("../", 0) == 0) {
            in.erase(0, 3);
        } else if (in.rfind("./", 0) == 0) {
            in.erase(0, 2);
        } else if (in.rfind("/./", 0) == 0) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.rfind("/../", 0) == 0 || in == "/..") {
            in = in == "/.." ? "/" : in.substr(3);
            auto slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            auto next = in.find('/', in[0] == '/' ? 1 : 0);
            out += in.substr(0, next);
            in.erase(0, next == std::string::npos ? in.size() : next);
        }
    }
    return out;
}

NSURL::Parts resolve(const NSURL::Parts& base, const NSURL::Parts& ref) {
    NSURL::Parts t;
    if (!ref.scheme.empty()) {
        t = ref;
        t.path = removeDotSegments(ref.path);
        return t;
    }
    t.scheme = base.scheme;
    t.fragment = ref.fragment;
    if (ref.authority) {
        t.authority = ref.authority;
        t.userInfo = ref.userInfo;
        t.host = ref.host;
        t.port = ref.port;
        t.path = removeDotSegments(ref.path);
        t.query = ref.query;
        return t;
    }
    t.authority = base.authority;
    t.userInfo = base.userInfo;
    t.host = base.host;
    t.port = base.port;
    if (ref.path.empty()) {
        t.path = base.path;
        t.query = ref.query ? ref.query : base.query;
        return t;
    }
    t.query = ref.query;
    if (ref.path[0] == '/') {
        t.path = removeDotSegments(ref.path);
    } else {
        std::string merged;
        if (base.authority && base.path.empty()) {
            merged = "/" + ref.path;
        } else {
            auto slash = base.path.rfind('/');
            merged = (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1)) + ref.path;
        }
        t.path = removeDotSegments(merged);
    }
    return t;
}

}  // namespace

std::string NSURL::Parts::toString() const {
    std::string s;
    if (!scheme.empty()) s += scheme + ":";
    if (authority) s += "//" + *authority;
    s += path;
    if (query) s += "?" + *query;
    if (fragment) s += "#" + *fragment;
    return s;
}

std::optional<NSURL::Parts> NSURL::parse(std::string_view ref) {
    if (!validCharacters(ref)) return std::nullopt;
    Parts p;
    std::string_view rest = ref;
    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        p.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (auto colon = rest.find(':'); colon != std::string_view::npos) {
        auto candidate = rest.substr(0, colon);
        if (candidate.find_first_of("/?") == std::string_view::npos && validScheme(candidate)) {
            p.scheme = std::string(candidate);
            rest = rest.substr(colon + 1);
        }
    }
    if (auto q = rest.find('?'); q != std::string_view::npos) {
        p.query = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }
    if (rest.rfind("//", 0) == 0) {
        rest = rest.substr(2);
        auto slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        p.authority = std::string(authority);
        if (auto at = authority.rfind('@'); at != std::string_view::npos) {
            p.userInfo = std::string(authority.substr(0, at));
            authority = authority.substr(at + 1);
        }
        std::string_view hostPort = authority;
        std::size_t portColon = std::string_view::npos;
        if (!hostPort.empty() && hostPort[0] == '[') {
            auto close = hostPort.find(']');
            if (close == std::string_view::npos) return std::nullopt;
            if (close + 1 < hostPort.size()) {
                if (hostPort[close + 1] != ':') return std::nullopt;
                portColon = close + 1;
            }
        } else {
            portColon = hostPort.rfind(':');
        }
        if (portColon != std::string_view::npos) {
            auto portText = hostPort.substr(portColon + 1);
            if (!portText.empty()) {
                long port = 0;
                for (char c : portText) {
                    if (!isDigit(c)) return std::nullopt;
                    port = port * 10 + (c - '0');
                    if (port > 65535) return std::nullopt;
                }
                p.port = static_cast<int>(port);
            }
            hostPort = hostPort.substr(0, portColon);
        }
        p.host = std::string(hostPort);
    }
    p.path = std::string(rest);
    return p;
}

NSURL::NSURL(Parts parts, std::string relative, NSURLPtr base)
    : parts_(std::move(parts)), absolute_(parts_.toString()), relative_(std::move(relative)), base_(std::move(base)) {}

NSURLPtr NSURL::URLWithString(std::string_view string) { return URLWithString(string, nullptr); }

NSURLPtr NSURL::URLWithString(std::string_view string, const NSURLPtr& relativeToURL) {
    if (string.empty() && !relativeToURL) return nullptr;
    auto ref = parse(string);
    if (!ref) return nullptr;
    if (!relativeToURL || !ref->scheme.empty())
        return std::make_shared<NSURL>(*ref, std::string(string), ref->scheme.empty() ? relativeToURL : nullptr);
    return std::make_shared<NSURL>(resolve(relativeToURL->parts_, *ref), std::string(string), relativeToURL);
}

NSURLPtr NSURL::fileURLWithPath(std::string_view path) {
    std::string p(path);
    bool isDirectory = !p.empty() && p.back() == '/';
    return fileURLWithPath(p, isDirectory);
}

NSURLPtr NSURL::fileURLWithPath(std::string_view path, bool isDirectory) {
    std::string p(path);
    if (p.empty() || p[0] != '/') {
        char cwd[4096];
        std::string base = getcwd(cwd, sizeof cwd) ? cwd : "/";
        p = base + (base.back() == '/' ? "" : "/") + p;
    }
    if (isDirectory && p.back() != '/') p += '/';
    Parts parts;
    parts.scheme = "file";
    parts.authority = "";
    parts.path = urlPercentEncode(p, URLCharacterClass::Path);
    return std::make_shared<NSURL>(parts, parts.toString(), nullptr);
}

NSURLPtr NSURL::absoluteURL() const {
    if (!base_) return std::static_pointer_cast<NSURL>(std::const_pointer_cast<NSObject>(shared_from_this()));
    return std::make_shared<NSURL>(parts_, absolute_, nullptr);
}

std::string NSURL::description() const {
    return base_ ? relative_ + " -- " + base_->description() : absolute_;
}

bool NSURL::isEqual(const NSObject& other) const {
    auto* url = dynamic_cast<const NSURL*>(&other);
    if (!url) return false;
    if (relative_ != url->relative_) return false;
    if (!base_ || !url->base_) return !base_ && !url->base_;
    return base_->isEqual(*url->base_);
}

std::size_t NSURL::hash() const { return std::hash<std::string>()(relative_); }

std::string NSURL::host() const {
    std::string h = parts_.host;
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    return urlPercentDecode(h).value_or(h);
}

std::optional<std::string> NSURL::user() const {
    if (!parts_.userInfo) return std::nullopt;
    auto colon = parts_.userInfo->find(':');
    auto user = parts_.userInfo->substr(0, colon);
    return urlPercentDecode(user).value_or(user);
}

std::optional<std::string> NSURL::password() const {
    if (!parts_.userInfo) return std::nullopt;
    auto colon = parts_.userInfo->find(':');
    if (colon == std::string::npos) return std::nullopt;
    auto pw = parts_.userInfo->substr(colon + 1);
    return urlPercentDecode(pw).value_or(pw);
}

std::string NSURL::path() const {
    std::string p = parts_.path;
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return urlPercentDecode(p).value_or(p);
}

std::string NSURL::resourceSpecifier() const {
    return parts_.scheme.empty() ? absolute_ : absolute_.substr(parts_.scheme.size() + 1);
}

bool NSURL::hasDirectoryPath() const { return !parts_.path.empty() && parts_.path.back() == '/'; }

std::vector<std::string> NSURL::pathComponents() const {
    std::vector<std::string> out;
    const std::string p = path();
    if (p.empty()) return out;
    std::size_t i = 0;
    if (p[0] == '/') {
        out.push_back("/");
        i = 1;
    }
    while (i < p.size()) {
        auto slash = p.find('/', i);
        auto piece = p.substr(i, slash == std::string::npos ? std::string::npos : slash - i);
        if (!piece.empty()) out.push_back(piece);
        if (slash == std::string::npos) break;
        i = slash + 1;
    }
    return out;
}

std::string NSURL::lastPathComponent() const {
    auto components = pathComponents();
    return components.empty() ? std::string() : components.back();
}

std::string NSURL::pathExtension() const {
    auto last = lastPathComponent();
    auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return "";
    return last.substr(dot + 1);
}

NSURLPtr NSURL::withPath(std::string path) const {
    Parts parts = parts_;
    parts.path = std::move(path);
    parts.query.reset();
    parts.fragment.reset();
    return std::make_shared<NSURL>(parts, parts.toString(), nullptr);
}

NSURLPtr NSURL::URLByAppendingPathComponent(std::string_view component) const {
    return URLByAppendingPathComponent(component, !component.empty() && component.back() == '/');
}

NSURLPtr NSURL::URLByAppendingPathComponent(std::string_view component, bool isDirectory) const {
    std::string p = parts_.path;
    std::string piece = urlPercentEncode(component, URLCharacterClass::Path);
    if (!piece.empty() && piece[0] == '/' && !p.empty() && p.back() == '/') piece.erase(0, 1);
    if (p.empty() || p.back() != '/') p += '/';
    p += piece;
    if (isDirectory && p.back() != '/') p += '/';
    return withPath(p);
}

NSURLPtr NSURL::URLByDeletingLastPathComponent() const {
    std::string p = parts_.path;
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    auto slash = p.rfind('/');
    if (slash == std::string::npos) return withPath("./");
    return withPath(p.substr(0, slash + 1));
}

NSURLPtr NSURL::URLByAppendingPathExtension(std::string_view extension) const {
    std::string p = parts_.path;
    bool dir = p.size() > 1 && p.back() == '/';
    if (dir) p.pop_back();
    if (p.empty() || p.back() == '/') return withPath(parts_.path);
    p += "." + urlPercentEncode(extension, URLCharacterClass::Path);
    if (dir) p += '/';
    return withPath(p);
}

NSURLPtr NSURL::URLByDeletingPathExtension() const {
    std::string p = parts_.path;
    bool dir = p.size() > 1 && p.back() == '/';
    if (dir) p.pop_back();
    auto slash = p.rfind('/');
    auto dot = p.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) p.erase(dot);
    if (dir) p += '/';
    return withPath(p);
}
