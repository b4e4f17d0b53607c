#pragma once
// Text with attributes over runs (font, colour, attachments, ...), as labels
// and buttons show it, plus the string-drawing measurements: bounding rect
// and size of plain or attributed text under the text-metrics model.
//
// Immutable instances are shared freely; a mutable one belongs to one thread.

#include <platform_uikit/TextLayout.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIFont.h>

#include <platform_foundation/NSRange.h>
#include <platform_net/UIImage.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char NSFontAttributeName[] = "NSFont";
inline constexpr char NSForegroundColorAttributeName[] = "NSColor";
inline constexpr char NSBackgroundColorAttributeName[] = "NSBackgroundColor";
inline constexpr char NSAttachmentAttributeName[] = "NSAttachment";
inline constexpr char NSParagraphStyleAttributeName[] = "NSParagraphStyle";
inline constexpr char NSKernAttributeName[] = "NSKern";
inline constexpr char NSUnderlineStyleAttributeName[] = "NSUnderline";
inline constexpr char NSLinkAttributeName[] = "NSLink";

enum NSStringDrawingOptions : uint64_t {
    NSStringDrawingUsesLineFragmentOrigin = 1 << 0,
    NSStringDrawingUsesFontLeading = 1 << 1,
    NSStringDrawingUsesDeviceMetrics = 1 << 3,
    NSStringDrawingTruncatesLastVisibleLine = 1 << 5,
};

// An inline image in attributed text, sized by its bounds (else the image's size).
class NSTextAttachment : public NSObject {
    NS_CLASS(NSTextAttachment, NSObject)
public:
    UIImagePtr image;
    CGRect bounds = CGRectZero;
    CGSize size() const;
};

class NSAttributedString;
using NSAttributedStringPtr = std::shared_ptr<NSAttributedString>;

class NSAttributedString : public NSObject {
    NS_CLASS(NSAttributedString, NSObject)
public:
    struct Run {
        std::string text;  // UTF-8
        Value::Dictionary attributes;
    };

    NSAttributedString() = default;
    explicit NSAttributedString(std::string text, Value::Dictionary attributes = {});
    // U+FFFC carrying the attachment.
    static NSAttributedStringPtr attributedStringWithAttachment(std::shared_ptr<NSTextAttachment> attachment);

    std::string string() const;
    // In UTF-16 units.
    std::size_t length() const;
    const std::vector<Run>& runs() const { return runs_; }
    // The attributes at a UTF-16 index (empty past the end).
    Value::Dictionary attributesAtIndex(std::size_t index) const;

    // Glyphs for layout: each run in its font (or `defaultFont`), attachments as boxes.
    std::vector<TextLayout::Glyph> glyphs(const UIFontPtr& defaultFont) const;
    CGRect boundingRectWithSize(CGSize size, uint64_t options) const;
    CGSize size() const;

    bool isEqual(const NSObject& other) const override;
    std::string description() const override { return string(); }

protected:
    std::vector<Run> runs_;
};

class NSMutableAttributedString : public NSAttributedString {
    NS_CLASS(NSMutableAttributedString, NSAttributedString)
public:
    using NSAttributedString::NSAttributedString;
    void appendAttributedString(const NSAttributedString& other);
    // Out-of-range parts of the range are ignored.
    void addAttribute(const std::string& name, const Value& value, NSRange range);
    void setAttributes(const Value::Dictionary& attributes, NSRange range);
    void removeAttribute(const std::string& name, NSRange range);

private:
    // Splits runs so that UTF-16 offsets `at` fall on run boundaries.
    void splitAt(std::size_t at);
    template <class F>
    void forRunsIn(NSRange range, F&& f);
};

namespace NSString {
// The text's box under the attributes' font (17-point system font when none):
// one line unless the options use line fragments, then wrapped to the width
// and, with a height, cut to what fits.
CGRect boundingRectWithSize(std::string_view text, CGSize size, uint64_t options, const Value::Dictionary& attributes);
CGSize sizeWithAttributes(std::string_view text, const Value::Dictionary& attributes);
}  // namespace NSString

// The font an attribute dictionary names, else `fallback`.
UIFontPtr NSFontFromAttributes(const Value::Dictionary& attributes, const UIFontPtr& fallback);
