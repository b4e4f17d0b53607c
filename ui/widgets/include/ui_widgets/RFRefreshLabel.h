#pragma once
// The label every refresh control shows its texts in, and the width of a
// label's text on one unbounded line.
//
// Main thread.

#include <platform_uikit/UILabel.h>

#include <memory>

// Bold system font 14, grey 90/255, centred, clear, flexible width.
std::shared_ptr<UILabel> rf_label();
// 0 for an empty text; else the text's bounding width on an unbounded line.
double rf_textWidth(const UILabel& label);
