#include <platform_foundation/NSPathUtilities.h>

#include <platform_foundation/Sandbox.h>

namespace {

// Collapses runs of '/' and drops a trailing '/' (except for the root itself).
std::string normalizeSlashes(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

// Position just past the last '/' of an already normalised path (0 when there is none).
std::size_t lastComponentStart(const std::string& p) {
    auto slash = p.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string stringByAppendingPathComponent(std::string_view path, std::string_view component) {
    if (path.empty()) return normalizeSlashes(component);
    if (component.empty()) return normalizeSlashes(path);
    std::string joined(path);
    joined.push_back('/');
    joined.append(component);
    return normalizeSlashes(joined);
}

std::string lastPathComponent(std::string_view path) {
    std::string p = normalizeSlashes(path);
    if (p == "/") return p;
    return p.substr(lastComponentStart(p));
}

std::string stringByDeletingLastPathComponent(std::string_view path) {
    std::string p = normalizeSlashes(path);
    if (p == "/") return p;
    auto slash = p.rfind('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

std::string pathExtension(std::string_view path) {
    std::string last = lastPathComponent(path);
    auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || last == "/") return "";
    return last.substr(dot + 1);
}

std::string stringByDeletingPathExtension(std::string_view path) {
    std::string p = normalizeSlashes(path);
    std::size_t start = lastComponentStart(p);
    auto dot = p.rfind('.');
    if (p == "/" || dot == std::string::npos || dot <= start) return p;
    return p.substr(0, dot);
}

std::string stringByAppendingPathExtension(std::string_view path, std::string_view extension) {
    std::string p = normalizeSlashes(path);
    if (p.empty() || p == "/") return p;
    if (extension.empty()) return p;
    p.push_back('.');
    p.append(extension);
    return p;
}

std::vector<std::string> pathComponents(std::string_view path) {
    std::vector<std::string> out;
    if (path.empty()) return out;
    if (path.front() == '/') out.emplace_back("/");
    std::string current;
    for (char c : path) {
        if (c == '/') {
            if (!current.empty()) out.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) out.push_back(std::move(current));
    // A trailing slash after at least one name is kept as a final "/" component.
    if (path.size() > 1 && path.back() == '/' && out.size() > 1) out.emplace_back("/");
    return out;
}

std::string stringByExpandingTildeInPath(std::string_view path) {
    if (path == "~") return NSHomeDirectory();
    if (path.size() >= 2 && path[0] == '~' && path[1] == '/')
        return stringByAppendingPathComponent(NSHomeDirectory(), path.substr(2));
    return normalizeSlashes(path);
}
