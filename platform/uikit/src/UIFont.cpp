#include <platform_uikit/UIFont.h>

#include <platform_uikit/TextLayout.h>

#include <cstdio>
#include <functional>
#include <map>

const UIFontTextStyle UIFontTextStyleLargeTitle = "UICTFontTextStyleTitle0";
const UIFontTextStyle UIFontTextStyleTitle1 = "UICTFontTextStyleTitle1";
const UIFontTextStyle UIFontTextStyleTitle2 = "UICTFontTextStyleTitle2";
const UIFontTextStyle UIFontTextStyleTitle3 = "UICTFontTextStyleTitle3";
const UIFontTextStyle UIFontTextStyleHeadline = "UICTFontTextStyleHeadline";
const UIFontTextStyle UIFontTextStyleBody = "UICTFontTextStyleBody";
const UIFontTextStyle UIFontTextStyleCallout = "UICTFontTextStyleCallout";
const UIFontTextStyle UIFontTextStyleSubheadline = "UICTFontTextStyleSubhead";
const UIFontTextStyle UIFontTextStyleFootnote = "UICTFontTextStyleFootnote";
const UIFontTextStyle UIFontTextStyleCaption1 = "UICTFontTextStyleCaption1";
const UIFontTextStyle UIFontTextStyleCaption2 = "UICTFontTextStyleCaption2";

UIFont::UIFont(std::string name, double pointSize, bool bold) : name_(std::move(name)), size_(pointSize), bold_(bold) {}

UIFontPtr UIFont::systemFontOfSize(double size) { return std::make_shared<UIFont>(kSystemFontName, size, false); }

UIFontPtr UIFont::boldSystemFontOfSize(double size) {
    return std::make_shared<UIFont>(kBoldSystemFontName, size, true);
}

UIFontPtr UIFont::italicSystemFontOfSize(double size) {
    return std::make_shared<UIFont>("System-Italic", size, false);
}

UIFontPtr UIFont::systemFontOfSize(double size, double weight) {
    return weight >= UIFontWeightSemibold ? boldSystemFontOfSize(size) : systemFontOfSize(size);
}

UIFontPtr UIFont::fontWithName(const std::string& name, double size) {
    if (name.empty() || !(size > 0)) return nullptr;
    bool bold = name.find("Bold") != std::string::npos || name.find("bold") != std::string::npos;
    return std::make_shared<UIFont>(name, size, bold);
}

UIFontPtr UIFont::preferredFontForTextStyle(const UIFontTextStyle& style) {
    static const std::map<std::string, std::pair<double, bool>> sizes = {
        {UIFontTextStyleLargeTitle, {34, false}}, {UIFontTextStyleTitle1, {28, false}},
        {UIFontTextStyleTitle2, {22, false}},     {UIFontTextStyleTitle3, {20, false}},
        {UIFontTextStyleHeadline, {17, true}},    {UIFontTextStyleBody, {17, false}},
        {UIFontTextStyleCallout, {16, false}},    {UIFontTextStyleSubheadline, {15, false}},
        {UIFontTextStyleFootnote, {13, false}},   {UIFontTextStyleCaption1, {12, false}},
        {UIFontTextStyleCaption2, {11, false}},
    };
    auto it = sizes.find(style);
    auto [size, bold] = it == sizes.end() ? std::make_pair(17.0, false) : it->second;
    return bold ? boldSystemFontOfSize(size) : systemFontOfSize(size);
}

UIFontPtr UIFont::fontWithSize(double size) const { return std::make_shared<UIFont>(name_, size, bold_); }

std::string UIFont::familyName() const {
    auto dash = name_.find('-');
    return dash == std::string::npos ? name_ : name_.substr(0, dash);
}

double UIFont::ascender() const { return TextLayout::kAscender * size_; }
double UIFont::descender() const { return TextLayout::kDescender * size_; }
double UIFont::lineHeight() const { return TextLayout::kLineHeight * size_; }
double UIFont::capHeight() const { return TextLayout::kCapHeight * size_; }
double UIFont::xHeight() const { return TextLayout::kXHeight * size_; }

bool UIFont::isEqual(const NSObject& other) const {
    auto* o = dynamic_cast<const UIFont*>(&other);
    return o && o->name_ == name_ && o->size_ == size_ && o->bold_ == bold_;
}

std::size_t UIFont::hash() const { return std::hash<std::string>()(name_) ^ std::hash<double>()(size_); }

std::string UIFont::description() const {
    char size[32];
    std::snprintf(size, sizeof size, "%gpt", size_);
    return "<UIFont: font-family: \"" + familyName() + "\"; font-weight: " + (bold_ ? "bold" : "normal") +
           "; font-size: " + size + ">";
}
