#pragma once
// The firmware-browser program: reads the command line, prepares the device
// (sandbox, system version, model, appearance, notification and refresh
// settings, mail account, airplane mode), starts the loopback catalogue
// server and installs its CA as a trusted root unless service URLs are
// given, sends the console to System/console.log, and runs the app with
// UIApplicationMain — drawn in the terminal, or printed once it settles
// (printed, view animations end at once: only the settled screen is seen).
//
// Exit codes: 0 (also --help); 1 with one line on stderr (the server, the
// sandbox, the bundle, or an app that does not settle); 2 for usage.
// Every orderly way out (q, SIGINT, SIGTERM, SIGHUP) runs the terminate
// sequence.
//
// Main thread, once per process.

class AppHost {
public:
    static int run(int argc, char** argv, const char* delegateClassName = "AppDelegate");
};
