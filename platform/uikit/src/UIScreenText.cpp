#include <platform_uikit/UIScreenText.h>

#include "EndOfTurnPass.h"

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIProgressView.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIVisualEffectView.h>
#include <platform_uikit/UIWindow.h>
#include <platform_uikit/WKWebView.h>

#include <platform_runtime/ObjCRuntime.h>
#include <platform_runtime/UTF16.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace {

constexpr double kCellWidth = 5;
constexpr double kCellHeight = 22;
// Coordinates beyond this are off the grid (and kept away from integer overflow).
constexpr double kFarthest = 1e6;

bool onGrid(double v) { return std::isfinite(v) && std::fabs(v) <= kFarthest; }

// An inclusive range of columns or rows; empty when first > last.
struct Span {
    long first = 0, last = -1;
    bool empty() const { return first > last; }
    bool contains(long v) const { return v >= first && v <= last; }
    Span intersect(Span o) const { return {std::max(first, o.first), std::min(last, o.last)}; }
};

// Cells a coordinate range touches.
Span touched(double min, double max, double cell) {
    if (!std::isfinite(min) || !std::isfinite(max) || max <= min) return {};
    min = std::clamp(min, -kFarthest * 10, kFarthest * 10);
    max = std::clamp(max, -kFarthest * 10, kFarthest * 10);
    return {static_cast<long>(std::floor(min / cell)), static_cast<long>(std::ceil(max / cell)) - 1};
}
// Cells whose centres a coordinate range covers.
Span covered(double min, double max, double cell) {
    if (!std::isfinite(min) || !std::isfinite(max) || max <= min) return {};
    min = std::clamp(min, -kFarthest * 10, kFarthest * 10);
    max = std::clamp(max, -kFarthest * 10, kFarthest * 10);
    return {static_cast<long>(std::ceil((min - cell / 2) / cell)), static_cast<long>(std::ceil((max - cell / 2) / cell)) - 1};
}

struct Area {
    Span cols, rows;
    bool empty() const { return cols.empty() || rows.empty(); }
    Area intersect(const Area& o) const { return {cols.intersect(o.cols), rows.intersect(o.rows)}; }
};
Area touchedArea(CGRect r) {
    return {touched(CGRectGetMinX(r), CGRectGetMaxX(r), kCellWidth), touched(CGRectGetMinY(r), CGRectGetMaxY(r), kCellHeight)};
}
Area coveredArea(CGRect r) {
    return {covered(CGRectGetMinX(r), CGRectGetMaxX(r), kCellWidth), covered(CGRectGetMinY(r), CGRectGetMaxY(r), kCellHeight)};
}

ObjCClass* classNamed(const char* name) { return NSClassFromString(name); }

bool isKind(const UIView& view, const char* className) {
    ObjCClass* cls = classNamed(className);
    return cls && view.isKindOfClass(cls);
}

