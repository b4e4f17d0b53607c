#pragma once
// The two collection hosts that receive envelopes ("/unify_logs", "/zcfg") and stateless
// uploads. Built in: "ulog.zavez.invalid" and "ulog2.zavez.invalid"; the environment variable
// ZAVEZ_COLLECTION_HOSTS = "primary[:port],secondary[:port]" replaces them for the process
// (host program, tests). Read once, on first use; any thread.

#include <string>

struct ZVCollectionHosts {
    static constexpr const char* kEnvironmentVariable = "ZAVEZ_COLLECTION_HOSTS";
    // "host[:port]" of the primary and the secondary host.
    static const std::string& primary();
    static const std::string& secondary();
    // The primary host's name without its first label and without the port
    // ("ulog.zavez.invalid" -> "zavez.invalid").
    static const std::string& primaryDomain();
};
