#include <app_host/HostKeys.h>

#include <curses.h>

#include <map>

namespace {

std::optional<HostKey> fromCharacter(int c) {
    switch (c) {
    case 'k': return HostKey{HostAction::CursorUp};
    case 'j': return HostKey{HostAction::CursorDown};
    case '\n':
    case '\r': return HostKey{HostAction::Enter};
    case '\t': return HostKey{HostAction::NextTab};
    case 27:
    case 127:
    case 8: return HostKey{HostAction::Back};
    case '*': return HostKey{HostAction::Star};
    case 's': return HostKey{HostAction::Send};
    case 'r': return HostKey{HostAction::Refresh};
    case 'b': return HostKey{HostAction::BackgroundToggle};
    case 'f': return HostKey{HostAction::BackgroundFetch};
    case 'a': return HostKey{HostAction::Airplane};
    case 'd': return HostKey{HostAction::Appearance};
    case 'm': return HostKey{HostAction::MemoryWarning};
    case 'q':
    case 3: return HostKey{HostAction::Quit};
    case '?': return HostKey{HostAction::Help};
    default: break;
    }
    if (c >= '1' && c <= '9') return HostKey{HostAction::Digit, c - '0'};
    return std::nullopt;
}

}  // namespace

std::optional<HostKey> hostKeyFromName(const std::string& name) {
    static const std::map<std::string, HostKey> named{
        {"Up", {HostAction::CursorUp}},       {"Down", {HostAction::CursorDown}},
        {"PageUp", {HostAction::PageUp}},     {"PPage", {HostAction::PageUp}},
        {"PgUp", {HostAction::PageUp}},       {"PageDown", {HostAction::PageDown}},
        {"NPage", {HostAction::PageDown}},    {"PgDn", {HostAction::PageDown}},
        {"Home", {HostAction::Home}},         {"End", {HostAction::End}},
        {"Enter", {HostAction::Enter}},       {"KPEnter", {HostAction::Enter}},
        {"C-m", {HostAction::Enter}},         {"Tab", {HostAction::NextTab}},
        {"C-i", {HostAction::NextTab}},       {"Escape", {HostAction::Back}},
        {"BSpace", {HostAction::Back}},       {"Left", {HostAction::Back}},
        {"C-c", {HostAction::Quit}},
    };
    if (auto found = named.find(name); found != named.end()) return found->second;
    if (name.size() == 1) return fromCharacter(static_cast<unsigned char>(name[0]));
    return std::nullopt;
}

std::optional<HostKey> hostKeyFromCode(int code) {
    switch (code) {
    case KEY_UP: return HostKey{HostAction::CursorUp};
    case KEY_DOWN: return HostKey{HostAction::CursorDown};
    case KEY_PPAGE: return HostKey{HostAction::PageUp};
    case KEY_NPAGE: return HostKey{HostAction::PageDown};
    case KEY_HOME: return HostKey{HostAction::Home};
    case KEY_END: return HostKey{HostAction::End};
    case KEY_ENTER: return HostKey{HostAction::Enter};
    case KEY_BACKSPACE:
    case KEY_LEFT: return HostKey{HostAction::Back};
    default: break;
    }
    if (code >= 0 && code < 256) return fromCharacter(code);
    return std::nullopt;
}

const char* hostKeyHelp() {
    return "Up Down (k j) PgUp PgDn Home End  move the row cursor\n"
           "Enter            tap the row; in an alert its preferred button\n"
           "1 2 3, Tab       that tab / the next; in an alert the digits pick its buttons\n"
           "Esc Backspace Left  back; Cancel in alerts and the mail composer\n"
           "*                the right bar button (the star)\n"
           "s                Send in the mail composer\n"
           "r                pull the table to refresh\n"
           "b / f            background <-> foreground / a background fetch\n"
           "a / d / m        airplane mode / light <-> dark / memory warning\n"
           "q, Ctrl-C        quit\n"
           "?                this list (any key closes it)\n";
}
