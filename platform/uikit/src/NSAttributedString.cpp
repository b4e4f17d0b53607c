#include <platform_uikit/NSAttributedString.h>

#include <platform_runtime/UTF16.h>

#include <algorithm>

namespace {

// Attribute dictionaries hold a handful of entries: a scan comparing names is cheaper than
// the ordered search's general value comparisons (a name key only ever equals a string key).
const Value& attribute(const Value::Dictionary& attributes, std::string_view name) {
    static const Value none;
    for (const auto& [key, value] : attributes)
        if (key.isString() && key.asString() == name) return value;
    return none;
}

UIFontPtr defaultFont() { return UIFont::systemFontOfSize(17); }

}  // namespace

UIFontPtr NSFontFromAttributes(const Value::Dictionary& attributes, const UIFontPtr& fallback) {
    if (auto font = attribute(attributes, NSFontAttributeName).objectAs<UIFont>()) return font;
    return fallback;
}

CGSize NSTextAttachment::size() const {
    if (bounds.size.width > 0 || bounds.size.height > 0) return bounds.size;
    return image ? image->size() : CGSizeZero;
}

NSAttributedString::NSAttributedString(std::string text, Value::Dictionary attributes) {
    if (!text.empty()) runs_.push_back({std::move(text), std::move(attributes)});
}

NSAttributedStringPtr NSAttributedString::attributedStringWithAttachment(std::shared_ptr<NSTextAttachment> attachment) {
    std::string text;
    appendUtf8(text, TextLayout::kAttachmentCharacter);
    Value::Dictionary attributes;
    attributes[Value(NSAttachmentAttributeName)] = Value(std::move(attachment));
    return std::make_shared<NSAttributedString>(std::move(text), std::move(attributes));
}

std::string NSAttributedString::string() const {
    std::string out;
    for (auto& r : runs_) out += r.text;
    return out;
}

std::size_t NSAttributedString::length() const {
    std::size_t n = 0;
    for (auto& r : runs_) n += utf16Length(r.text);
    return n;
}

Value::Dictionary NSAttributedString::attributesAtIndex(std::size_t index) const {
    std::size_t at = 0;
    for (auto& r : runs_) {
        std::size_t n = utf16Length(r.text);
        if (index < at + n) return r.attributes;
        at += n;
    }
    return {};
}

std::vector<TextLayout::Glyph> NSAttributedString::glyphs(const UIFontPtr& fallback) const {
    std::vector<TextLayout::Glyph> out;
    UIFontPtr base = fallback ? fallback : defaultFont();
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        auto& r = runs_[i];
        auto font = NSFontFromAttributes(r.attributes, base);
        auto attachment = attribute(r.attributes, NSAttachmentAttributeName).objectAs<NSTextAttachment>();
        auto glyphs = TextLayout::glyphsForText(r.text, font->pointSize(), i);
        if (attachment) {
            CGSize box = attachment->size();
            for (auto& g : glyphs)
                if (g.character == TextLayout::kAttachmentCharacter) {
                    g.advance = box.width;
                    g.lineHeight = std::max(box.height, font->lineHeight());
                }
        }
        out.insert(out.end(), glyphs.begin(), glyphs.end());
    }
    return out;
}

namespace {
CGRect boundingRectOfGlyphs(const std::vector<TextLayout::Glyph>& glyphs, CGSize size, uint64_t options) {
    bool fragments = options & NSStringDrawingUsesLineFragmentOrigin;
    auto mode = options & NSStringDrawingTruncatesLastVisibleLine ? NSLineBreakByTruncatingTail : NSLineBreakByWordWrapping;
    auto result = TextLayout::layout(glyphs, fragments ? size.width : 0, fragments ? size.height : 0, fragments ? 0 : 1, mode);
    return CGRect{CGPointZero, result.size};
}
}  // namespace

CGRect NSAttributedString::boundingRectWithSize(CGSize size, uint64_t options) const {
    return boundingRectOfGlyphs(glyphs(nullptr), size, options);
}

CGSize NSAttributedString::size() const { return boundingRectWithSize(CGSizeZero, 0).size; }

bool NSAttributedString::isEqual(const NSObject& other) const {
    auto* o = dynamic_cast<const NSAttributedString*>(&other);
    if (!o || o->string() != string() || o->length() != length()) return false;
    for (std::size_t i = 0, n = length(); i < n; ++i)
        if (Value(attributesAtIndex(i)) != Value(o->attributesAtIndex(i))) return false;
    return true;
}

// --- mutable ---

void NSMutableAttributedString::appendAttributedString(const NSAttributedString& other) {
    for (auto& r : other.runs()) runs_.push_back(r);
}

void NSMutableAttributedString::splitAt(std::size_t at) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        std::size_t n = utf16Length(runs_[i].text);
        if (at > start && at < start + n) {
            Run tail{utf16Substring(runs_[i].text, at - start, n - (at - start)), runs_[i].attributes};
            runs_[i].text = utf16Substring(runs_[i].text, 0, at - start);
            runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(tail));
            return;
        }
        start += n;
    }
}

template <class F>
void NSMutableAttributedString::forRunsIn(NSRange range, F&& f) {
    std::size_t total = length();
    std::size_t from = std::min<std::size_t>(range.location, total);
    std::size_t to = std::min<std::size_t>(NSMaxRange(range), total);
    if (from >= to) return;
    splitAt(from);
    splitAt(to);
    std::size_t start = 0;
    for (auto& r : runs_) {
        std::size_t n = utf16Length(r.text);
        if (start >= from && start + n <= to) f(r);
        start += n;
    }
}

void NSMutableAttributedString::addAttribute(const std::string& name, const Value& value, NSRange range) {
    forRunsIn(range, [&](Run& r) { r.attributes[Value(name)] = value; });
}

void NSMutableAttributedString::setAttributes(const Value::Dictionary& attributes, NSRange range) {
    forRunsIn(range, [&](Run& r) { r.attributes = attributes; });
}

void NSMutableAttributedString::removeAttribute(const std::string& name, NSRange range) {
    forRunsIn(range, [&](Run& r) { r.attributes.erase(Value(name)); });
}

namespace NSString {

CGRect boundingRectWithSize(std::string_view text, CGSize size, uint64_t options, const Value::Dictionary& attributes) {
    // One run without an attachment is measured from its glyphs directly, without copying the
    // text and attributes into an attributed string first.
    if (text.empty() || !attribute(attributes, NSAttachmentAttributeName).isNull())
        return NSAttributedString(std::string(text), attributes).boundingRectWithSize(size, options);
    auto font = attribute(attributes, NSFontAttributeName).objectAs<UIFont>();
    if (!font) font = defaultFont();
    return boundingRectOfGlyphs(TextLayout::glyphsForText(text, font->pointSize()), size, options);
}

CGSize sizeWithAttributes(std::string_view text, const Value::Dictionary& attributes) {
    return NSAttributedString(std::string(text), attributes).size();
}

}  // namespace NSString