// What a web page reads as: the text between tags, entities decoded, blanks collapsed;
// block ends and line breaks start new lines. Script and style bodies are dropped.
std::vector<std::string> pageText(const std::string& html) {
    std::vector<std::string> lines(1);
    auto add = [&](const std::string& piece) {
        for (char c : piece) {
            bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\r';
            if (blank) {
                if (!lines.back().empty() && lines.back().back() != ' ') lines.back() += ' ';
            } else {
                lines.back() += c;
            }
        }
    };
    auto breakLine = [&] {
        while (!lines.back().empty() && lines.back().back() == ' ') lines.back().pop_back();
        if (!lines.back().empty()) lines.emplace_back();
    };
    std::size_t i = 0;
    std::string skipUntil;
    while (i < html.size()) {
        if (html[i] == '<') {
            std::size_t end = html.find('>', i);
            if (end == std::string::npos) break;
            std::string tag = html.substr(i + 1, end - i - 1);
            std::string name;
            for (char c : tag) {
                if (std::isspace(static_cast<unsigned char>(c)) || (c == '/' && !name.empty())) break;
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            i = end + 1;
            if (!skipUntil.empty()) {
                if (name == skipUntil) skipUntil.clear();
                continue;
            }
            if (name == "script" || name == "style" || name == "title") {
                skipUntil = "/" + name;
                continue;
            }
            static const char* blocks[] = {"br", "p", "/p", "div", "/div", "li", "/li", "tr", "/tr", "h1", "/h1",
                                           "h2", "/h2", "h3", "/h3", "hr", "ul", "/ul", "ol", "/ol", "table", "/table"};
            for (const char* b : blocks)
                if (name == b) breakLine();
            continue;
        }
        std::size_t next = html.find('<', i);
        std::string chunk = html.substr(i, next == std::string::npos ? std::string::npos : next - i);
        i = next == std::string::npos ? html.size() : next;
        if (!skipUntil.empty()) continue;
        static const std::pair<const char*, const char*> entities[] = {
            {"&nbsp;", " "}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
        for (const auto& [from, to] : entities)
            for (std::size_t p = chunk.find(from); p != std::string::npos; p = chunk.find(from, p + 1))
                chunk.replace(p, std::strlen(from), to);
        add(chunk);
    }
    breakLine();
    if (lines.back().empty()) lines.pop_back();
    for (auto& l : lines)
        if (!l.empty() && l.front() == ' ') l.erase(0, 1);
    return lines;
}

class Printer {
public:
    Printer(int columns, int rows) : columns_(columns), rows_(rows), grid_(static_cast<std::size_t>(columns * rows)) {}

    UIScreenText finish() {
        UIScreenText out;
        out.columns = columns_;
        out.rows = rows_;
        for (int r = 0; r < rows_; ++r) {
            std::string line;
            for (int c = 0; c < columns_; ++c) {
                const Cell& cell = at(c, r);
                if (cell.continuation) continue;
                line += cell.text.empty() ? " " : cell.text;
            }
            while (!line.empty() && line.back() == ' ') line.pop_back();
            out.lines.push_back(std::move(line));
        }
        out.elements = std::move(elements_);
        return out;
    }

    void printWindow(UIWindow& window) {
        Area all{{0, columns_ - 1}, {0, rows_ - 1}};
        window_ = &window;
        origin_ = window.frame().origin;
        print(window, all, 1.0, -1);
    }

    void printNetworkIndicator() {
        auto app = UIApplication::sharedApplication();
        if (!app->isNetworkActivityIndicatorVisible() || app->isStatusBarHidden()) return;
        CGRect bar = app->statusBarFrame();
        long row = cellOf(CGRectGetMidY(bar), kCellHeight);
        if (row < 0 || row >= rows_ || columns_ < 2) return;
        put(1, row, "*", false, {{0, columns_ - 1}, {0, rows_ - 1}});
        UIScreenElement e;
        e.kind = UIScreenElementKind::NetworkIndicator;
        e.text = "*";
        e.frame = CGRectMake(kCellWidth, row * kCellHeight, kCellWidth, kCellHeight);
        e.cells = CGRectMake(1, static_cast<double>(row), 1, 1);
        elements_.push_back(std::move(e));
    }

private:
    struct Cell {
        std::string text;
        bool continuation = false;  // the right half of a wide character
    };

    Cell& at(long c, long r) { return grid_[static_cast<std::size_t>(r * columns_ + c)]; }
    bool inside(long c, long r) const { return c >= 0 && r >= 0 && c < columns_ && r < rows_; }
    static long cellOf(double v, double size) {
        return onGrid(v) ? static_cast<long>(std::floor(v / size)) : -1000000000L;
    }

    void clear(long c, long r) {
        Cell& cell = at(c, r);
        if (cell.continuation && c > 0) at(c - 1, r) = Cell{};
        if (!cell.continuation && c + 1 < columns_ && at(c + 1, r).continuation) at(c + 1, r) = Cell{};
        cell = Cell{};
    }
    // One character (`wide`: two cells) at a cell within `clip`.
    bool put(long c, long r, const std::string& text, bool wide, const Area& clip) {
        if (!inside(c, r) || !clip.cols.contains(c) || !clip.rows.contains(r)) return false;
        if (wide && (!inside(c + 1, r) || !clip.cols.contains(c + 1))) return false;
        clear(c, r);
        if (wide) clear(c + 1, r);
        at(c, r).text = text;
        if (wide) at(c + 1, r).continuation = true;
        return true;
    }
    bool blank(long c, long r) { return inside(c, r) && at(c, r).text.empty() && !at(c, r).continuation; }
    // A run of narrow characters from a cell.
    void write(long c, long r, const std::string& text, const Area& clip) {
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t start = pos;
            decodeUtf8(text, pos);
            put(c++, r, text.substr(start, pos - start), false, clip);
        }
    }
    void blankArea(const Area& area) {
        for (long r = area.rows.first; r <= area.rows.last; ++r)
            for (long c = area.cols.first; c <= area.cols.last; ++c)
                if (inside(c, r)) clear(c, r);
    }

    CGRect screenRect(const UIView& view, CGRect rect) const {
        CGRect r = view.convertRectToView(rect, nullptr);
        r.origin.x += origin_.x;
        r.origin.y += origin_.y;
        return r;
    }
    CGPoint screenPoint(const UIView& view, CGPoint p) const {
        CGPoint s = view.convertPointToView(p, nullptr);
        return CGPointMake(s.x + origin_.x, s.y + origin_.y);
    }

    UIScreenElement element(UIScreenElementKind kind, const UIView& view, CGRect frame, std::string text) {
        UIScreenElement e;
        e.kind = kind;
        e.text = std::move(text);
        e.frame = frame;
        Area a = touchedArea(frame);
        if (!a.empty())
            e.cells = CGRectMake(static_cast<double>(a.cols.first), static_cast<double>(a.rows.first),
                                 static_cast<double>(a.cols.last - a.cols.first + 1),
                                 static_cast<double>(a.rows.last - a.rows.first + 1));
        e.view = std::static_pointer_cast<UIView>(const_cast<UIView&>(view).shared_from_this());
        e.tappable = reachesResponder(frame);
        return e;
    }

    // Whether a touch at the rect's centre reaches something that acts on it.
    bool reachesResponder(CGRect frame) const {
        CGPoint centre = CGPointMake(CGRectGetMidX(frame) - origin_.x, CGRectGetMidY(frame) - origin_.y);
        if (!onGrid(centre.x) || !onGrid(centre.y)) return false;
        auto hit = window_->hitTest(centre, nullptr);
        static ObjCClass* tableCell = classNamed("UITableViewCell");
        static ObjCClass* collectionCell = classNamed("UICollectionViewCell");
        for (UIView* v = hit.get(); v; v = v->superview().get()) {
            if (auto* control = dynamic_cast<UIControl*>(v)) return control->isEnabled();
            if ((tableCell && v->isKindOfClass(tableCell)) || (collectionCell && v->isKindOfClass(collectionCell)))
                return true;
            for (const auto& g : v->gestureRecognizers())
                if (g->isEnabled()) return true;
        }
        return false;
    }

    static bool hasText(const UIView& view) {
        if (auto* label = dynamic_cast<const UILabel*>(&view)) return label->hasText();
        for (const auto& sub : view.subviews())
            if (hasText(*sub)) return true;
        return false;
    }

    // `control`: index of the element of the innermost control being printed, or -1.
    void print(UIView& view, Area clip, double alpha, long control) {
        if (view.isHidden()) return;
        alpha *= view.alpha();
        if (view.alpha() <= 0.01) return;
        CGRect frame = screenRect(view, view.bounds());
        Area own = touchedArea(frame);
        if (view.clipsToBounds()) clip = clip.intersect(own);
        if (clip.empty() && view.clipsToBounds()) return;

        auto background = view.backgroundColor();
        if (background && background->alpha() >= 0.999 && alpha >= 0.99) blankArea(coveredArea(frame).intersect(clip));

        long mine = control;
        if (auto* c = dynamic_cast<UIControl*>(&view)) {
            UIScreenElementKind kind = dynamic_cast<UIButton*>(c) ? UIScreenElementKind::Button
                                       : isKind(view, "UITabBarButton") ? UIScreenElementKind::Tab
                                                                        : UIScreenElementKind::Control;
            auto e = element(kind, view, frame, "");
            e.enabled = c->isEnabled();
            e.selected = c->isSelected();
            elements_.push_back(std::move(e));
            mine = static_cast<long>(elements_.size()) - 1;
        }

        printContent(view, frame, clip, mine);

        std::vector<UIView*> subviews;
        for (const auto& sub : view.subviews()) subviews.push_back(sub.get());
        std::stable_sort(subviews.begin(), subviews.end(), [](UIView* a, UIView* b) {
            return a->layer()->zPosition() < b->layer()->zPosition();
        });
        for (UIView* sub : subviews) print(*sub, clip, alpha, mine);

        if (auto* button = dynamic_cast<UIButton*>(&view); button && button->isEnabled()) {
            long row = cellOf(CGRectGetMidY(frame), kCellHeight);
            Area area = own.intersect(clip);
            if (!area.empty() && area.rows.contains(row)) {
                if (blank(area.cols.first, row)) put(area.cols.first, row, "[", false, clip);
                if (area.cols.last > area.cols.first && blank(area.cols.last, row)) put(area.cols.last, row, "]", false, clip);
            }
        }
    }

    void printContent(UIView& view, CGRect frame, const Area& clip, long control) {
        CGPoint centre = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
        long centreCol = cellOf(centre.x, kCellWidth), centreRow = cellOf(centre.y, kCellHeight);
        if (auto* label = dynamic_cast<UILabel*>(&view)) return printLabel(*label, clip, control);
        if (isKind(view, "_UIBarBackgroundShadowView")) {
            Area area = touchedArea(frame).intersect(clip);
            if (area.empty() || !area.rows.contains(centreRow)) return;
            for (long c = area.cols.first; c <= area.cols.last; ++c) put(c, centreRow, "-", false, clip);
            elements_.push_back(element(UIScreenElementKind::Shadow, view, frame, "-"));
            return;
        }
        if (auto* image = dynamic_cast<UIImageView*>(&view)) {
            auto shown = image->displayedImage();
            if (!shown) return;
            std::string text = "<" + (shown->name().empty() ? std::string("image") : shown->name()) + ">";
            Area area = touchedArea(frame).intersect(clip);
            if (area.empty() || !area.rows.contains(centreRow)) return;
            long width = area.cols.last - area.cols.first + 1;
            if (static_cast<long>(text.size()) > width) {
                put(std::clamp(centreCol, area.cols.first, area.cols.last), centreRow, "#", false, clip);
            } else {
                write(area.cols.first + (width - static_cast<long>(text.size())) / 2, centreRow, text, clip);
            }
            if (control < 0) elements_.push_back(element(UIScreenElementKind::Image, view, frame, text));
            return;
        }
        if (auto* spinner = dynamic_cast<UIActivityIndicatorView*>(&view)) {
            if (!spinner->isAnimating()) return;
            if (put(centreCol, centreRow, "*", false, clip))
                elements_.push_back(element(UIScreenElementKind::Indicator, view, frame, "*"));
            return;
        }
        if (auto* progress = dynamic_cast<UIProgressView*>(&view)) {
            Area area = touchedArea(frame).intersect(clip);
            if (area.empty() || !area.rows.contains(centreRow)) return;
            long width = area.cols.last - area.cols.first + 1;
            long inner = std::max(0L, width - 2);
            long filled = std::lround(std::clamp(static_cast<double>(progress->progress()), 0.0, 1.0) * inner);
            std::string text = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                               std::string(static_cast<std::size_t>(inner - filled), '-') + "]";
            text.resize(static_cast<std::size_t>(std::min<long>(width, static_cast<long>(text.size()))));
            write(area.cols.first, centreRow, text, clip);
            elements_.push_back(element(UIScreenElementKind::Progress, view, frame, text));
            return;
        }
        if (auto* web = dynamic_cast<WKWebView*>(&view)) {
            Area area = touchedArea(frame).intersect(clip);
            if (area.empty()) return;
            std::string all;
            long row = area.rows.first;
            long width = area.cols.last - area.cols.first + 1;
            for (const auto& line : pageText(web->documentText())) {
                // Wrapped at the view's width, a character a cell.
                std::size_t pos = 0;
                while (pos < line.size() && row <= area.rows.last) {
                    long c = area.cols.first;
                    std::string printed;
                    while (pos < line.size() && c <= area.cols.last) {
                        std::size_t start = pos;
                        decodeUtf8(line, pos);
                        put(c++, row, line.substr(start, pos - start), false, clip);
                        printed += line.substr(start, pos - start);
                    }
                    all += (all.empty() ? "" : "\n") + printed;
                    ++row;
                }
                if (width <= 0) break;
            }
            elements_.push_back(element(UIScreenElementKind::Web, view, frame, all));
            return;
        }
        if (dynamic_cast<UIVisualEffectView*>(&view) && view.layer()->cornerRadius() > 0) {
            Area box = touchedArea(frame);
            if (box.empty()) return;
            blankArea(box.intersect(clip));
            for (long c = box.cols.first; c <= box.cols.last; ++c) {
                bool corner = c == box.cols.first || c == box.cols.last;
                put(c, box.rows.first, corner ? "+" : "-", false, clip);
                put(c, box.rows.last, corner ? "+" : "-", false, clip);
            }
            for (long r = box.rows.first + 1; r < box.rows.last; ++r) {
                put(box.cols.first, r, "|", false, clip);
                put(box.cols.last, r, "|", false, clip);
            }
            elements_.push_back(element(UIScreenElementKind::Panel, view, frame, ""));
            return;
        }
        auto background = view.backgroundColor();
        CGSize size = view.bounds().size;
        if (background && background->alpha() > 0.01 && size.width > 0 && size.height > 0 && size.width <= 20 &&
            size.height <= 20 && !dynamic_cast<UIWindow*>(&view) && !hasText(view)) {
            if (put(centreCol, centreRow, "•", false, clip) && control < 0)
                elements_.push_back(element(UIScreenElementKind::Dot, view, frame, "•"));
        }
    }

    void printLabel(UILabel& label, const Area& clip, long control) {
        auto drawnRect = label.lastDrawnTextRect();
        if (!drawnRect) return;
        const TextLayout::Result& drawn = label.lastDrawnText();
        if (drawn.lines.empty()) return;
        Area area = touchedArea(screenRect(label, label.bounds())).intersect(clip);
        if (area.empty()) return;

        // The selected tab's title is bracketed.
        bool bracket = false;
        for (UIView* v = label.superview().get(); v; v = v->superview().get()) {
            if (auto* c = dynamic_cast<UIControl*>(v)) {
                bracket = c->isSelected() && isKind(*v, "UITabBarButton");
                break;
            }
        }
        NSAttributedStringPtr attributed;
        double total = 0;
        for (const auto& line : drawn.lines) total += line.height;
        double y = drawnRect->origin.y + (drawnRect->size.height - std::min(total, drawnRect->size.height)) / 2;
        std::string printedAll;
        for (const auto& line : drawn.lines) {
            double x = drawnRect->origin.x;
            if (label.textAlignment() == NSTextAlignmentCenter) x += (drawnRect->size.width - line.width) / 2;
            if (label.textAlignment() == NSTextAlignmentRight) x += drawnRect->size.width - line.width;
            CGPoint start = screenPoint(label, CGPointMake(x, y + line.height / 2));
            y += line.height;
            long row = cellOf(start.y, kCellHeight);
            long col = cellOf(start.x, kCellWidth);
            if (!area.rows.contains(row)) continue;
            std::string printed;
            if (bracket) {
                put(col - 1, row, "[", false, clip);
                printed += "[";
            }
            for (const auto& g : line.glyphs) {
                if (g.character == TextLayout::kAttachmentCharacter) {
                    if (!attributed) attributed = label.attributedText();
                    std::string name = "image";
                    if (attributed && g.run < attributed->runs().size()) {
                        const Value& a = Value(attributed->runs()[g.run].attributes).objectForKey(NSAttachmentAttributeName);
                        if (auto attachment = a.objectAs<NSTextAttachment>(); attachment && attachment->image &&
                                                                              !attachment->image->name().empty())
                            name = attachment->image->name();
                    }
                    std::string text = "<" + name + ">";
                    write(col, row, text, area);
                    col += static_cast<long>(text.size());
                    printed += text;
                    continue;
                }
                std::string ch;
                appendUtf8(ch, g.character);
                if (TextLayout::isZeroWidth(g.character)) {
                    if (col > 0 && inside(col - 1, row) && area.cols.contains(col - 1) && !at(col - 1, row).continuation)
                        at(col - 1, row).text += ch;
                    printed += ch;
                    continue;
                }
                bool wide = TextLayout::isWide(g.character);
                put(col, row, ch, wide, area);
                col += wide ? 2 : 1;
                printed += ch;
            }
            while (!printed.empty() && printed.back() == ' ') printed.pop_back();
            if (bracket) {
                put(col, row, "]", false, clip);
                printed += "]";
            }
            printedAll += (printedAll.empty() ? "" : "\n") + printed;
        }
        if (printedAll.empty()) return;
        if (control >= 0) {
            auto& owner = elements_[static_cast<std::size_t>(control)];
            owner.text += (owner.text.empty() ? "" : " ") + printedAll;
        } else {
            elements_.push_back(element(UIScreenElementKind::Label, label, screenRect(label, label.bounds()), printedAll));
        }
    }

    int columns_, rows_;
    std::vector<Cell> grid_;
    std::vector<UIScreenElement> elements_;
    UIWindow* window_ = nullptr;
    CGPoint origin_;
};

// Labels whose last drawing no longer matches their bounds draw again.
void refreshStaleLabels(UIView& view) {
    if (auto* label = dynamic_cast<UILabel*>(&view)) {
        auto drawn = label->lastDrawnTextRect();
        if (!drawn || *drawn != label->bounds()) label->setNeedsDisplay();
    }
    for (const auto& sub : view.subviews()) refreshStaleLabels(*sub);
}

}  // namespace

