// Typed literals of nib-format documents: geometry, colours, fonts, images
// and attributed text.

#include "NibLoading.h"

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UIImageNamed.h>

#include <cmath>

namespace uikit_detail {
namespace {

// The numbers of an array of exactly `count` (or `count2`) finite numbers.
std::vector<double> numbers(const NibLoad& load, const Value& v, std::size_t count, std::size_t count2,
                            const std::string& path, const char* what) {
    if (!v.isArray() || (v.count() != count && v.count() != count2))
        load.fail(path, std::string(what) + " needs an array of " + std::to_string(count) + " numbers");
    std::vector<double> out;
    for (std::size_t i = 0; i < v.count(); ++i) {
        const Value& n = v[i];
        if (!n.isNumber() || n.isBool() || !std::isfinite(n.doubleValue()))
            load.fail(path + "[" + std::to_string(i) + "]", std::string(what) + " needs finite numbers");
        out.push_back(n.doubleValue());
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

UIColorPtr color(const NibLoad& load, const Value& v, const std::string& path) {
    if (v.isString()) {
        std::string text = v.asStdString();
        if (!text.empty() && text[0] == '#') {
            if (text.size() != 7 && text.size() != 9) load.fail(path, "colour \"" + text + "\" is not #RRGGBB or #RRGGBBAA");
            int parts[4] = {0, 0, 0, 255};
            for (std::size_t i = 0; i * 2 + 1 < text.size(); ++i) {
                int hi = hexDigit(text[1 + i * 2]), lo = hexDigit(text[2 + i * 2]);
                if (hi < 0 || lo < 0) load.fail(path, "colour \"" + text + "\" has a character that is not hexadecimal");
                parts[i] = hi * 16 + lo;
            }
            return UIColor::colorWithRed(parts[0] / 255.0, parts[1] / 255.0, parts[2] / 255.0, parts[3] / 255.0);
        }
        if (auto named = UIColor::colorNamed(text)) return named;
        load.fail(path, "unknown colour name \"" + text + "\"");
    }
    auto c = numbers(load, v, 3, 4, path, "colour");
    return UIColor::colorWithRed(c[0], c[1], c[2], c.size() == 4 ? c[3] : 1.0);
}

UIFontPtr font(const NibLoad& load, const Value& v, const std::string& path) {
    if (!v.isDictionary()) load.fail(path, "font needs an object");
    const Value& style = load.member(v, "textStyle", "string", path, false);
    if (!style.isNull()) return UIFont::preferredFontForTextStyle(style.asStdString());
    const Value& size = load.member(v, "size", "number", path, true);
    double points = size.doubleValue();
    if (!(points > 0) || !std::isfinite(points)) load.fail(path + ".size", "font size must be positive");
    const Value& name = load.member(v, "name", "string", path, false);
    const Value& bold = load.member(v, "bold", "bool", path, false);
    if (!name.isNull()) {
        auto f = UIFont::fontWithName(name.asStdString(), points);
        if (!f) load.fail(path + ".name", "font name is empty");
        return f;
    }
    return bold.boolValue() ? UIFont::boldSystemFontOfSize(points) : UIFont::systemFontOfSize(points);
}

}  // namespace

Value NibLoad::literal(const Value& v, const std::string& path) {
    if (!v.isDictionary()) {
        if (v.isArray()) {
            Value::Array items;
            for (std::size_t i = 0; i < v.count(); ++i) items.push_back(literal(v[i], path + "[" + std::to_string(i) + "]"));
            return Value(std::move(items));
        }
        return v;
    }
    if (v.count() != 1) fail(path, "a typed literal has exactly one key (rect, point, size, insets, color, font, image, attributedText)");
    const auto& [keyValue, body] = *v.asDictionary().begin();
    std::string key = keyValue.asStdString();
    std::string inner = path + "." + key;
    if (key == "rect") {
        auto n = numbers(*this, body, 4, 4, inner, "rect");
        return Value(CGRectMake(n[0], n[1], n[2], n[3]));
    }
    if (key == "point") {
        auto n = numbers(*this, body, 2, 2, inner, "point");
        return Value(CGPointMake(n[0], n[1]));
    }
    if (key == "size") {
        auto n = numbers(*this, body, 2, 2, inner, "size");
        return Value(CGSizeMake(n[0], n[1]));
    }
    if (key == "insets") {
        auto n = numbers(*this, body, 4, 4, inner, "insets");
        return Value(UIEdgeInsets{n[0], n[1], n[2], n[3]});
    }
    if (key == "color") return Value(color(*this, body, inner));
    if (key == "font") return Value(font(*this, body, inner));
    if (key == "image") {
        if (!body.isString() || body.asString().empty()) fail(inner, "image needs a name");
        return Value(UIImageNamed(body.asString(), bundle_));
    }
    if (key == "attributedText") {
        if (!body.isArray()) fail(inner, "attributedText needs an array of runs");
        auto text = std::make_shared<NSMutableAttributedString>();
        for (std::size_t i = 0; i < body.count(); ++i) {
            const Value& run = body[i];
            std::string runPath = inner + "[" + std::to_string(i) + "]";
            if (!run.isDictionary()) fail(runPath, "a run needs an object");
            const Value& image = member(run, "image", "string", runPath, false);
            Value::Dictionary attributes;
            const Value& f = run.objectForKey("font");
            if (!f.isNull()) attributes.emplace(Value(NSFontAttributeName), Value(font(*this, f, runPath + ".font")));
            const Value& c = run.objectForKey("color");
            if (!c.isNull())
                attributes.emplace(Value(NSForegroundColorAttributeName), Value(color(*this, c, runPath + ".color")));
            if (!image.isNull()) {
                auto attachment = std::make_shared<NSTextAttachment>();
                attachment->image = UIImageNamed(image.asString(), bundle_);
                auto piece = NSAttributedString::attributedStringWithAttachment(attachment);
                text->appendAttributedString(*piece);
                continue;
            }
            const Value& t = member(run, "text", "string", runPath, true);
            text->appendAttributedString(NSAttributedString(t.asStdString(), std::move(attributes)));
        }
        return Value(std::static_pointer_cast<NSAttributedString>(text));
    }
    fail(path, "unknown typed literal \"" + key + "\"");
}

}  // namespace uikit_detail
