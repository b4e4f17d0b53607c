#include <ui_widgets/RFRefreshLabel.h>

#include <platform_uikit/NSAttributedString.h>

#include <limits>

std::shared_ptr<UILabel> rf_label() {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::boldSystemFontOfSize(14));
    label->setTextColor(UIColor::colorWithRed(90 / 255.0, 90 / 255.0, 90 / 255.0, 1.0));
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

double rf_textWidth(const UILabel& label) {
    const double big = std::numeric_limits<float>::max();
    if (auto attributed = label.attributedText(); attributed && label.hasText()) {
        if (attributed->length() == 0) return 0;
        return attributed->boundingRectWithSize(CGSizeMake(big, big), NSStringDrawingUsesLineFragmentOrigin).size.width;
    }
    std::string text = label.text();
    if (text.empty()) return 0;
    Value::Dictionary attributes;
    attributes[Value(NSFontAttributeName)] = Value(label.font());
    return NSString::boundingRectWithSize(text, CGSizeMake(big, big), NSStringDrawingUsesLineFragmentOrigin, attributes)
        .size.width;
}
