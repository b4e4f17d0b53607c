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
#include <limits>
#include <unordered_map>

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

// What a view prints as, by its class (cached per class: the walk asks for every view).
enum class Role { Plain, Label, Image, Button, TabButton, Control, Spinner, Progress, Web, Effect, BarShadow, Window };

Role roleOf(const UIView& view) {
    static std::unordered_map<const ObjCClass*, Role> roles;
    const ObjCClass* cls = &view.objcClass();
    auto it = roles.find(cls);
    if (it != roles.end()) return it->second;
    auto is = [&](const char* name) {
        ObjCClass* other = NSClassFromString(name);
        return other && cls->isSubclassOfClass(other);
    };
    Role role = is("UIWindow") ? Role::Window
                : is("_UIBarBackgroundShadowView") ? Role::BarShadow
                : is("UILabel") ? Role::Label
                : is("UIImageView") ? Role::Image
                : is("UIButton") ? Role::Button
                : is("UITabBarButton") ? Role::TabButton
                : is("UIControl") ? Role::Control
                : is("UIActivityIndicatorView") ? Role::Spinner
                : is("UIProgressView") ? Role::Progress
                : is("WKWebView") ? Role::Web
                : is("UIVisualEffectView") ? Role::Effect
                                           : Role::Plain;
    roles.emplace(cls, role);
    return role;
}

bool roleOfBarBackground(const UIView& view) {
    static const ObjCClass* background = NSClassFromString("_UIBarBackground");
    return background && view.objcClass().isSubclassOfClass(const_cast<ObjCClass*>(background));
}

