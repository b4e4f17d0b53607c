#pragma once
// Test helper: the text a terminal shows after the bytes a curses program
// wrote to it. curses sends only what changed (a moved cursor and one
// letter, a line cleared), so what the screen says cannot be read from the
// byte stream itself. This keeps a grid of cells and applies the controls
// the "xterm" terminal description uses: cursor moves, erases, inserts and
// deletes, repeats, the scroll region, index and reverse index, saved
// cursor and the alternate screen. Attributes and character sets are
// skipped: only the text is kept.
//
// Single thread; feed bytes in order, in pieces of any size.

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace hosttest {

class TerminalModel {
public:
    TerminalModel(int columns, int rows) { resize(columns, rows); }

    void resize(int columns, int rows) {
        columns_ = std::max(1, columns);
        rows_ = std::max(1, rows);
        for (auto* grid : {&main_, &alternate_}) {
            grid->resize(static_cast<std::size_t>(rows_));
            for (auto& line : *grid) line.resize(static_cast<std::size_t>(columns_), U' ');
        }
        top_ = 0;
        bottom_ = rows_ - 1;
        clampCursor();
    }

    void feed(const std::string& bytes) {
        pending_ += bytes;
        std::size_t i = 0;
        while (i < pending_.size()) {
            std::size_t used = step(i);
            if (used == 0) break;  // an incomplete sequence: wait for more bytes
            i += used;
        }
        pending_.erase(0, i);
    }

    // The shown screen, one line a row, trailing blanks removed, UTF-8.
    std::string text() const {
        std::string out;
        for (const auto& line : grid()) {
            std::u32string trimmed = line;
            while (!trimmed.empty() && (trimmed.back() == U' ' || trimmed.back() == kContinuation)) trimmed.pop_back();
            for (char32_t c : trimmed)
                if (c != kContinuation) appendUtf8(out, c);
            out += '\n';
        }
        return out;
    }
    bool shows(const std::string& needle) const { return text().find(needle) != std::string::npos; }

private:
    static constexpr char32_t kContinuation = 0xFFFF;  // the right half of a wide character

    using Grid = std::vector<std::u32string>;
    Grid& grid() { return alternateShown_ ? alternate_ : main_; }
    const Grid& grid() const { return alternateShown_ ? alternate_ : main_; }

    static void appendUtf8(std::string& out, char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    void clampCursor() {
        x_ = std::clamp(x_, 0, columns_ - 1);
        y_ = std::clamp(y_, 0, rows_ - 1);
        wrapPending_ = false;
    }

    void blankRow(int row, int from, int to) {
        auto& line = grid()[static_cast<std::size_t>(row)];
        for (int c = std::max(0, from); c < std::min(to, columns_); ++c) line[static_cast<std::size_t>(c)] = U' ';
    }

    // Lines top..bottom move up by n (new blank lines at the bottom), or down when n < 0.
    void scroll(int top, int bottom, int n) {
        auto& g = grid();
        auto first = g.begin() + top, last = g.begin() + bottom + 1;
        int span = bottom - top + 1;
        int count = std::min(std::abs(n), span);
        std::u32string blank(static_cast<std::size_t>(columns_), U' ');
        if (n > 0) {
            std::rotate(first, first + count, last);
            std::fill(last - count, last, blank);
        } else if (n < 0) {
            std::rotate(first, last - count, last);
            std::fill(first, first + count, blank);
        }
    }

    void index() {
        if (y_ == bottom_) scroll(top_, bottom_, 1);
        else if (y_ < rows_ - 1) ++y_;
    }
    void reverseIndex() {
        if (y_ == top_) scroll(top_, bottom_, -1);
        else if (y_ > 0) --y_;
    }

    void put(char32_t c) {
        int width = std::max(1, wcwidth(static_cast<wchar_t>(c)));
        if (wrapPending_) {
            x_ = 0;
            index();
            wrapPending_ = false;
        }
        if (x_ + width > columns_) {
            x_ = 0;
            index();
        }
        auto& line = grid()[static_cast<std::size_t>(y_)];
        line[static_cast<std::size_t>(x_)] = c;
        if (width == 2) line[static_cast<std::size_t>(x_ + 1)] = kContinuation;
        last_ = c;
        if (x_ + width >= columns_) {
            x_ = columns_ - 1;
            wrapPending_ = true;
        } else {
            x_ += width;
        }
    }

    // One character, control or sequence at pending_[i]; its length, 0 when incomplete.
    std::size_t step(std::size_t i) {
        unsigned char b = static_cast<unsigned char>(pending_[i]);
        if (b == 0x1b) return escape(i);
        if (b < 0x20 || b == 0x7f) {
            switch (b) {
            case '\r': x_ = 0; wrapPending_ = false; break;
            case '\n': case 0x0b: case 0x0c: index(); wrapPending_ = false; break;
            case '\b': if (x_ > 0) --x_; wrapPending_ = false; break;
            case '\t': x_ = std::min(columns_ - 1, (x_ / 8 + 1) * 8); break;
            default: break;  // bell, shift in/out
            }
            return 1;
        }
        // UTF-8
        std::size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
        if (i + length > pending_.size()) return 0;
        char32_t c = length == 1 ? b : (length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07);
        for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(pending_[i + k]) & 0x3F);
        put(c);
        return length;
    }

    std::size_t escape(std::size_t i) {
        if (i + 1 >= pending_.size()) return 0;
        char kind = pending_[i + 1];
        switch (kind) {
        case '[': return controlSequence(i);
        case ']': {  // operating-system command up to BEL or ESC backslash
            for (std::size_t k = i + 2; k < pending_.size(); ++k) {
                if (pending_[k] == '\a') return k - i + 1;
                if (pending_[k] == 0x1b && k + 1 < pending_.size() && pending_[k + 1] == '\\') return k - i + 2;
            }
            return 0;
        }
        case '(': case ')': case '*': case '+': return i + 2 < pending_.size() ? 3 : 0;  // character set
        case '7': savedX_ = x_; savedY_ = y_; return 2;
        case '8': x_ = savedX_; y_ = savedY_; clampCursor(); return 2;
        case 'M': reverseIndex(); wrapPending_ = false; return 2;
        case 'D': index(); wrapPending_ = false; return 2;
        case 'E': x_ = 0; index(); wrapPending_ = false; return 2;
        default: return 2;  // keypad modes and the like
        }
    }

    std::size_t controlSequence(std::size_t i) {
        std::size_t k = i + 2;
        bool privateMode = false;
        if (k < pending_.size() && (pending_[k] == '?' || pending_[k] == '>' || pending_[k] == '=')) {
            privateMode = true;
            ++k;
        }
        std::vector<int> params;
        int value = -1;
        for (; k < pending_.size(); ++k) {
            char c = pending_[k];
            if (c >= '0' && c <= '9') {
                value = (value < 0 ? 0 : value * 10) + (c - '0');
            } else if (c == ';') {
                params.push_back(value);
                value = -1;
            } else if (c >= 0x40 && c <= 0x7e) {
                params.push_back(value);
                apply(c, params, privateMode);
                return k - i + 1;
            }
        }
        return 0;
    }

    void apply(char final, const std::vector<int>& params, bool privateMode) {
        auto arg = [&](std::size_t n, int fallback) {
            return n < params.size() && params[n] > 0 ? params[n] : fallback;
        };
        auto raw = [&](std::size_t n) { return n < params.size() && params[n] >= 0 ? params[n] : 0; };
        if (privateMode) {
            if ((final == 'h' || final == 'l') && raw(0) == 1049) {
                bool on = final == 'h';
                if (on == alternateShown_) return;
                if (on) {
                    savedX_ = x_;
                    savedY_ = y_;
                    alternateShown_ = true;
                    for (int r = 0; r < rows_; ++r) blankRow(r, 0, columns_);
                } else {
                    alternateShown_ = false;
                    x_ = savedX_;
                    y_ = savedY_;
                    clampCursor();
                }
            }
            return;
        }
        auto& line = grid()[static_cast<std::size_t>(y_)];
        switch (final) {
        case 'H': case 'f': y_ = arg(0, 1) - 1; x_ = arg(1, 1) - 1; clampCursor(); break;
        case 'd': y_ = arg(0, 1) - 1; clampCursor(); break;
        case 'G': case '`': x_ = arg(0, 1) - 1; clampCursor(); break;
        case 'A': y_ -= arg(0, 1); clampCursor(); break;
        case 'B': y_ += arg(0, 1); clampCursor(); break;
        case 'C': x_ += arg(0, 1); clampCursor(); break;
        case 'D': x_ -= arg(0, 1); clampCursor(); break;
        case 'K': {
            int mode = raw(0);
            if (mode == 0) blankRow(y_, x_, columns_);
            else if (mode == 1) blankRow(y_, 0, x_ + 1);
            else blankRow(y_, 0, columns_);
            break;
        }
        case 'J': {
            int mode = raw(0);
            if (mode == 0) {
                blankRow(y_, x_, columns_);
                for (int r = y_ + 1; r < rows_; ++r) blankRow(r, 0, columns_);
            } else if (mode == 1) {
                for (int r = 0; r < y_; ++r) blankRow(r, 0, columns_);
                blankRow(y_, 0, x_ + 1);
            } else {
                for (int r = 0; r < rows_; ++r) blankRow(r, 0, columns_);
            }
            break;
        }
        case 'X': blankRow(y_, x_, x_ + arg(0, 1)); break;
        case '@': {
            int n = std::min(arg(0, 1), columns_ - x_);
            line.insert(static_cast<std::size_t>(x_), static_cast<std::size_t>(n), U' ');
            line.resize(static_cast<std::size_t>(columns_));
            break;
        }
        case 'P': {
            int n = std::min(arg(0, 1), columns_ - x_);
            line.erase(static_cast<std::size_t>(x_), static_cast<std::size_t>(n));
            line.resize(static_cast<std::size_t>(columns_), U' ');
            break;
        }
        case 'L': if (y_ >= top_ && y_ <= bottom_) scroll(y_, bottom_, -arg(0, 1)); break;
        case 'M': if (y_ >= top_ && y_ <= bottom_) scroll(y_, bottom_, arg(0, 1)); break;
        case 'S': scroll(top_, bottom_, arg(0, 1)); break;
        case 'T': scroll(top_, bottom_, -arg(0, 1)); break;
        case 'b': for (int n = arg(0, 1); n > 0; --n) put(last_); break;
        case 'r':
            top_ = arg(0, 1) - 1;
            bottom_ = arg(1, rows_) - 1;
            if (top_ >= bottom_ || bottom_ >= rows_) {
                top_ = 0;
                bottom_ = rows_ - 1;
            }
            x_ = y_ = 0;
            wrapPending_ = false;
            break;
        default: break;  // attributes, modes, window operations
        }
    }

    int columns_ = 0, rows_ = 0;
    Grid main_, alternate_;
    bool alternateShown_ = false;
    int x_ = 0, y_ = 0, savedX_ = 0, savedY_ = 0;
    int top_ = 0, bottom_ = 0;
    bool wrapPending_ = false;
    char32_t last_ = U' ';
    std::string pending_;
};

}  // namespace hosttest
