#pragma once
// The host's keys: what each does, from a terminal key code or a tmux key
// name (as --keys and tmux send-keys spell them).

#include <optional>
#include <string>

enum class HostAction {
    CursorUp, CursorDown, PageUp, PageDown, Home, End,
    Enter,
    Digit,  // a tab; in an alert its n-th button
    NextTab,
    Back,   // back button; Cancel in alerts and the mail composer
    Star,   // the right bar button
    Send,   // Send in the mail composer
    Refresh,
    BackgroundToggle, BackgroundFetch,
    Airplane, Appearance, MemoryWarning,
    Quit, Help,
};

struct HostKey {
    HostAction action;
    int digit = 0;  // for Digit: 1...9
};

// A tmux key name ("Down", "Enter", "BSpace", "C-c", "q", "2", "*", ...); nothing when it does nothing here.
std::optional<HostKey> hostKeyFromName(const std::string& name);
// A key code as ncurses answers it; nothing for keys without a meaning.
std::optional<HostKey> hostKeyFromCode(int code);
// The key list the help shows, one line a key group.
const char* hostKeyHelp();
