#pragma once
// A font: a name and a point size, with metrics from one deterministic model
// shared by every name (see TextLayout.h): ascender 0.95 × size, descender
// −0.25 × size, line height 1.2 × size.
//
// Immutable; shared freely between threads.

#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <string>

class UIFont;
using UIFontPtr = std::shared_ptr<UIFont>;

using UIFontTextStyle = std::string;
extern const UIFontTextStyle UIFontTextStyleLargeTitle;   // 34
extern const UIFontTextStyle UIFontTextStyleTitle1;       // 28
extern const UIFontTextStyle UIFontTextStyleTitle2;       // 22
extern const UIFontTextStyle UIFontTextStyleTitle3;       // 20
extern const UIFontTextStyle UIFontTextStyleHeadline;     // 17, bold
extern const UIFontTextStyle UIFontTextStyleBody;         // 17
extern const UIFontTextStyle UIFontTextStyleCallout;      // 16
extern const UIFontTextStyle UIFontTextStyleSubheadline;  // 15
extern const UIFontTextStyle UIFontTextStyleFootnote;     // 13
extern const UIFontTextStyle UIFontTextStyleCaption1;     // 12
extern const UIFontTextStyle UIFontTextStyleCaption2;     // 11

// Weights for systemFontOfSize:weight:.
inline constexpr double UIFontWeightRegular = 0.0;
inline constexpr double UIFontWeightMedium = 0.23;
inline constexpr double UIFontWeightSemibold = 0.3;
inline constexpr double UIFontWeightBold = 0.4;

class UIFont : public NSObject {
    NS_CLASS(UIFont, NSObject)
public:
    static constexpr const char* kSystemFontName = "System";
    static constexpr const char* kBoldSystemFontName = "System-Bold";

    UIFont() = default;
    UIFont(std::string name, double pointSize, bool bold);

    static UIFontPtr systemFontOfSize(double size);
    static UIFontPtr boldSystemFontOfSize(double size);
    static UIFontPtr italicSystemFontOfSize(double size);
    // Weights at or above semibold are bold.
    static UIFontPtr systemFontOfSize(double size, double weight);
    // Any name: every font has the system metrics. nullptr for an empty name
    // or a size that is not positive.
    static UIFontPtr fontWithName(const std::string& name, double size);
    // Body 17, subheadline 15, footnote 13, caption 12 and the others above;
    // an unknown style gives body.
    static UIFontPtr preferredFontForTextStyle(const UIFontTextStyle& style);
    static double systemFontSize() { return 14; }
    static double labelFontSize() { return 17; }

    UIFontPtr fontWithSize(double size) const;

    const std::string& fontName() const { return name_; }
    std::string familyName() const;
    double pointSize() const { return size_; }
    bool isBold() const { return bold_; }
    double ascender() const;
    double descender() const;
    double lineHeight() const;
    double capHeight() const;
    double xHeight() const;
    double leading() const { return 0; }

    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;
    std::string description() const override;

private:
    std::string name_ = kSystemFontName;
    double size_ = 17;
    bool bold_ = false;
};
