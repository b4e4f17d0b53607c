#pragma once
// The firmware-browser program's command line: what to run the app against
// and as which device, and whether to draw in the terminal or print once.
//
// Plain values; parse() reads the environment only for the two base URLs.

#include <optional>
#include <string>
#include <vector>

struct HostArguments;

struct HostOptions {
    // Set (flag or environment): the app talks to these; no server is started.
    std::optional<std::string> catalogueURL, jailbreakURL;
    std::optional<std::string> catalogueRoot;  // serve another folder
    std::optional<std::string> sandbox, os, device, appearance, notifications, backgroundRefresh, present;
    bool noMail = false;
    bool offline = false;
    bool printScreen = false;
    // tmux key names, in order.
    std::vector<std::string> keys;

    static constexpr const char* kCatalogueURLVariable = "APP_CATALOGUE_BASE_URL";
    static constexpr const char* kJailbreakURLVariable = "APP_JAILBREAK_BASE_URL";

    // Arguments without the program name. A base URL from the environment
    // counts as given when its flag is absent.
    static HostArguments parse(const std::vector<std::string>& arguments);
    static const char* usage();

    // Whether the host starts its own catalogue server.
    bool servesCatalogue() const { return !catalogueURL && !jailbreakURL; }
};

struct HostArguments {
    HostOptions options;
    bool help = false;
    std::string error;  // set: a usage error (exit 2)
};

// Empty when `url` is an https URL with a host; else why not.
std::string checkServiceURL(const std::string& url);
