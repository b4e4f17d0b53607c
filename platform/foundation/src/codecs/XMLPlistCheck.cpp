// The XML property-list check: a strict pass with expat over the document libplist is about to
// read leniently.

#include "codecs/PlistCheck.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <expat.h>

namespace codecs {
namespace {

enum class Kind { Plist, Array, Dict, Key, String, Integer, Real, Date, Data, True, False };

struct ElementName {
    const char* name;
    Kind kind;
};
constexpr ElementName kElements[] = {
    {"plist", Kind::Plist},     {"array", Kind::Array},     {"dict", Kind::Dict}, {"key", Kind::Key},
    {"string", Kind::String},   {"integer", Kind::Integer}, {"real", Kind::Real}, {"date", Kind::Date},
    {"data", Kind::Data},       {"true", Kind::True},       {"false", Kind::False},
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Decimal or 0x-hexadecimal, optionally signed, within 64 bits (negative down to INT64_MIN,
// positive up to UINT64_MAX).
bool isInteger(std::string_view text) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') return false;
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    return !negative || magnitude <= uint64_t{1} << 63;
}

// A number as the C library spells it, "nan" and "+infinity" included.
bool isReal(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // Out-of-range magnitudes read as infinity or zero elsewhere too; only the spelling counts.
    return (error == std::errc() || error == std::errc::result_out_of_range) && end == text.data() + text.size();
}

// y-mm-ddThh:mm:ss with a year of one to four digits (libplist writes year 0 as "0"), an
// optional fraction, then Z.
bool isDate(std::string_view text) {
    text = trimmed(text);
    std::size_t yearDigits = 0;
    while (yearDigits < text.size() && yearDigits < 5 && text[yearDigits] >= '0' && text[yearDigits] <= '9') ++yearDigits;
    if (yearDigits < 1 || yearDigits > 4) return false;
    text.remove_prefix(yearDigits);
    auto digits = [&](std::size_t at, std::size_t count, unsigned low, unsigned high) {
        if (at + count > text.size()) return false;
        unsigned v = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            v = v * 10 + static_cast<unsigned>(text[i] - '0');
        }
        return v >= low && v <= high;
    };
    auto at = [&](std::size_t i, char c) { return i < text.size() && text[i] == c; };
    if (!at(0, '-') || !digits(1, 2, 1, 12) || !at(3, '-') || !digits(4, 2, 1, 31) || !at(6, 'T') ||
        !digits(7, 2, 0, 23) || !at(9, ':') || !digits(10, 2, 0, 59) || !at(12, ':') || !digits(13, 2, 0, 60))
        return false;
    std::size_t i = 15;
    if (at(i, '.')) {
        const std::size_t first = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i == first) return false;
    }
    return at(i, 'Z') && i + 1 == text.size();
}

// Base64 with its padding, whitespace anywhere.
bool isBase64(std::string_view text) {
    std::size_t symbols = 0, padding = 0;
    for (char c : text) {
        if (isSpace(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (!alphabet || padding) return false;
        ++symbols;
    }
    return padding <= 2 && (symbols + padding) % 4 == 0 && (padding == 0 || symbols % 4 + padding == 4);
}

class XMLPlistChecker {
public:
    XMLPlistChecker() : parser_(XML_ParserCreate(nullptr)) {}

    std::string run(std::string_view bytes) {
        if (!parser_) return "out of memory";
        XML_SetUserData(parser_.get(), this);
        XML_SetElementHandler(parser_.get(), &XMLPlistChecker::start, &XMLPlistChecker::end);
        XML_SetCharacterDataHandler(parser_.get(), &XMLPlistChecker::text);
        XML_SetEntityDeclHandler(parser_.get(), &XMLPlistChecker::entity);
        if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return "property list too large";
        if (XML_Parse(parser_.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) != XML_STATUS_OK) {
            if (!why_.empty()) return why_;
            return std::string(XML_ErrorString(XML_GetErrorCode(parser_.get()))) + " at line " +
                   std::to_string(XML_GetCurrentLineNumber(parser_.get()));
        }
        if (!rootDone_) return "no value in property list";
        return {};
    }

private:
    struct Open {
        Kind kind;
        std::size_t children = 0;  // values (and keys) inside a container
        bool keyPending = false;   // a dict's key still waiting for its value
    };
    struct ParserDeleter {
        void operator()(XML_Parser p) const { XML_ParserFree(p); }
    };

    void stop(std::string why) {
        if (why_.empty()) why_ = std::move(why) + " at line " + std::to_string(XML_GetCurrentLineNumber(parser_.get()));
        XML_StopParser(parser_.get(), XML_FALSE);
    }

    static bool isContainer(Kind k) { return k == Kind::Array || k == Kind::Dict; }
    static bool holdsText(Kind k) {
        return k == Kind::Key || k == Kind::String || k == Kind::Integer || k == Kind::Real || k == Kind::Date ||
               k == Kind::Data;
    }

    // After a stop expat may still report the rest of the current token (the end of an
    // empty element): nothing more is checked then.
    bool stopped() const { return !why_.empty(); }

    void onStart(const char* name) {
        if (stopped()) return;
        const ElementName* found = nullptr;
        for (const auto& e : kElements)
            if (std::strcmp(e.name, name) == 0) found = &e;
        if (!found) return stop(std::string("unknown element <") + name + ">");
        const Kind kind = found->kind;
        if (open_.empty()) {
            // The root: a plist element, or a bare value.
            if (kind == Kind::Key) return stop("key outside a dictionary");
        } else {
            Open& parent = open_.back();
            if (parent.kind == Kind::Plist) {
                if (parent.children > 0) return stop("more than one value in property list");
                if (kind == Kind::Plist || kind == Kind::Key) return stop("misplaced <" + std::string(name) + ">");
            } else if (parent.kind == Kind::Array) {
                if (kind == Kind::Plist || kind == Kind::Key) return stop("misplaced <" + std::string(name) + "> in array");
            } else if (parent.kind == Kind::Dict) {
                if (kind == Kind::Plist) return stop("misplaced <plist> in dictionary");
                if ((kind == Kind::Key) == parent.keyPending) return stop(parent.keyPending ? "key without a value" : "value without a key");
                parent.keyPending = kind == Kind::Key;
            } else {
                return stop("element inside <" + std::string(nameOf(parent.kind)) + ">");
            }
            ++parent.children;
        }
        if (isContainer(kind) && ++depth_ > PlistLimits::kMaxDepth) return stop("property list nested too deeply");
        open_.push_back({kind});
        text_.clear();
    }

    void onEnd() {
        if (stopped() || open_.empty()) return;
        const Open closing = open_.back();
        open_.pop_back();
        if (isContainer(closing.kind)) --depth_;
        switch (closing.kind) {
        case Kind::Dict:
            if (closing.keyPending) return stop("key without a value");
            break;
        case Kind::Plist:
            if (closing.children == 0) return stop("no value in property list");
            break;
        case Kind::Integer:
            if (!isInteger(text_)) return stop("invalid integer");
            break;
        case Kind::Real:
            if (!isReal(text_)) return stop("invalid real number");
            break;
        case Kind::Date:
            if (!isDate(text_)) return stop("invalid date");
            break;
        case Kind::Data:
            if (!isBase64(text_)) return stop("invalid base64 data");
            break;
        default:
            break;
        }
        text_.clear();
        if (open_.empty()) rootDone_ = true;
    }

    void onText(std::string_view s) {
        if (stopped() || open_.empty()) return;
        if (holdsText(open_.back().kind)) {
            text_.append(s);
            return;
        }
        for (char c : s)
            if (!isSpace(c)) return stop("text outside a value");
    }

    static const char* nameOf(Kind k) {
        for (const auto& e : kElements)
            if (e.kind == k) return e.name;
        return "?";
    }

    static void XMLCALL start(void* self, const XML_Char* name, const XML_Char**) {
        static_cast<XMLPlistChecker*>(self)->onStart(name);
    }
    static void XMLCALL end(void* self, const XML_Char*) { static_cast<XMLPlistChecker*>(self)->onEnd(); }
    static void XMLCALL text(void* self, const XML_Char* s, int length) {
        static_cast<XMLPlistChecker*>(self)->onText(std::string_view(s, static_cast<std::size_t>(length)));
    }
    // Property lists declare no entities; refusing them keeps expansion bombs out.
    static void XMLCALL entity(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                               const XML_Char*, const XML_Char*, const XML_Char*) {
        static_cast<XMLPlistChecker*>(self)->stop("entity declaration in property list");
    }

    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
    std::vector<Open> open_;
    std::size_t depth_ = 0;
    std::string text_;
    bool rootDone_ = false;
    std::string why_;
};

}  // namespace

std::string checkXMLPlist(std::string_view bytes) { return XMLPlistChecker().run(bytes); }

}  // namespace codecs
