#include <app_host/AppHost.h>

#include <app_host/AppDriver.h>
#include <app_host/ConsoleRedirect.h>
#include <app_host/HostInput.h>
#include <app_host/HostOptions.h>
#include <app_host/IdleMonitor.h>
#include <app_host/TerminalScreen.h>

#include <catalogue_server/CatalogueServer.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_dispatch/RunLoopObserver.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/Sandbox.h>
#include <platform_net/SecTrustedRoots.h>
#include <platform_net/URLTransportPreload.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIScreenText.h>
#include <platform_uikit/UIView.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <langinfo.h>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr double kIdleLimitSeconds = 10;
constexpr double kIdleCheckInterval = 0.002;
constexpr const char* kDefaultMailAccount = "user@localhost";

void say(int fd, const std::string& line) {
    std::string text = "firmware-browser: " + line + "\n";
    (void)!write(fd, text.data(), text.size());
}

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

void setOrUnset(const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
}

std::terminate_handler gPreviousTerminate = nullptr;

void restoreThenTerminate() {
    TerminalScreen::restoreAtExit();
    if (gPreviousTerminate) gPreviousTerminate();
    std::abort();
}

// Settles, takes the keys one by one, then prints or draws; ends the app.
// Interactive, it draws whenever the screen text changed and holds typed
// keys back only while the screen moves; it never gives up on a busy app.
class HostSession {
public:
    HostSession(const HostOptions& options, bool interactive, int outFd, int errFd)
        : options_(options), interactive_(interactive), outFd_(outFd), errFd_(errFd) {
        for (const auto& name : options.keys)
            if (auto key = hostKeyFromName(name)) keys_.push_back(*key);
    }

    void attach(TerminalScreen* screen, HostInput* input) {
        screen_ = screen;
        input_ = input;
    }

    int exitCode() const { return exitCode_; }
    AppDriver& driver() { return driver_; }

    // After each main-run-loop turn.
    void afterTurn() {
        auto app = UIApplication::sharedApplication();
        if (app->isTerminated() || ending_) return;
        if (!started_) {
            started_ = true;
            if (options_.present == std::string("jailbreaks")) {
                std::string why = driver_.present("IsJBViewController");
                if (!why.empty()) return fail("cannot present the jailbreak list: " + why);
            }
            if (!interactive_ || !keys_.empty()) beginWaiting();
        }
        if (waiting_) {
            checkIdle();
            if (ending_) return;
        }
        if (interactive_) redrawIfChanged();
    }

    // Keys from the terminal (interactive only).
    void keysArrived() {
        if (!screen_) return;
        auto codes = screen_->readKeys();
        if (input_) input_->consumed();
        for (int code : codes) {
            if (driver_.helpShown()) {
                driver_.setHelpShown(false);
                continue;
            }
            auto key = hostKeyFromCode(code);
            if (!key) continue;
            if (waiting_) {
                keys_.push_back(*key);  // taken in order once the screen stands still
                continue;
            }
            if (IdleMonitor::busy(true)) {
                keys_.push_back(*key);
                beginWaiting();
                continue;
            }
            press(*key);
            if (ending_) return;
        }
        redrawIfChanged(true);
    }

    void signalArrived(int signal) {
        if (signal == SIGWINCH) {
            if (screen_) screen_->resize();
            return;
        }
        finish(0);
    }

    void bannerShown(const std::string& title, const std::string& body) {
        driver_.noteBanner(title, body);
        if (interactive_) {
            // The banner leaves the status line after its time: one more draw then.
            auto timer = NSTimer::timerWithTimeInterval(5.05, false, [this](const std::shared_ptr<NSTimer>&) { redrawIfChanged(true); });
            NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
        }
    }

private:
    void press(const HostKey& key) {
        driver_.perform(key);
        if (driver_.quitRequested()) return finish(0);
        // Keys from --keys (and keys typed while the app was busy) wait for quiet.
        if (!keys_.empty() || !interactive_) beginWaiting();
    }

