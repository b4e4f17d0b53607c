#include <app/screens/CommUtils.h>

#include <platform_foundation/NSCharacterSet.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSStringCase.h>
#include <platform_runtime/UTF16.h>

#include <utility>

namespace {

bool hasDynamicColours() {
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({13, 0, 0});
}

// From 13 a colour resolved by style (light, or every other style); before, `fixed`.
UIColorPtr byStyle(UIColorPtr (*light)(), UIColorPtr (*other)(), UIColorPtr (*fixed)()) {
    if (!hasDynamicColours()) return fixed();
    return UIColor::colorWithDynamicProvider([light, other](const UITraitCollection& traits) {
        return traits.userInterfaceStyle() == UIUserInterfaceStyleLight ? light() : other();
    });
}

UIColorPtr black() { return UIColor::blackColor(); }
UIColorPtr white() { return UIColor::whiteColor(); }
UIColorPtr label() { return UIColor::labelColor(); }
UIColorPtr historyOne() { return CommUtils::hex("f2f1f1", 1.0f); }
UIColorPtr historyTwo() { return CommUtils::hex("ffffff", 1.0f); }
UIColorPtr darkGray() { return UIColor::darkGrayColor(); }
UIColorPtr lightGray() { return UIColor::lightGrayColor(); }
UIColorPtr navBlue() { return UIColor::colorWithRed(0, 122.0 / 255.0, 1.0, 1.0); }

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// The pair's leading hexadecimal digits (0 when it starts with none).
unsigned channel(char16_t first, char16_t second) {
    int hi = hexDigit(first);
    if (hi < 0) return 0;
    int lo = hexDigit(second);
    return lo < 0 ? static_cast<unsigned>(hi) : static_cast<unsigned>(hi * 16 + lo);
}

}  // namespace

UIColorPtr CommUtils::getDarkModeTextColor() { return byStyle(black, white, black); }
UIColorPtr CommUtils::getDarModeBackgroundColor() { return byStyle(white, black, white); }
UIColorPtr CommUtils::getTabbarTextColor() { return byStyle(label, label, white); }
UIColorPtr CommUtils::getHistoryColorOne() { return byStyle(historyOne, darkGray, historyOne); }
UIColorPtr CommUtils::getHistoryColorTwo() { return byStyle(historyTwo, lightGray, historyTwo); }
UIColorPtr CommUtils::getDarkModeNavColor() { return byStyle(navBlue, black, navBlue); }

UIColorPtr CommUtils::hex(const std::string& text, float alpha) {
    std::string trimmed = NSString::stringByTrimmingCharactersInSet(text, NSCharacterSet::whitespaceAndNewlineCharacterSet());
    std::u16string s = utf8ToUtf16(NSString::uppercaseString(trimmed));
    if (s.size() < 6) return UIColor::grayColor();
    if (s.compare(0, 2, u"0X") == 0) s.erase(0, 2);
    if (s.size() != 6) return UIColor::grayColor();
    const float r = static_cast<float>(channel(s[0], s[1])) / 255.0f;
    const float g = static_cast<float>(channel(s[2], s[3])) / 255.0f;
    const float b = static_cast<float>(channel(s[4], s[5])) / 255.0f;
    return UIColor::colorWithRed(r, g, b, alpha);
}
