#include <app_host/TerminalScreen.h>

#include <app_host/HostKeys.h>

#include <curses.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <sstream>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

TerminalScreen* gOpen = nullptr;

std::wstring widen(const std::string& s) {
    std::wstring out;
    std::mbstate_t state{};
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        wchar_t wc;
        std::size_t n = std::mbrtowc(&wc, p, static_cast<std::size_t>(end - p), &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            out.push_back(L'?');
            state = {};
            ++p;
            continue;
        }
        if (n == 0) n = 1;
        out.push_back(wc);
        p += n;
    }
    return out;
}

// Draws `text` from column x of row y, at most `width` cells wide.
void put(int y, int x, const std::string& text, int width) {
    if (width <= 0) return;
    std::wstring w = widen(text);
    int used = 0;
    std::size_t count = 0;
    for (; count < w.size(); ++count) {
        int cw = std::max(0, wcwidth(w[count]));
        if (used + cw > width) break;
        used += cw;
    }
    mvaddnwstr(y, x, w.c_str(), static_cast<int>(count));
}

}  // namespace

std::unique_ptr<TerminalScreen> TerminalScreen::open(int inFd, int outFd, std::string* error) {
    auto screen = std::unique_ptr<TerminalScreen>(new TerminalScreen());
    screen->in_ = fdopen(dup(inFd), "r");
    screen->out_ = fdopen(dup(outFd), "w");
    if (screen->in_ && screen->out_) screen->screen_ = newterm(nullptr, screen->out_, screen->in_);
    if (!screen->screen_) {
        if (error) *error = "cannot set up the terminal (TERM=" + std::string(getenv("TERM") ? getenv("TERM") : "") + ")";
        if (screen->in_) fclose(screen->in_);
        if (screen->out_) fclose(screen->out_);
        screen->in_ = screen->out_ = nullptr;
        screen->ended_ = true;
        return nullptr;
    }
    set_term(screen->screen_);
    raw();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    gOpen = screen.get();
    return screen;
}

TerminalScreen::~TerminalScreen() {
    end();
    if (gOpen == this) gOpen = nullptr;
}

void TerminalScreen::end() {
    if (ended_) return;
    ended_ = true;
    endwin();
    if (screen_) delscreen(screen_);
    screen_ = nullptr;
    if (in_) fclose(in_);
    if (out_) fclose(out_);
    in_ = out_ = nullptr;
}

void TerminalScreen::restoreAtExit() {
    if (gOpen) gOpen->end();
}

void TerminalScreen::resize() {
    winsize ws{};
    if (out_ && ioctl(fileno(out_), TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0)
        resizeterm(ws.ws_row, ws.ws_col);
    draw(last_);
}

std::vector<int> TerminalScreen::readKeys() {
    std::vector<int> keys;
    for (int i = 0; i < 256; ++i) {
        int c = getch();
        if (c == ERR) break;
        if (c == KEY_RESIZE) continue;
        keys.push_back(c);
    }
    return keys;
}

void TerminalScreen::draw(const Frame& frame) {
    if (ended_) return;
    last_ = frame;
    erase();
    int width = COLS, height = LINES;
    int area = std::max(0, height - 1);  // the last line is the status line
    bool cut = frame.columns > width || frame.rows > area;
    int x0 = frame.columns < width ? (width - frame.columns) / 2 : 0;
    int y0 = frame.rows < area ? (area - frame.rows) / 2 : 0;
    int shownRows = std::min(frame.rows, area), shownColumns = std::min(frame.columns, width - x0);
    for (int r = 0; r < shownRows && r < static_cast<int>(frame.lines.size()); ++r)
        put(y0 + r, x0, frame.lines[static_cast<std::size_t>(r)], shownColumns);
    if (frame.cursorRows) {
        for (int r = frame.cursorRows->first; r <= frame.cursorRows->second; ++r)
            if (r >= 0 && r < shownRows) mvchgat(y0 + r, x0, shownColumns, A_REVERSE, 0, nullptr);
    }
    std::string status = frame.status;
    // The note comes first and stays short, so a narrow terminal still shows it.
    if (cut)
        status = "top-left part of " + std::to_string(frame.columns) + "x" + std::to_string(frame.rows + 1) + " · " +
                 status;
    if (height > 0) {
        attron(A_BOLD);
        put(height - 1, 0, status, width);
        attroff(A_BOLD);
    }
    if (frame.help) {
        std::vector<std::string> lines;
        std::istringstream in(hostKeyHelp());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        int boxWidth = 0;
        for (const auto& l : lines) boxWidth = std::max(boxWidth, static_cast<int>(widen(l).size()));
        boxWidth = std::min(boxWidth + 4, width);
        int boxHeight = std::min(static_cast<int>(lines.size()) + 2, area);
        int bx = std::max(0, (width - boxWidth) / 2), by = std::max(0, (area - boxHeight) / 2);
        for (int r = 0; r < boxHeight; ++r) {
            move(by + r, bx);
            for (int c = 0; c < boxWidth; ++c) addch(' ');
        }
        for (int r = 0; r + 2 < boxHeight + 1 && r < static_cast<int>(lines.size()) && r + 1 < boxHeight; ++r)
            put(by + 1 + r, bx + 2, lines[static_cast<std::size_t>(r)], boxWidth - 4);
        for (int r = 0; r < boxHeight; ++r) mvchgat(by + r, bx, boxWidth, A_REVERSE, 0, nullptr);
    }
    refresh();
}
