#include <platform_foundation/NSStringFormat.h>

#include <cstdio>
#include <cstdlib>

#include <platform_runtime/UTF16.h>

namespace {

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;  // "", "hh", "h", "l", "ll", "q", "L", "z", "t", "j"
    char conversion = 0;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number at `i`; returns -1 when there is none.
int readNumber(std::string_view s, std::size_t& i) {
    if (i >= s.size() || !isDigit(s[i])) return -1;
    long n = 0;
    while (i < s.size() && isDigit(s[i])) {
        if (n < 100000000) n = n * 10 + (s[i] - '0');
        ++i;
    }
    return static_cast<int>(n);
}

std::string cFormat(const std::string& spec, auto value) {
    char small[128];
    int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), spec.c_str(), value);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string specText(const Spec& s, std::string_view lengthModifier, char conversion) {
    std::string out = "%" + s.flags;
    if (s.width >= 0) out += std::to_string(s.width);
    if (s.precision >= 0) out += "." + std::to_string(s.precision);
    out += lengthModifier;
    out += conversion;
    return out;
}

// Bits of an integer argument, as the C conversion would read them.
uint64_t integerBits(const Value& v) {
    switch (v.type()) {
    case Value::Type::Int: return static_cast<uint64_t>(v.asInt());
    case Value::Type::UInt: return v.asUInt();
    case Value::Type::Bool: return v.asBool() ? 1 : 0;
    case Value::Type::Double:
    case Value::Type::Decimal:
    case Value::Type::String: {
        double d = v.doubleValue();
        if (d < 0) return static_cast<uint64_t>(v.integerValue());
        if (d >= 9223372036854775808.0) return v.unsignedLongLongValue();
        return static_cast<uint64_t>(v.integerValue());
    }
    case Value::Type::Object: return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(v.asObject().get()));
    default: return 0;
    }
}

int modifierBits(const std::string& length) {
    if (length == "hh") return 8;
    if (length == "h") return 16;
    if (length.empty()) return 32;
    return 64;
}

int64_t signExtend(uint64_t bits, int width) {
    if (width == 64) return static_cast<int64_t>(bits);
    uint64_t mask = (uint64_t{1} << width) - 1;
    bits &= mask;
    if (bits & (uint64_t{1} << (width - 1))) bits |= ~mask;
    return static_cast<int64_t>(bits);
}

uint64_t truncateBits(uint64_t bits, int width) {
    return width == 64 ? bits : bits & ((uint64_t{1} << width) - 1);
}