bool isControl(Role role) { return role == Role::Button || role == Role::TabButton || role == Role::Control; }

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
    // Without `listElements` only the text is made (what textSnapshot needs).
    Printer(int columns, int rows, bool listElements)
        : columns_(columns), rows_(rows), listElements_(listElements), grid_(static_cast<std::size_t>(columns * rows)) {}

    UIScreenText finish() {
        spreadNames();
        UIScreenText out;
        out.columns = columns_;
        out.rows = rows_;
        out.lines.resize(static_cast<std::size_t>(rows_));
        for (int r = 0; r < rows_; ++r) {
            if (!inked_[static_cast<std::size_t>(r)]) continue;
            long last = columns_ - 1;
            while (last >= 0 && !at(last, r).character) --last;
            std::string& line = out.lines[static_cast<std::size_t>(r)];
            line.reserve(static_cast<std::size_t>(last + 1) * 2);
            for (long c = 0; c <= last; ++c) {
                const Cell& cell = at(c, r);
                if (cell.continuation) continue;
                if (!cell.character) {
                    line += ' ';
                } else if (cell.character < 0x80) {
                    line += static_cast<char>(cell.character);
                } else {
                    appendUtf8(line, cell.character);
                }
                if (cell.marks) line += marks_[cell.marks - 1];
            }
            while (!line.empty() && line.back() == ' ') line.pop_back();
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
        put(1, row, U'*', false, {{0, columns_ - 1}, {0, rows_ - 1}});
        UIScreenElement e;
        e.kind = UIScreenElementKind::NetworkIndicator;
        e.text = "*";
        e.frame = CGRectMake(kCellWidth, row * kCellHeight, kCellWidth, kCellHeight);
        e.cells = CGRectMake(1, static_cast<double>(row), 1, 1);
        elements_.push_back(std::move(e));
    }

private:
    // An icon narrower than its name printed '#'; once everything is printed, the name
    // spreads over the blank cells around it, so icons that differ read differently. The
    // name stays '#' where it would touch other text or something covered the icon since.
    // In a button, the button's brackets go around the name.
    struct Spread {
        long col, row;
        std::string text;
        Area clip;
        long control;
    };
    struct Bracket {
        long control, col, row;
    };
    void spreadNames() {
        for (auto s : spread_) {
            if (at(s.col, s.row).character != U'#') continue;
            std::vector<long> own{s.col};
            for (const auto& b : brackets_)
                if (b.control == s.control && b.row == s.row) own.push_back(b.col);
            if (own.size() > 1) s.text = "[" + s.text + "]";
            long n = static_cast<long>(s.text.size());
            long first = std::max(s.clip.cols.first, 0L), last = std::min(s.clip.cols.last, static_cast<long>(columns_) - 1);
            long start = std::clamp(s.col - n / 2, first, std::max(first, last - n + 1));
            if (start + n - 1 > last) continue;
            bool room = true;
            for (long c = start - 1; room && c <= start + n; ++c)
                room = std::find(own.begin(), own.end(), c) != own.end() || !inside(c, s.row) || blank(c, s.row);
            if (!room) continue;
            for (long c : own) clear(c, s.row);
            write(start, s.row, s.text, s.clip);
        }
    }

    struct Cell {
        char32_t character = 0;     // 0: blank
        uint32_t marks = 0;         // 1 + index of the zero-width characters drawn on it, 0: none
        bool continuation = false;  // the right half of a wide character
    };

    Cell& at(long c, long r) { return grid_[static_cast<std::size_t>(r * columns_ + c)]; }
    bool inside(long c, long r) const { return c >= 0 && r >= 0 && c < columns_ && r < rows_; }
    static long cellOf(double v, double size) {
        return onGrid(v) ? static_cast<long>(std::floor(v / size)) : -1000000000L;
    }

    void clear(long c, long r) {
        Cell& cell = at(c, r);
        if (!cell.character && !cell.continuation) return;  // blank (a wide character's left half has one)
        if (cell.continuation && c > 0) at(c - 1, r) = Cell{};
        if (!cell.continuation && c + 1 < columns_ && at(c + 1, r).continuation) at(c + 1, r) = Cell{};
        cell = Cell{};
    }
    // One character (`wide`: two cells) at a cell within `clip`.
    bool put(long c, long r, char32_t character, bool wide, const Area& clip) {
        if (!inside(c, r) || !clip.cols.contains(c) || !clip.rows.contains(r)) return false;
        if (wide && (!inside(c + 1, r) || !clip.cols.contains(c + 1))) return false;
        clear(c, r);
        if (wide) clear(c + 1, r);
        inked_[static_cast<std::size_t>(r)] = true;
        at(c, r).character = character;
        if (wide) at(c + 1, r).continuation = true;
        return true;
    }
    bool blank(long c, long r) { return inside(c, r) && !at(c, r).character && !at(c, r).continuation; }
    // A run of narrow characters from a cell.
    void write(long c, long r, const std::string& text, const Area& clip) {
        std::size_t pos = 0;
        while (pos < text.size()) put(c++, r, decodeUtf8(text, pos), false, clip);
    }
    void blankArea(Area area) {
        area = area.intersect({{0, columns_ - 1}, {0, rows_ - 1}});
        if (area.empty()) return;
        for (long r = area.rows.first; r <= area.rows.last; ++r) {
            if (!inked_[static_cast<std::size_t>(r)]) continue;
            if (area.cols.first == 0 && area.cols.last == columns_ - 1) {
                inked_[static_cast<std::size_t>(r)] = false;
                std::fill(&at(0, r), &at(0, r) + columns_, Cell{});
                continue;
            }
            // Wide characters cut at the edges go whole.
            clear(area.cols.first, r);
            clear(area.cols.last, r);
            std::fill(&at(area.cols.first, r), &at(area.cols.last, r) + 1, Cell{});
        }
    }

    // How the view being printed maps its coordinates to the screen: an offset
    // while no transform stands between it and the window, else the full conversion.
    struct Mapping {
        bool offsetOnly = true;
        CGPoint offset;
    };
    CGRect screenRect(const UIView& view, CGRect rect) const {
        if (mapping_.offsetOnly) return CGRectOffset(rect, mapping_.offset.x, mapping_.offset.y);
        CGRect r = view.convertRectToView(rect, nullptr);
        return CGRectOffset(r, origin_.x, origin_.y);
    }
    CGPoint screenPoint(const UIView& view, CGPoint p) const {
        if (mapping_.offsetOnly) return CGPointMake(p.x + mapping_.offset.x, p.y + mapping_.offset.y);
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
        e.tappable = listElements_ && reachesResponder(frame);
        return e;
    }

    // Whether a touch at the rect's centre reaches something that acts on it.
    bool reachesResponder(CGRect frame) const {
        CGPoint centre = CGPointMake(CGRectGetMidX(frame) - origin_.x, CGRectGetMidY(frame) - origin_.y);
        if (!onGrid(centre.x) || !onGrid(centre.y)) return false;
        auto hit = window_->hitTest(centre, nullptr);
        static ObjCClass* tableCell = NSClassFromString("UITableViewCell");
        static ObjCClass* collectionCell = NSClassFromString("UICollectionViewCell");
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
        if (roleOf(view) == Role::Label) return static_cast<const UILabel&>(view).hasText();
        for (const auto& sub : view.subviews())
            if (hasText(*sub)) return true;
        return false;
    }

    // `control`: index of the element of the innermost control being printed, or -1.
    void print(UIView& view, Area clip, double alpha, long control) {
        if (view.isHidden()) return;
        alpha *= view.alpha();
        if (view.alpha() <= 0.01) return;
        Mapping parent = mapping_;
        if (&view == window_) {
            mapping_ = {CGAffineTransformIsIdentity(view.transform()), origin_};
        } else if (parent.offsetOnly && CGAffineTransformIsIdentity(view.transform())) {
            // Untransformed: the frame's origin is the position less the anchor's share of the size.
            const CALayer& layer = *view.layer();
            CGRect b = layer.bounds();
            CGPoint p = layer.position(), a = layer.anchorPoint();
            mapping_ = {true, CGPointMake(parent.offset.x + p.x - a.x * b.size.width - b.origin.x,
                                          parent.offset.y + p.y - a.y * b.size.height - b.origin.y)};
        } else {
            mapping_ = {false, {}};
        }
        printView(view, clip, alpha, control);
        mapping_ = parent;
    }

    void printView(UIView& view, Area clip, double alpha, long control) {
        CGRect frame = screenRect(view, view.bounds());
        if (view.clipsToBounds()) {
            clip = clip.intersect(touchedArea(frame));
            if (clip.empty()) return;
        }

        const UIColorPtr& background = view.layer()->backgroundColor();
        if (background && background->alpha() >= 0.999 && alpha >= 0.99) blankArea(coveredArea(frame).intersect(clip));

        long mine = control;
        Role role = roleOf(view);
        if (isControl(role)) {
            auto* c = static_cast<UIControl*>(&view);
            UIScreenElementKind kind = role == Role::Button      ? UIScreenElementKind::Button
                                       : role == Role::TabButton ? UIScreenElementKind::Tab
                                                                 : UIScreenElementKind::Control;
            auto e = element(kind, view, frame, "");
            e.enabled = c->isEnabled();
            e.selected = c->isSelected();
            elements_.push_back(std::move(e));
            mine = static_cast<long>(elements_.size()) - 1;
        }

        printContent(view, role, frame, clip, mine);

        const auto& subviews = view.subviews();
        bool layered = std::any_of(subviews.begin(), subviews.end(),
                                   [](const UIViewPtr& sub) { return sub->layer()->zPosition() != 0; });
        if (!layered) {
            for (std::size_t i = 0; i < subviews.size(); ++i) print(*subviews[i], clip, alpha, mine);
        } else {
            std::vector<UIView*> ordered;
            for (const auto& sub : subviews) ordered.push_back(sub.get());
            std::stable_sort(ordered.begin(), ordered.end(), [](UIView* a, UIView* b) {
                return a->layer()->zPosition() < b->layer()->zPosition();
            });
            for (UIView* sub : ordered) print(*sub, clip, alpha, mine);
        }

        if (role == Role::Button && static_cast<UIButton&>(view).isEnabled()) {
            long row = cellOf(CGRectGetMidY(frame), kCellHeight);
            Area area = touchedArea(frame).intersect(clip);
            if (!area.empty() && area.rows.contains(row)) {
                // A title that starts in the button's first column takes the bracket one
                // column to its left when that cell is free (not when another button's
                // bracket holds the first column).
                long open = area.cols.first;
                const bool bracketThere = std::any_of(brackets_.begin(), brackets_.end(), [&](const Bracket& b) {
                    return b.col == open && b.row == row;
                });
                if (!blank(open, row) && !bracketThere && open > 0 && blank(open - 1, row)) --open;
                if (blank(open, row) && put(open, row, U'[', false, clip)) brackets_.push_back({mine, open, row});
                if (area.cols.last > area.cols.first && blank(area.cols.last, row) &&
                    put(area.cols.last, row, U']', false, clip))
                    brackets_.push_back({mine, area.cols.last, row});
            }
        }
    }

    // Views are cast by their role: a class's role follows from the class registry, whose
    // classes are declared with their C++ bases.
    void printContent(UIView& view, Role role, CGRect frame, const Area& clip, long control) {
        CGPoint centre = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
        long centreCol = cellOf(centre.x, kCellWidth), centreRow = cellOf(centre.y, kCellHeight);
        if (role == Role::Label) return printLabel(static_cast<UILabel&>(view), clip, control);
        if (role == Role::BarShadow) {
            Area area = touchedArea(frame).intersect(clip);
            if (area.empty() || !area.rows.contains(centreRow)) return;
            for (long c = area.cols.first; c <= area.cols.last; ++c) put(c, centreRow, U'-', false, clip);
            elements_.push_back(element(UIScreenElementKind::Shadow, view, frame, "-"));
            return;
        }
        if (role == Role::Image) {
            auto shown = static_cast<UIImageView&>(view).displayedImage();
            if (!shown) return;
            // A bar's background picture is not content.
            if (auto parent = view.superview(); parent && roleOfBarBackground(*parent)) return;
            std::string text = "<" + (shown->name().empty() ? std::string("image") : shown->name()) + ">";
            Area area = touchedArea(frame).intersect(clip);
            if (area.empty() || !area.rows.contains(centreRow)) return;
            long width = area.cols.last - area.cols.first + 1;
            if (static_cast<long>(text.size()) > width) {
                long col = std::clamp(centreCol, area.cols.first, area.cols.last);
                // Only an icon that is a button's face spreads its name: it is all that tells its
                // states apart (a tab's title does that for its icon).
                bool face = control >= 0 && elements_[static_cast<std::size_t>(control)].kind == UIScreenElementKind::Button;
                if (put(col, centreRow, U'#', false, clip) && face) spread_.push_back({col, centreRow, text, clip, control});
            } else {
                write(area.cols.first + (width - static_cast<long>(text.size())) / 2, centreRow, text, clip);
            }
            if (control < 0) elements_.push_back(element(UIScreenElementKind::Image, view, frame, text));
            return;
        }
        if (role == Role::Spinner) {
            if (!static_cast<UIActivityIndicatorView&>(view).isAnimating()) return;
            if (put(centreCol, centreRow, U'*', false, clip))
                elements_.push_back(element(UIScreenElementKind::Indicator, view, frame, "*"));
            return;
        }
        if (role == Role::Progress) {
            auto* progress = static_cast<UIProgressView*>(&view);
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
        if (role == Role::Web) {
            auto* web = static_cast<WKWebView*>(&view);
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
                        put(c++, row, decodeUtf8(line, pos), false, clip);
                        printed.append(line, start, pos - start);
                    }
                    all += (all.empty() ? "" : "\n") + printed;
                    ++row;
                }
                if (width <= 0) break;
            }
            elements_.push_back(element(UIScreenElementKind::Web, view, frame, all));
            return;
        }
        if (role == Role::Effect && view.layer()->cornerRadius() > 0) {
            Area box = touchedArea(frame);
            if (box.empty()) return;
            blankArea(box.intersect(clip));
            for (long c = box.cols.first; c <= box.cols.last; ++c) {
                bool corner = c == box.cols.first || c == box.cols.last;
                put(c, box.rows.first, corner ? U'+' : U'-', false, clip);
                put(c, box.rows.last, corner ? U'+' : U'-', false, clip);
            }
            for (long r = box.rows.first + 1; r < box.rows.last; ++r) {
                put(box.cols.first, r, U'|', false, clip);
                put(box.cols.last, r, U'|', false, clip);
            }
            elements_.push_back(element(UIScreenElementKind::Panel, view, frame, ""));
            return;
        }
        auto background = view.backgroundColor();
        CGSize size = view.bounds().size;
        if (background && background->alpha() > 0.01 && size.width > 0 && size.height > 0 && size.width <= 20 &&
            size.height <= 20 && role != Role::Window && !hasText(view)) {
            if (put(centreCol, centreRow, U'•', false, clip) && control < 0)
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
        bool bracket = control >= 0 && elements_[static_cast<std::size_t>(control)].kind == UIScreenElementKind::Tab &&
                       elements_[static_cast<std::size_t>(control)].selected;
        NSAttributedStringPtr attributed;
        double total = 0;
        for (const auto& line : drawn.lines) total += line.height;
        double y = drawnRect->origin.y + (drawnRect->size.height - std::min(total, drawnRect->size.height)) / 2;
        std::string printedAll;
        // Lines are shorter than rows: a line whose row the previous line took goes on the
        // next row the label touches; with none left, the last printed line ends in "…".
        long lastRow = std::numeric_limits<long>::min(), lastEnd = -1;
        for (const auto& line : drawn.lines) {
            double x = drawnRect->origin.x;
            if (label.textAlignment() == NSTextAlignmentCenter) x += (drawnRect->size.width - line.width) / 2;
            if (label.textAlignment() == NSTextAlignmentRight) x += drawnRect->size.width - line.width;
            CGPoint start = screenPoint(label, CGPointMake(x, y + line.height / 2));
            y += line.height;
            long row = cellOf(start.y, kCellHeight);
            long col = cellOf(start.x, kCellWidth);
            if (lastRow != std::numeric_limits<long>::min() && row <= lastRow) {
                row = lastRow + 1;
                if (!area.rows.contains(row)) {
                    if (lastEnd >= 0 && !line.glyphs.empty()) {
                        long at = std::min(lastEnd, area.cols.last);
                        put(at, lastRow, U'\u2026', false, area);
                        printedAll += "\u2026";
                    }
                    break;
                }
            }
            if (!area.rows.contains(row)) continue;
            lastRow = row;
            std::string printed;
            if (bracket) {
                put(col - 1, row, U'[', false, clip);
                printed += "[";
            }
            for (const auto& g : line.glyphs) {
                if (g.character == TextLayout::kAttachmentCharacter) {
                    if (!attributed) attributed = label.attributedText();
                    std::string name = "image";
                    if (attributed && g.run < attributed->runs().size()) {
                        // The lookup hands back a reference into the dictionary, so the dictionary must outlive it.
                        const Value attributes(attributed->runs()[g.run].attributes);
                        const Value& a = attributes.objectForKey(NSAttachmentAttributeName);
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
                bool ascii = g.character >= 0x20 && g.character < 0x7F;
                if (!ascii && TextLayout::isZeroWidth(g.character)) {
                    std::string ch;
                    appendUtf8(ch, g.character);
                    if (col > 0 && inside(col - 1, row) && area.cols.contains(col - 1) && at(col - 1, row).character) {
                        Cell& base = at(col - 1, row);
                        if (!base.marks) {
                            marks_.emplace_back();
                            base.marks = static_cast<uint32_t>(marks_.size());
                        }
                        marks_[base.marks - 1] += ch;
                    }
                    printed += ch;
                    continue;
                }
                bool wide = !ascii && TextLayout::isWide(g.character);
                put(col, row, g.character, wide, area);
                col += wide ? 2 : 1;
                appendUtf8(printed, g.character);
            }
            long trailing = 0;
            while (!printed.empty() && printed.back() == ' ') {
                printed.pop_back();
                ++trailing;
            }
            lastEnd = col - trailing;
            if (bracket) {
                put(col, row, U']', false, clip);
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
    bool listElements_;
    std::vector<Cell> grid_;
    std::vector<bool> inked_ = std::vector<bool>(static_cast<std::size_t>(rows_));  // rows with anything on them
    std::vector<std::string> marks_;
    std::vector<UIScreenElement> elements_;
    std::vector<Spread> spread_;
    std::vector<Bracket> brackets_;
    UIWindow* window_ = nullptr;
    CGPoint origin_;
    Mapping mapping_;
};

// Labels whose last drawing no longer matches their bounds draw again.
void refreshStaleLabels(UIView& view) {
    if (roleOf(view) == Role::Label) {
        auto* label = static_cast<UILabel*>(&view);
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

const UIScreenElement* UIScreenText::elementWithText(const std::string& text) const& {
    for (const auto& e : elements)
        if (e.text.find(text) != std::string::npos) return &e;
    return nullptr;
}

namespace {

UIScreenText capture(bool listElements) {
    auto windows = UIApplication::sharedApplication()->windows();
    for (auto& window : windows) window->layoutIfNeeded();
    for (auto& window : windows) refreshStaleLabels(*window);
    uikit_detail::runEndOfTurnPass();
    std::stable_sort(windows.begin(), windows.end(),
                     [](const auto& a, const auto& b) { return a->windowLevel() < b->windowLevel(); });

    CGSize size = UIScreen::mainScreen()->bounds().size;
    Printer printer(static_cast<int>(std::ceil(size.width / kCellWidth)),
                    static_cast<int>(std::ceil(size.height / kCellHeight)), listElements);
    for (auto& window : windows) printer.printWindow(*window);
    printer.printNetworkIndicator();
    return printer.finish();
}

}  // namespace

UIScreenText UIScreenTextCapture() { return capture(true); }

std::string textSnapshot() { return capture(false).text(); }
