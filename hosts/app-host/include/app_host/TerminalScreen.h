#pragma once
// The app's screen in the terminal (ncursesw): the rendering keeps its own
// size, centred in a bigger terminal and cut to its top-left part (with a
// note) in a smaller one; the row cursor shows in reverse; the last line is
// the status line; "?" lays the key list over it. Leaves the alternate
// screen and restores the terminal when destroyed, and on an uncaught
// exception through restoreAtExit().
//
// Main thread.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct screen;

class TerminalScreen {
public:
    // Draws on outFd, reads keys from inFd. Nothing (and `*error`) when the
    // terminal cannot be set up.
    static std::unique_ptr<TerminalScreen> open(int inFd, int outFd, std::string* error);
    ~TerminalScreen();
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    struct Frame {
        std::vector<std::string> lines;  // UTF-8, one a text row
        int columns = 0, rows = 0;       // the rendering's own size
        std::optional<std::pair<int, int>> cursorRows;  // first and last text row
        std::string status;
        bool help = false;
    };
    void draw(const Frame& frame);
    // After SIGWINCH: takes the terminal's new size and draws the last frame again.
    void resize();
    // Every key waiting (ncurses codes); empty when none.
    std::vector<int> readKeys();

    // Ends the curses mode of the open screen, if any (safe to call twice).
    static void restoreAtExit();

private:
    TerminalScreen() = default;
    void end();

    ::screen* screen_ = nullptr;
    FILE* in_ = nullptr;
    FILE* out_ = nullptr;
    Frame last_;
    bool ended_ = false;
};
