// The "%@" text of Value, in the platform's property-list-like layout.

#include <platform_runtime/Value.h>

#include <platform_runtime/NSObject.h>

#include "ValueNumberText.h"

namespace {

std::string indentOf(int level) { return std::string(static_cast<std::size_t>(level) * 4, ' '); }

bool needsQuotes(const std::string& s) {
    if (s.empty()) return true;
    for (unsigned char c : s) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!plain) return true;
    }
    return false;
}

std::string quoted(const std::string& s) {
    if (!needsQuotes(s)) return s;
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out.push_back(c);
        }
    }
    return out + "\"";
}

std::string dataText(const Value::Data& d) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "<";
    for (std::size_t i = 0; i < d.size(); ++i) {
        if (i > 0 && i % 4 == 0) out.push_back(' ');
        out.push_back(hex[d[i] >> 4]);
        out.push_back(hex[d[i] & 0xF]);
    }
    return out + ">";
}

std::string geometryText(const Value& v) {
    auto n = [](double d) { return valueNumberText(d); };
    auto pair = [&](double a, double b) { return "{" + n(a) + ", " + n(b) + "}"; };
    switch (v.geometryKind()) {
        case Value::GeometryKind::Point: {
            const CGPoint p = v.CGPointValue();
            return "NSPoint: " + pair(p.x, p.y);
        }
        case Value::GeometryKind::Size: {
            const CGSize s = v.CGSizeValue();
            return "NSSize: " + pair(s.width, s.height);
        }
        case Value::GeometryKind::Rect: {
            const CGRect r = v.CGRectValue();
            return "NSRect: {" + pair(r.origin.x, r.origin.y) + ", " + pair(r.size.width, r.size.height) + "}";
        }
        case Value::GeometryKind::EdgeInsets: {
            const UIEdgeInsets i = v.UIEdgeInsetsValue();
            return "UIEdgeInsets: {" + n(i.top) + ", " + n(i.left) + ", " + n(i.bottom) + ", " + n(i.right) + "}";
        }
        case Value::GeometryKind::Offset: {
            const UIOffset o = v.UIOffsetValue();
            return "UIOffset: " + pair(o.horizontal, o.vertical);
        }
    }
    return "";
}

// Text of a value at nesting `level`. Containers start with the level's indentation (so a
// nested container sits one indent further than its siblings, as the platform prints it);
// leaves inside containers are quoted when they are not plain words.
std::string describe(const Value& v, int level, bool inContainer) {
    switch (v.type()) {
        case Value::Type::Array:
        case Value::Type::Set: {
            const bool isSet = v.isSet();
            std::string out = indentOf(level) + (isSet ? "{(\n" : "(\n");
            const Value::Array& items = isSet ? v.asSet() : v.asArray();
            for (std::size_t i = 0; i < items.size(); ++i) {
                out += indentOf(level + 1) + describe(items[i], level + 1, true);
                out += i + 1 < items.size() ? ",\n" : "\n";
            }
            return out + indentOf(level) + (isSet ? ")}" : ")");
        }
        case Value::Type::Dictionary: {
            std::string out = indentOf(level) + "{\n";
            for (const auto& [key, value] : v.asDictionary()) {
                out += indentOf(level + 1) + describe(key, level + 1, true) + " = " + describe(value, level + 1, true) + ";\n";
            }
            return out + indentOf(level) + "}";
        }
        case Value::Type::Null: return inContainer ? "\"<null>\"" : "<null>";
        case Value::Type::Data: return dataText(v.asData());
        case Value::Type::Geometry: return geometryText(v);
        case Value::Type::Object: return v.asObject()->description();
        case Value::Type::Date: {
            const std::string text = v.asDate().description();
            return inContainer ? quoted(text) : text;
        }
        default: {
            const std::string text = v.stringValue();
            return inContainer ? quoted(text) : text;
        }
    }
}

}  // namespace

std::string Value::description() const { return describe(*this, 0, false); }
