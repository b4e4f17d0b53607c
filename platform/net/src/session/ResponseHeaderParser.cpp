#include "session/ResponseHeaderParser.h"

#include <cctype>

namespace {
std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}
}  // namespace

void ResponseHeaderParser::reset() {
    statusCode_ = 0;
    httpVersion_.clear();
    fields_.clear();
    complete_ = false;
}

bool ResponseHeaderParser::addLine(std::string_view line) {
    if (line.substr(0, 5) == "HTTP/") {
        auto space = line.find(' ');
        httpVersion_ = std::string(line.substr(0, space));
        statusCode_ = 0;
        if (space != std::string_view::npos) {
            std::string rest = trim(line.substr(space + 1));
            try {
                statusCode_ = std::stoll(rest.substr(0, 3));
            } catch (...) {
                statusCode_ = 0;
            }
        }
        fields_.clear();
        complete_ = false;
        return false;
    }
    std::string text = trim(line);
    if (text.empty()) {
        if (statusCode_ >= 200 && !complete_) {
            complete_ = true;
            return true;
        }
        return false;
    }
    auto colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::string name = trim(std::string_view(text).substr(0, colon));
    std::string value = trim(std::string_view(text).substr(colon + 1));
    auto it = fields_.find(name);
    if (it != fields_.end())
        it->second += ", " + value;
    else
        fields_.emplace(name, value);
    return false;
}