    void beginWaiting() {
        waiting_ = true;
        confirmations_ = 0;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                          std::chrono::duration<double>(kIdleLimitSeconds));
        if (!idleTimer_) {
            // While waiting, work on other threads ends without waking the main loop: look again often.
            idleTimer_ = NSTimer::timerWithTimeInterval(kIdleCheckInterval, true, [](const std::shared_ptr<NSTimer>&) {});
            NSRunLoop::mainRunLoop()->addTimer(idleTimer_, NSRunLoopCommonModes);
        }
    }

    void stopWaiting() {
        waiting_ = false;
        if (idleTimer_) {
            idleTimer_->invalidate();
            idleTimer_.reset();
        }
    }

    void checkIdle() {
        // Printed, the screen and status line show what a fetch's answer made of them.
        const bool fetchPending = !interactive_ && driver_.fetchAnswerPending();
        bool busy = fetchPending || IdleMonitor::busy(interactive_);
        if (interactive_ && std::chrono::steady_clock::now() > deadline_) busy = false;  // take the key anyway
        if (busy) {
            confirmations_ = 0;
            if (std::chrono::steady_clock::now() > deadline_) {
                auto running = IdleMonitor::stillRunning();
                if (fetchPending) running.push_back("a background fetch without its answer");
                std::string list;
                for (const auto& r : running) list += (list.empty() ? "" : ", ") + r;
                fail("the app did not settle within 10 s: " + list + " still ran");
            }
            return;
        }
        // Quiet on two looks a turn apart: what a turn just handled may have queued more.
        if (++confirmations_ < 2) {
            NSRunLoop::mainRunLoop()->performBlock([] {});
            return;
        }
        if (!keys_.empty()) {
            HostKey key = keys_.front();
            keys_.pop_front();
            confirmations_ = 0;
            press(key);
            return;
        }
        stopWaiting();
        if (!interactive_) {
            std::string text = textSnapshot();
            if (!text.empty() && text.back() != '\n') text += '\n';
            writeAll(outFd_, text + driver_.statusLine() + "\n");
            finish(0);
            return;
        }
        redrawIfChanged(true);
    }

    void redrawIfChanged(bool force = false) {
        if (!screen_) return;
        UIScreenText capture = UIScreenTextCapture();
        TerminalScreen::Frame frame;
        frame.lines = std::move(capture.lines);
        frame.columns = capture.columns;
        frame.rows = capture.rows;
        frame.cursorRows = driver_.cursorTextRows();
        frame.status = driver_.statusLine();
        frame.help = driver_.helpShown();
        bool changed = force || frame.lines != last_.lines || frame.cursorRows != last_.cursorRows ||
                       frame.status != last_.status || frame.help != last_.help || frame.columns != last_.columns;
        if (!changed) return;
        screen_->draw(frame);
        last_ = std::move(frame);
    }

    void fail(const std::string& why) {
        TerminalScreen::restoreAtExit();
        say(errFd_, why);
        finish(1);
    }

    void finish(int code) {
        if (ending_) return;
        ending_ = true;
        exitCode_ = code;
        stopWaiting();
        UIApplication::sharedApplication()->simulateTerminate();
    }

    HostOptions options_;
    bool interactive_;
    int outFd_, errFd_;
    AppDriver driver_;
    TerminalScreen* screen_ = nullptr;
    HostInput* input_ = nullptr;
    std::deque<HostKey> keys_;
    bool started_ = false, waiting_ = false, ending_ = false;
    int confirmations_ = 0;
    int exitCode_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    std::shared_ptr<NSTimer> idleTimer_;
    TerminalScreen::Frame last_;
};

// The sandbox's root and System folder, writable; else why not.
std::string prepareSandbox() {
    std::string root = NSSandbox::rootPath();
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec || access(root.c_str(), W_OK) != 0)
        return "sandbox not writable: " + root + (ec ? ": " + ec.message() : std::string(": ") + std::strerror(errno));
    std::string system = NSSandbox::systemDirectory();
    fs::create_directories(system, ec);
    if (ec || access(system.c_str(), W_OK) != 0) return "sandbox not writable: " + system;
    return {};
}

}  // namespace

