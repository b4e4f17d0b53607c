#pragma once
// A label that draws its text from its top edge instead of centring it vertically.
//
// Main thread.

#include <platform_uikit/UILabel.h>

class CUSLabel : public UILabel {
    NS_CLASS(CUSLabel, UILabel)
public:
    using UILabel::UILabel;
    // With a text: draws it at (0, 0) in the frame's width and the text's measured height
    // (both rounded up); without one, in `rect` as a plain label does.
    void drawTextInRect(CGRect rect) override;
};
