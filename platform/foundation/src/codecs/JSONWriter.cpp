// NSJSONSerialization writing and validity checks, in the platform's output style
// (" : " in pretty output, two-space indent, "\/" unless asked not to).

#include <platform_foundation/NSJSONSerialization.h>

#include <charconv>
#include <cmath>
#include <string>

#include <platform_foundation/CodecErrors.h>

#include "codecs/StrictUTF8.h"

namespace {

// Why the value cannot be written, or empty when it can. The depth bound also keeps the
// writer's own recursion off the end of the stack.
std::string invalidReason(const Value& v, std::size_t depth = 0) {
    switch (v.type()) {
    case Value::Type::Null:
    case Value::Type::Bool:
    case Value::Type::Int:
    case Value::Type::UInt:
        return {};
    case Value::Type::String:
        return codecs::isStrictUTF8(v.asString()) ? std::string() : "Invalid string (not UTF-8) in JSON write";
    case Value::Type::Double:
        return std::isfinite(v.asDouble()) ? std::string() : "Invalid number value (NaN or infinity) in JSON write";
    case Value::Type::Decimal:
        return v.asDecimal().isNaN() ? "Invalid number value (NaN) in JSON write" : std::string();
    case Value::Type::Array:
        if (depth >= NSJSONSerialization::kMaxDepth) return "Too many nested arrays or dictionaries in JSON write";
        for (const Value& item : v.asArray())
            if (auto why = invalidReason(item, depth + 1); !why.empty()) return why;
        return {};
    case Value::Type::Dictionary:
        if (depth >= NSJSONSerialization::kMaxDepth) return "Too many nested arrays or dictionaries in JSON write";
        for (const auto& [key, item] : v.asDictionary()) {
            if (!key.isString()) return "Invalid (non-string) key in JSON dictionary";
            if (!codecs::isStrictUTF8(key.asString())) return "Invalid string (not UTF-8) in JSON write";
            if (auto why = invalidReason(item, depth + 1); !why.empty()) return why;
        }
        return {};
    default:
        return std::string("Invalid type in JSON write (") + v.typeName() + ")";
    }
}

class JSONWriter {
public:
    explicit JSONWriter(NSJSONWritingOptions options)
        : pretty_(options & NSJSONWritingPrettyPrinted), escapeSlash_(!(options & NSJSONWritingWithoutEscapingSlashes)) {}

    void write(const Value& v, int depth) {
        switch (v.type()) {
        case Value::Type::Null:
            out_ += "null";
            break;
        case Value::Type::Bool:
            out_ += v.asBool() ? "true" : "false";
            break;
        case Value::Type::Int:
            number(v.asInt());
            break;
        case Value::Type::UInt:
            number(v.asUInt());
            break;
        case Value::Type::Double:
            // "-0" would read back as the integer 0; keep the sign and the kind.
            if (v.asDouble() == 0 && std::signbit(v.asDouble()))
                out_ += "-0.0";
            else
                number(v.asDouble());
            break;
        case Value::Type::Decimal:
            out_ += v.asDecimal().stringValue();
            break;
        case Value::Type::String:
            string(v.asString());
            break;
        case Value::Type::Array: {
            if (v.count() == 0) {
                out_ += "[]";
                break;
            }
            out_ += '[';
            bool first = true;
            for (const Value& item : v.asArray()) {
                separator(first, depth + 1);
                write(item, depth + 1);
            }
            close(']', depth);
            break;
        }
        case Value::Type::Dictionary: {
            if (v.count() == 0) {
                out_ += "{}";
                break;
            }
            out_ += '{';
            bool first = true;
            for (const auto& [key, item] : v.asDictionary()) {
                separator(first, depth + 1);
                string(key.asString());
                out_ += pretty_ ? " : " : ":";
                write(item, depth + 1);
            }
            close('}', depth);
            break;
        }
        default:
            break;  // rejected by the validity check before writing
        }
    }

    std::string& output() { return out_; }

private:
    void separator(bool& first, int depth) {
        if (!first) out_ += ',';
        first = false;
        if (pretty_) {
            out_ += '\n';
            out_.append(static_cast<std::size_t>(depth) * 2, ' ');
        }
    }
    void close(char bracket, int depth) {
        if (pretty_) {
            out_ += '\n';
            out_.append(static_cast<std::size_t>(depth) * 2, ' ');
        }
        out_ += bracket;
    }

    template <class N>
    void number(N n) {
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, n);  // shortest round-trip for doubles
        out_.append(buf, res.ptr);
    }

    void string(std::string_view s) {
        static const char hex[] = "0123456789abcdef";
        out_ += '"';
        for (char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            switch (c) {
            case '"': out_ += "\\\""; break;
            case '\\': out_ += "\\\\"; break;
            case '/':
                if (escapeSlash_) out_ += '\\';
                out_ += '/';
                break;
            case '\b': out_ += "\\b"; break;
            case '\f': out_ += "\\f"; break;
            case '\n': out_ += "\\n"; break;
            case '\r': out_ += "\\r"; break;
            case '\t': out_ += "\\t"; break;
            default:
                if (c < 0x20) {
                    out_ += "\\u00";
                    out_ += hex[c >> 4];
                    out_ += hex[c & 15];
                } else {
                    out_ += ch;
                }
            }
        }
        out_ += '"';
    }

    bool pretty_;
    bool escapeSlash_;
    std::string out_;
};

}  // namespace

bool NSJSONSerialization::isValidJSONObject(const Value& object, NSJSONWritingOptions options) {
    if (!(options & NSJSONWritingFragmentsAllowed) && !object.isArray() && !object.isDictionary()) return false;
    return invalidReason(object).empty();
}

std::string NSJSONSerialization::stringWithJSONObject(const Value& object, NSJSONWritingOptions options,
                                                      NSErrorPtr* error) {
    std::string why;
    if (!(options & NSJSONWritingFragmentsAllowed) && !object.isArray() && !object.isDictionary())
        why = "Invalid top-level type in JSON write";
    else
        why = invalidReason(object);
    if (!why.empty()) {
        if (error) {
            Value::Dictionary info;
            info[Value(NSDebugDescriptionErrorKey)] = Value(why);
            *error = NSError::errorWithDomain(NSCocoaErrorDomain, NSPropertyListWriteStreamError, std::move(info));
        }
        return {};
    }
    JSONWriter writer(options);
    writer.write(object, 0);
    return std::move(writer.output());
}

Value::Data NSJSONSerialization::dataWithJSONObject(const Value& object, NSJSONWritingOptions options,
                                                    NSErrorPtr* error) {
    const std::string text = stringWithJSONObject(object, options, error);
    return Value::Data(text.begin(), text.end());
}
