#include <platform_net/NSHTTPURLResponse.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace {
std::string trim(std::string s) {
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    return s;
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits "type/subtype; charset=utf-8" into the lower-case type and the charset.
void parseContentType(const std::optional<std::string>& header, std::optional<std::string>& mime,
                      std::optional<std::string>& charset) {
    if (!header) return;
    std::string value = *header;
    auto semi = value.find(';');
    std::string type = trim(value.substr(0, semi));
    if (!type.empty()) mime = lower(type);
    while (semi != std::string::npos) {
        auto next = value.find(';', semi + 1);
        std::string param = trim(value.substr(semi + 1, next == std::string::npos ? std::string::npos : next - semi - 1));
        auto eq = param.find('=');
        if (eq != std::string::npos && lower(trim(param.substr(0, eq))) == "charset") {
            std::string v = trim(param.substr(eq + 1));
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            if (!v.empty()) charset = lower(v);
        }
        semi = next;
    }
}

int64_t parseLength(const std::optional<std::string>& header) {
    if (!header) return NSURLResponseUnknownLength;
    std::string v = trim(*header);
    if (v.empty() || !std::all_of(v.begin(), v.end(), [](unsigned char c) { return std::isdigit(c); }) || v.size() > 18)
        return NSURLResponseUnknownLength;
    return std::stoll(v);
}

std::optional<std::string> header(const NSHTTPHeaderFields& fields, std::string_view name) {
    auto it = fields.find(name);
    if (it == fields.end()) return std::nullopt;
    return it->second;
}
}  // namespace

NSHTTPURLResponsePtr NSHTTPURLResponse::create(NSURLPtr url, int64_t statusCode, std::optional<std::string> HTTPVersion,
                                               NSHTTPHeaderFields headerFields) {
    if (!url) return nullptr;
    return std::make_shared<NSHTTPURLResponse>(std::move(url), statusCode, HTTPVersion.value_or("HTTP/1.1"),
                                               std::move(headerFields));
}

NSHTTPURLResponse::NSHTTPURLResponse(NSURLPtr url, int64_t statusCode, std::string HTTPVersion,
                                     NSHTTPHeaderFields headerFields)
    : NSURLResponse(std::move(url), std::nullopt, NSURLResponseUnknownLength, std::nullopt),
      status_(statusCode), version_(std::move(HTTPVersion)), headers_(std::move(headerFields)) {
    parseContentType(header(headers_, "Content-Type"), mime_, encoding_);
    // A compressed body arrives decoded, so its encoded length says nothing about it.
    auto encoding = header(headers_, "Content-Encoding");
    if (!encoding || lower(trim(*encoding)) == "identity") expectedLength_ = parseLength(header(headers_, "Content-Length"));
}

std::string NSHTTPURLResponse::description() const {
    return NSURLResponse::description() + " { Status Code: " + std::to_string(status_) + " }";
}

std::optional<std::string> NSHTTPURLResponse::valueForHTTPHeaderField(std::string_view field) const {
    return header(headers_, field);
}

std::string NSHTTPURLResponse::suggestedFilename() const {
    // Content-Disposition: attachment; filename="name.ext"
    if (auto cd = header(headers_, "Content-Disposition")) {
        std::string v = *cd;
        auto pos = lower(v).find("filename=");
        if (pos != std::string::npos) {
            std::string name = trim(v.substr(pos + 9));
            if (!name.empty() && name.front() == '"') {
                auto end = name.find('"', 1);
                name = name.substr(1, end == std::string::npos ? std::string::npos : end - 1);
            } else {
                name = trim(name.substr(0, name.find(';')));
            }
            // Only the last component: a server must not steer a file outside its folder.
            auto slash = name.find_last_of("/\\");
            if (slash != std::string::npos) name = name.substr(slash + 1);
            if (!name.empty() && name != "." && name != "..") return name;
        }
    }
    return NSURLResponse::suggestedFilename();
}

std::string NSHTTPURLResponse::localizedStringForStatusCode(int64_t code) {
    // Never destroyed: transfers may still fail while the process exits.
    static const auto& texts = *new std::map<int64_t, const char*>{
        {100, "continue"}, {101, "switching protocols"}, {200, "no error"}, {201, "created"},
        {202, "accepted"}, {203, "non-authoritative information"}, {204, "no content"},
        {205, "reset content"}, {206, "partial content"}, {300, "multiple choices"},
        {301, "moved permanently"}, {302, "found"}, {303, "see other"}, {304, "not modified"},
        {305, "needs proxy"}, {307, "temporarily redirected"}, {308, "permanently redirected"},
        {400, "bad request"}, {401, "unauthorized"}, {402, "payment required"}, {403, "forbidden"},
        {404, "not found"}, {405, "method not allowed"}, {406, "unacceptable"},
        {407, "proxy authentication required"}, {408, "request timed out"}, {409, "conflict"},
        {410, "no longer exists"}, {411, "length required"}, {412, "precondition failed"},
        {413, "request too large"}, {414, "requested URL too long"}, {415, "unsupported media type"},
        {416, "requested range not satisfiable"}, {417, "expectation failed"}, {429, "too many requests"},
        {500, "internal server error"}, {501, "unimplemented"}, {502, "bad gateway"},
        {503, "service unavailable"}, {504, "gateway timed out"}, {505, "unsupported version"},
    };
    auto it = texts.find(code);
    if (it != texts.end()) return it->second;
    if (code >= 100 && code < 200) return "informational";
    if (code >= 200 && code < 300) return "success";
    if (code >= 300 && code < 400) return "redirected";
    if (code >= 400 && code < 500) return "client error";
    if (code >= 500 && code < 600) return "server error";
    return "server error";
}