const char* UIScreenElementKindName(UIScreenElementKind kind) {
    switch (kind) {
        case UIScreenElementKind::Label: return "label";
        case UIScreenElementKind::Image: return "image";
        case UIScreenElementKind::Button: return "button";
        case UIScreenElementKind::Tab: return "tab";
        case UIScreenElementKind::Control: return "control";
        case UIScreenElementKind::Indicator: return "indicator";
        case UIScreenElementKind::Progress: return "progress";
        case UIScreenElementKind::Dot: return "dot";
        case UIScreenElementKind::Web: return "web";
        case UIScreenElementKind::Panel: return "panel";
        case UIScreenElementKind::Shadow: return "shadow";
        case UIScreenElementKind::NetworkIndicator: return "network";
    }
    return "?";
}

std::string UIScreenText::text() const {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) out += '\n';
        out += lines[i];
    }
    return out;
}

const UIScreenElement* UIScreenText::elementWithText(const std::string& text) const {
    for (const auto& e : elements)
        if (e.text.find(text) != std::string::npos) return &e;
    return nullptr;
}

UIScreenText UIScreenTextCapture() {
    auto windows = UIApplication::sharedApplication()->windows();
    for (auto& window : windows) window->layoutIfNeeded();
    for (auto& window : windows) refreshStaleLabels(*window);
    uikit_detail::runEndOfTurnPass();
    std::stable_sort(windows.begin(), windows.end(),
                     [](const auto& a, const auto& b) { return a->windowLevel() < b->windowLevel(); });

    CGSize size = UIScreen::mainScreen()->bounds().size;
    Printer printer(static_cast<int>(std::ceil(size.width / kCellWidth)), static_cast<int>(std::ceil(size.height / kCellHeight)));
    for (auto& window : windows) printer.printWindow(*window);
    printer.printNetworkIndicator();
    return printer.finish();
}

std::string textSnapshot() { return UIScreenTextCapture().text(); }