std::size_t codePointCount(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// Pads text to the width with spaces (or zeros when asked and right-aligned).
std::string pad(std::string text, const Spec& s) {
    if (s.width < 0) return text;
    std::size_t have = codePointCount(text);
    if (have >= static_cast<std::size_t>(s.width)) return text;
    std::size_t fill = static_cast<std::size_t>(s.width) - have;
    if (s.flags.find('-') != std::string::npos) return text + std::string(fill, ' ');
    char padChar = s.flags.find('0') != std::string::npos ? '0' : ' ';
    return std::string(fill, padChar) + text;
}

// Cuts UTF-8 text to at most `units` UTF-16 code units without splitting a character.
std::string truncateUtf16(const std::string& text, int units) {
    if (units < 0) return text;
    std::size_t pos = 0, used = 0;
    while (pos < text.size()) {
        std::size_t start = pos;
        char32_t cp = decodeUtf8(text, pos);
        std::size_t cost = cp > 0xFFFF ? 2 : 1;
        if (used + cost > static_cast<std::size_t>(units)) return text.substr(0, start);
        used += cost;
    }
    return text;
}

// Cuts UTF-8 text to at most `bytes` bytes without splitting a character.
std::string truncateBytes(const std::string& text, int bytes) {
    if (bytes < 0 || text.size() <= static_cast<std::size_t>(bytes)) return text;
    std::size_t cut = static_cast<std::size_t>(bytes);
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

std::string formatOne(const Spec& s, const Value& arg) {
    switch (s.conversion) {
    case '@': {
        std::string text = arg.isNull() ? std::string("(null)") : arg.description();
        return pad(truncateUtf16(text, s.precision), s);
    }
    case 'd':
    case 'i':
    case 'D': {
        int bits = s.conversion == 'D' ? 64 : modifierBits(s.length);
        long long v = signExtend(integerBits(arg), bits);
        return cFormat(specText(s, "ll", 'd'), v);
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X':
    case 'U':
    case 'O': {
        char conv = s.conversion == 'U' ? 'u' : s.conversion == 'O' ? 'o' : s.conversion;
        int bits = (s.conversion == 'U' || s.conversion == 'O') ? 64 : modifierBits(s.length);
        unsigned long long v = truncateBits(integerBits(arg), bits);
        return cFormat(specText(s, "ll", conv), v);
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A': return cFormat(specText(s, "", s.conversion), arg.doubleValue());
    case 's':
    case 'S': {
        std::string text;
        if (arg.isNull()) text = "(null)";
        else if (arg.isString()) text = arg.asString();
        else text = arg.description();
        return pad(truncateBytes(text, s.precision), s);
    }
    case 'c':
    case 'C': {
        char32_t cp;
        if (arg.isString()) {
            std::size_t pos = 0;
            cp = arg.asString().empty() ? 0 : decodeUtf8(arg.asString(), pos);
        } else if (s.conversion == 'c' && s.length.empty()) {
            cp = static_cast<unsigned char>(integerBits(arg));
        } else {
            cp = static_cast<char16_t>(integerBits(arg));
        }
        std::string text;
        if (cp == 0) text.assign(1, '\0');
        else appendUtf8(text, cp);
        return pad(text, s);
    }
    case 'p': {
        Spec hex = s;
        hex.precision = -1;
        unsigned long long v = integerBits(arg);
        std::string text = "0x" + cFormat(std::string("%llx"), v);
        return pad(text, hex);
    }
    default: return {};
    }
}

}  // namespace

std::string NSStringWithFormatArgs(std::string_view f, const std::vector<Value>& args) {
    static const Value kMissing;
    std::string out;
    out.reserve(f.size() + 16 * args.size());
    std::size_t nextArg = 0;
    auto take = [&](std::size_t index) -> const Value& { return index < args.size() ? args[index] : kMissing; };

    std::size_t i = 0;
    while (i < f.size()) {
        std::size_t percent = f.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(f.substr(i));
            break;
        }
        out.append(f.substr(i, percent - i));
        std::size_t p = percent + 1;
        if (p < f.size() && f[p] == '%') {
            out += '%';
            i = p + 1;
            continue;
        }

        Spec s;
        // Positional argument "N$".
        std::size_t position = 0;
        {
            std::size_t q = p;
            int n = readNumber(f, q);
            if (n > 0 && q < f.size() && f[q] == '$') {
                position = static_cast<std::size_t>(n);
                p = q + 1;
            }
        }
        while (p < f.size() && std::string_view("-+ #0'").find(f[p]) != std::string_view::npos) {
            if (f[p] != '\'') s.flags += f[p];
            ++p;
        }
        auto starArgument = [&]() -> int {
            // "*" or "*N$"
            ++p;
            std::size_t q = p;
            int n = readNumber(f, q);
            const Value* v;
            if (n > 0 && q < f.size() && f[q] == '$') {
                v = &take(static_cast<std::size_t>(n) - 1);
                p = q + 1;
            } else {
                v = &take(nextArg++);
            }
            return static_cast<int>(v->integerValue());
        };
        if (p < f.size() && f[p] == '*') {
            int w = starArgument();
            if (w < 0) {
                s.flags += '-';
                w = -w;
            }
            s.width = w;
        } else {
            s.width = readNumber(f, p);
        }
        if (p < f.size() && f[p] == '.') {
            ++p;
            if (p < f.size() && f[p] == '*') {
                int pr = starArgument();
                s.precision = pr < 0 ? -1 : pr;
            } else {
                int pr = readNumber(f, p);
                s.precision = pr < 0 ? 0 : pr;
            }
        }
        static constexpr std::string_view kLengths[] = {"hh", "ll", "h", "l", "q", "L", "z", "t", "j"};
        for (std::string_view len : kLengths) {
            if (f.substr(p, len.size()) == len) {
                s.length = std::string(len);
                p += len.size();
                break;
            }
        }
        if (p >= f.size()) {
            out.append(f.substr(percent));
            break;
        }
        s.conversion = f[p];
        ++p;
        if (std::string_view("@diDuoxXUOfFeEgGaAsScCp").find(s.conversion) == std::string_view::npos) {
            // %n writes nothing here; anything unknown is kept as written.
            if (s.conversion != 'n') out.append(f.substr(percent, p - percent));
            i = p;
            continue;
        }
        const Value& arg = position > 0 ? take(position - 1) : take(nextArg++);
        out += formatOne(s, arg);
        i = p;
    }
    return out;
}
