#include <platform_foundation/StringsFile.h>

#include <fstream>
#include <iterator>

#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_runtime/UTF16.h>


namespace {

class TextParser {
public:
    TextParser(std::string_view text, std::string* error) : s_(text), error_(error) {}

    std::optional<StringsFile::Table> run() {
        StringsFile::Table table;
        skipSpace();
        bool braced = peek() == '{';
        if (braced) {
            ++pos_;
        }
        while (true) {
            if (!skipSpace()) return std::nullopt;
            if (pos_ >= s_.size()) break;
            if (braced && peek() == '}') {
                ++pos_;
                if (!skipSpace()) return std::nullopt;
                if (pos_ < s_.size()) return fail("unexpected text after '}'");
                braced = false;
                break;
            }
            std::optional<std::string> key = readString();
            if (!key) return std::nullopt;
            if (!skipSpace()) return std::nullopt;
            if (peek() == ';') {
                ++pos_;
                table[*key] = *key;
                continue;
            }
            if (peek() != '=') return fail("expected '=' or ';' after a key");
            ++pos_;
            if (!skipSpace()) return std::nullopt;
            std::optional<std::string> value = readString();
            if (!value) return std::nullopt;
            if (!skipSpace()) return std::nullopt;
            if (peek() != ';') return fail("expected ';' after a value");
            ++pos_;
            table[*key] = std::move(*value);
        }
        if (braced) return fail("missing '}'");
        return table;
    }

private:
    char peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }

    std::nullopt_t fail(const std::string& message) {
        if (error_) {
            std::size_t line = 1;
            for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i)
                if (s_[i] == '\n') ++line;
            *error_ = "line " + std::to_string(line) + ": " + message;
        }
        return std::nullopt;
    }

    // Skips white space and comments; false (with an error) for an unterminated comment.
    bool skipSpace() {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (s_.compare(pos_, 2, "/*") == 0) {
                std::size_t end = s_.find("*/", pos_ + 2);
                if (end == std::string_view::npos) {
                    fail("unterminated comment");
                    return false;
                }
                pos_ = end + 2;
            } else if (s_.compare(pos_, 2, "//") == 0) {
                std::size_t end = s_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? s_.size() : end + 1;
            } else if (s_.compare(pos_, 3, "\xEF\xBB\xBF") == 0) {
                pos_ += 3;  // a stray byte-order mark
            } else {
                break;
            }
        }
        return true;
    }

    static bool isWordChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
               c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
    }

    static int hex(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::optional<std::string> readString() {
        if (pos_ >= s_.size()) return fail("unexpected end of text");
        char quote = s_[pos_];
        if (quote != '"' && quote != '\'') {
            std::size_t start = pos_;
            while (pos_ < s_.size() && isWordChar(s_[pos_])) ++pos_;
            if (pos_ == start) return fail(std::string("unexpected character '") + s_[pos_] + "'");
            return std::string(s_.substr(start, pos_ - start));
        }
        ++pos_;
        // Collect UTF-16 units for \U escapes so that surrogate pairs written as two escapes join.
        std::u16string units;
        auto flush = [&](std::string& out) {
            if (!units.empty()) {
                out += utf16ToUtf8(units);
                units.clear();
            }
        };
        std::string out;
        while (true) {
            if (pos_ >= s_.size()) return fail("unterminated string");
            char c = s_[pos_++];
            if (c == quote) break;
            if (c != '\\') {
                flush(out);
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) return fail("unterminated string");
            char e = s_[pos_++];
            if (e == 'U' || e == 'u') {
                uint32_t v = 0;
                int digits = 0;
                while (digits < 4 && pos_ < s_.size() && hex(s_[pos_]) >= 0) {
                    v = v * 16 + static_cast<uint32_t>(hex(s_[pos_++]));
                    ++digits;
                }
                if (digits == 0) return fail("\\U escape without hex digits");
                units += static_cast<char16_t>(v);
                continue;
            }
            flush(out);
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': {
                uint32_t v = static_cast<uint32_t>(e - '0');
                for (int i = 0; i < 2 && pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '7'; ++i)
                    v = v * 8 + static_cast<uint32_t>(s_[pos_++] - '0');
                appendUtf8(out, v);
                break;
            }
            default: out += e; break;  // \" \' \\ and any other character stand for themselves
            }
        }
        flush(out);
        return out;
    }

    std::string_view s_;
    std::string* error_;
    std::size_t pos_ = 0;
};

bool startsWith(const Value::Data& b, std::string_view prefix) {
    return b.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), b.begin(),
                      [](char p, uint8_t c) { return static_cast<uint8_t>(p) == c; });
}

bool looksLikeXmlPlist(const Value::Data& b) {
    std::size_t i = startsWith(b, "\xEF\xBB\xBF") ? 3 : 0;
    while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\n' || b[i] == '\r')) ++i;
    std::string_view rest(reinterpret_cast<const char*>(b.data()) + i, b.size() - i);
    return rest.substr(0, 5) == "<?xml" || rest.substr(0, 6) == "<plist" || rest.substr(0, 9) == "<!DOCTYPE";
}

}  // namespace

std::optional<StringsFile::Table> StringsFile::parseText(std::string_view utf8, std::string* error) {
    return TextParser(utf8, error).run();
}

std::optional<StringsFile::Table> StringsFile::parse(const Value::Data& bytes, std::string* error) {
    if (startsWith(bytes, "bplist00") || looksLikeXmlPlist(bytes)) {
        Value plist = NSPropertyListSerialization::propertyListWithData(bytes);
        if (!plist.isDictionary()) {
            if (error) *error = "not a property-list dictionary";
            return std::nullopt;
        }
        Table table;
        for (const auto& [key, value] : plist.asDictionary())
            if (key.isString() && value.isString()) table[key.asStdString()] = value.asString();
        return table;
    }

    std::optional<std::string> text;
    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
        text = NSString::initWithData(bytes, NSUTF16StringEncoding);
    } else if (startsWith(bytes, "\xEF\xBB\xBF")) {
        text = NSString::initWithBytes(bytes.data() + 3, bytes.size() - 3, NSUTF8StringEncoding);
    } else if (bytes.size() >= 2 && bytes.size() % 2 == 0 && (bytes[0] == 0 || bytes[1] == 0)) {
        // UTF-16 without a byte-order mark: the zero byte tells which half is high.
        text = NSString::initWithData(bytes, bytes[0] == 0 ? NSUTF16BigEndianStringEncoding
                                                          : NSUTF16LittleEndianStringEncoding);
    } else {
        text = NSString::initWithData(bytes, NSUTF8StringEncoding);
    }
    if (!text) {
        if (error) *error = "text is neither UTF-8 nor UTF-16";
        return std::nullopt;
    }
    return parseText(*text, error);
}

std::optional<StringsFile::Table> StringsFile::tableWithContentsOfFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return std::nullopt;
    }
    Value::Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse(bytes, error);
}
