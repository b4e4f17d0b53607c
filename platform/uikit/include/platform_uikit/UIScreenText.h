#pragma once
// The screen as text: every window laid out and displayed, then printed on a
// grid of ceil(width / 5) × ceil(height / 22) character cells (75 × 37 on a
// 375 × 812 screen); the point (x, y) falls in the cell (⌊x/5⌋, ⌊y/22⌋), and
// a non-finite coordinate or one beyond ±10⁶ falls on no cell.
//
// Windows print by level, each tree back to front (siblings by zPosition,
// then index); hidden views, views with alpha ≤ 0.01 and what a clipping
// ancestor cuts off print nothing. A view with an opaque background (colour
// alpha 1, view alpha ≥ 0.99) first blanks the cells whose centres it covers.
// - Labels print the lines their drawTextInRect drew, one cell a character
//   (two for a wide one), aligned in the drawn rect, on the row of each
//   line's centre, clipped to the label; an attachment prints "<name>".
// - Image views print "<name>" ("<image>" unnamed, "#" when it does not fit).
// - An enabled button adds "[" and "]" on its first and last columns when
//   they are free; a selected tab button's title prints as "[title]".
// - A running activity indicator prints "*"; a progress view "[###---]"
//   across its width; a view without text, with a visible background and
//   both sides ≤ 20 pt prints "•" at its centre (badge dots); a bar shadow
//   view prints a row of "-"; an effect view with a corner radius draws a
//   "+-|" box; a web view prints its document's text without the tags.
// - The status-bar row shows "*" while the network activity indicator is visible.
// The same pass lists what it printed as elements, whose centres tests and
// the host tap.
//
// Main thread.

#include <platform_runtime/Geometry.h>

#include <memory>
#include <string>
#include <vector>

class UIView;

enum class UIScreenElementKind { Label, Image, Button, Tab, Control, Indicator, Progress, Dot, Web, Panel, Shadow, NetworkIndicator };

// "label", "image", "button", "tab", "control", "indicator", "progress", "dot", "web", "panel", "shadow", "network".
const char* UIScreenElementKindName(UIScreenElementKind kind);

struct UIScreenElement {
    UIScreenElementKind kind = UIScreenElementKind::Label;
    // What it printed: a label's lines joined by "\n", a control's labels' text, "<name>", "[##--]", ...
    std::string text;
    CGRect frame = CGRectZero;  // screen points
    CGRect cells = CGRectZero;  // first column and row, columns and rows touched
    bool tappable = false;      // a touch at the frame's centre reaches a control, a cell or a recognizer
    bool selected = false;
    bool enabled = true;
    std::weak_ptr<UIView> view;

    CGPoint center() const { return CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame)); }
};

struct UIScreenText {
    int columns = 0, rows = 0;
    std::vector<std::string> lines;  // one a row, trailing blanks removed
    std::vector<UIScreenElement> elements;

    // The lines joined with "\n".
    std::string text() const;
    // The first element whose text contains `text`; nullptr when none. The pointer is into
    // `elements`, so it is refused on a temporary capture, which would leave it dangling.
    const UIScreenElement* elementWithText(const std::string& text) const&;
    const UIScreenElement* elementWithText(const std::string& text) const&& = delete;
};

// Lays out and displays every window, then prints the screen.
UIScreenText UIScreenTextCapture();
// UIScreenTextCapture().text(), made without the element list.
std::string textSnapshot();
