#pragma once
// The app's colours in one place: from OS 13 on most are dynamic colours that
// follow the light or dark appearance, before 13 one fixed colour each; plus a
// parser of six-digit hexadecimal colour texts.
//
// Stateless; any thread (the screens call it on the main thread; the dynamic
// colours' providers run wherever the colour is resolved).

#include <platform_runtime/ObjCDeclare.h>
#include <platform_uikit/UIColor.h>

#include <string>

class CommUtils : public NSObject {
    NS_CLASS(CommUtils, NSObject)
public:
    // Light: black, other styles: white; before 13 black.
    static UIColorPtr getDarkModeTextColor();
    // Light: white, other styles: black; before 13 white.
    static UIColorPtr getDarModeBackgroundColor();
    // The label colour in every style; before 13 white.
    static UIColorPtr getTabbarTextColor();
    // Light: f2f1f1, other styles: dark grey; before 13 f2f1f1.
    static UIColorPtr getHistoryColorOne();
    // Light: ffffff, other styles: light grey; before 13 ffffff.
    static UIColorPtr getHistoryColorTwo();
    // Light: 0/122/255, other styles: black; before 13 0/122/255.
    static UIColorPtr getDarkModeNavColor();

    // "RRGGBB", optionally after "0X"/"0x", any case, blanks and line breaks around it;
    // every other text gives grey with alpha 1. A pair that does not start with a hex
    // digit reads as 0; lengths count UTF-16 units.
    static UIColorPtr hex(const std::string& text, float alpha);
};