int AppHost::run(int argc, char** argv, const char* delegateClassName) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    auto parsed = HostOptions::parse(arguments);
    if (parsed.help) {
        std::fputs(HostOptions::usage(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "firmware-browser: %s\n%s", parsed.error.c_str(), HostOptions::usage());
        return 2;
    }
    const HostOptions& options = parsed.options;
    // The transfer library loads on another thread while the app starts; its first request needs it.
    URLTransportPreload();

    // A UTF-8 character type, so marks and arrows draw.
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) {
        if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
        setenv("LC_CTYPE", "C.UTF-8", 1);
    }

    // The device, as the platform reads it from the environment.
    setOrUnset(NSSandbox::kRootEnvironmentVariable, options.sandbox);
    setOrUnset("APP_OS_VERSION", options.os);
    setOrUnset("APP_DEVICE_MACHINE", options.device);
    setOrUnset("APP_INTERFACE_STYLE", options.appearance);
    setOrUnset("APP_NOTIFICATIONS", options.notifications);
    setOrUnset(UIApplication::kBackgroundRefreshEnvironmentVariable, options.backgroundRefresh);
    if (options.noMail)
        unsetenv("APP_MAIL_ACCOUNT");
    else if (!getenv("APP_MAIL_ACCOUNT"))
        setenv("APP_MAIL_ACCOUNT", kDefaultMailAccount, 1);
    if (options.offline) setenv("APP_NETWORK", "offline", 1);
    if (options.sandbox) NSSandbox::resetForTesting();  // take the new root even if it was read already

    std::string why = prepareSandbox();
    if (!why.empty()) {
        say(STDERR_FILENO, why);
        return 1;
    }
    auto bundle = NSBundle::mainBundle();
    if (!bundle || !fs::exists(bundle->bundlePath() + "/Info.plist")) {
        say(STDERR_FILENO, "app bundle not found: no Info.plist in " + (bundle ? bundle->bundlePath() : std::string("?")) +
                               " (set APP_BUNDLE_PATH)");
        return 1;
    }

    std::unique_ptr<CatalogueServer> server;
    if (options.servesCatalogue()) {
        CatalogueServer::Options serverOptions;
        serverOptions.root = options.catalogueRoot.value_or(CatalogueServer::defaultRoot());
        std::string error;
        server = CatalogueServer::start(serverOptions, &error);
        if (!server) {
            say(STDERR_FILENO, "catalogue server failed to start: " + error);
            return 1;
        }
        // Trusted as a root the device owner installed; the app's own trust stays as it is.
        if (auto installError = SecTrustedRoots::installPEM(server->caPEM())) {
            say(STDERR_FILENO, "cannot install the catalogue server's CA: " + installError->localizedDescription());
            return 1;
        }
        setenv(HostOptions::kCatalogueURLVariable, server->url().c_str(), 1);
        setenv(HostOptions::kJailbreakURLVariable, server->url().c_str(), 1);
    } else {
        if (options.catalogueURL) setenv(HostOptions::kCatalogueURLVariable, options.catalogueURL->c_str(), 1);
        else unsetenv(HostOptions::kCatalogueURLVariable);
        if (options.jailbreakURL) setenv(HostOptions::kJailbreakURLVariable, options.jailbreakURL->c_str(), 1);
        else unsetenv(HostOptions::kJailbreakURLVariable);
    }

    bool interactive = !options.printScreen && isatty(STDOUT_FILENO) && isatty(STDIN_FILENO);
    std::string error;
    auto console = ConsoleRedirect::start(NSSandbox::systemDirectory() + "/console.log", &error);
    if (!console) {
        say(STDERR_FILENO, "sandbox not writable: " + error);
        return 1;
    }
    int outFd = console->savedOut(), errFd = console->savedErr();

    // Printed, only the settled screen is ever seen: view animations end at once instead of
    // holding the print for their time. Drawn in a terminal, they run as on the device.
    if (!interactive) UIView::setAnimationsEnabled(false);
    HostSession session(options, interactive, outFd, errFd);
    std::unique_ptr<TerminalScreen> screen;
    if (interactive) {
        screen = TerminalScreen::open(STDIN_FILENO, outFd, &error);
        if (!screen) {
            say(errFd, error);
            return 1;
        }
    }
    gPreviousTerminate = std::set_terminate(restoreThenTerminate);
    HostInput input(interactive ? STDIN_FILENO : -1, [&session] { session.keysArrived(); },
                    [&session](int signal) { session.signalArrived(signal); });
    session.attach(screen.get(), &input);

    auto app = UIApplication::sharedApplication();
    app->setNotificationBanner(
        [&session](const std::string& title, const std::string& body) { session.bannerShown(title, body); });
    auto observer = std::make_shared<RunLoopObserver>(kCFRunLoopBeforeWaiting | kCFRunLoopExit, true, 1000000,
                                                      [&session](CFRunLoopActivity) { session.afterTurn(); });
    NSRunLoop::mainRunLoop()->addObserver(observer, NSRunLoopCommonModes);

    int result = UIApplicationMain(argc, argv, nullptr, delegateClassName);

    observer->invalidate();
    NSRunLoop::mainRunLoop()->removeObserver(observer, NSRunLoopCommonModes);
    app->setNotificationBanner(nullptr);
    screen.reset();
    if (server) server->stop();
    if (result != 0) {
        say(errFd, std::string("the app could not start: no application delegate named ") + delegateClassName);
        return 1;
    }
    return session.exitCode();
}
