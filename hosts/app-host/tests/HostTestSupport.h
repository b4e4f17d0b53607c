#pragma once
// Test helpers for the host programs: a fresh sandbox and bundle per test,
// runs of a host program with --print-screen, and a run on a pseudo
// terminal for the interactive mode.

#include "../../catalogue-server/tests/ChildProcess.h"
#include "TerminalModel.h"

#include <pty.h>
#include <sys/ioctl.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hosttest {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::size_t countLines(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(needle) != std::string::npos) ++n;
    return n;
}

// A temporary folder holding a sandbox, a device root and (when asked) a bundle.
class HostFolder {
public:
    HostFolder() {
        std::string pattern = fs::temp_directory_path().string() + "/host-test.XXXXXX";
        root_ = mkdtemp(pattern.data());
        fs::create_directories(root_ + "/device");
    }
    ~HostFolder() {
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }
    const std::string& root() const { return root_; }
    std::string sandbox() const { return root_ + "/sandbox"; }
    std::string system() const { return sandbox() + "/System"; }
    // A bundle folder with an Info.plist (for the host's own test app).
    std::string makeBundle() const {
        std::string bundle = root_ + "/bundle";
        fs::create_directories(bundle);
        std::ofstream(bundle + "/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>test.host</string>"
               "<key>CFBundleShortVersionString</key><string>1.0</string></dict></plist>\n";
        return bundle;
    }

private:
    std::string root_;
};

struct ProgramRun {
    std::optional<int> code;
    std::string out, err;
};

inline ProgramRun runProgram(const std::string& program, std::vector<std::string> args, ChildProcess::Options options,
                      double seconds = 30) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess p(argv, options);
    ProgramRun r;
    r.code = p.wait(seconds);
    r.out = p.out;
    r.err = p.err;
    return r;
}

// A program on a pseudo terminal of the given size: the bytes it wrote, the
// screen they make, keys typed to it.
class PtyProcess {
public:
    PtyProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, int columns,
               int rows)
        : screen(columns, rows) {
        winsize ws{};
        ws.ws_col = static_cast<unsigned short>(columns);
        ws.ws_row = static_cast<unsigned short>(rows);
        pid_ = forkpty(&master_, nullptr, nullptr, &ws);
        if (pid_ == 0) {
            for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        if (pid_ > 0) pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    }
    ~PtyProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
        if (pidfd_ >= 0) close(pidfd_);
    }
    void type(const std::string& keys) { (void)!write(master_, keys.data(), keys.size()); }
    void signal(int sig) { kill(pid_, sig); }
    void resize(int columns, int rows) {
        winsize ws{};
        ws.ws_col = static_cast<unsigned short>(columns);
        ws.ws_row = static_cast<unsigned short>(rows);
        ioctl(master_, TIOCSWINSZ, &ws);
        screen.resize(columns, rows);
        kill(pid_, SIGWINCH);
    }
    // Reads until the screen shows `text` (true) or the time passed.
    bool waitFor(const std::string& text, double seconds = 20) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        while (!screen.shows(text)) {
            if (!pump(deadline)) return false;
        }
        return true;
    }
    // Reads until the screen no longer shows `text` (true) or the time passed.
    bool waitForGone(const std::string& text, double seconds = 20) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        while (screen.shows(text)) {
            if (!pump(deadline)) return false;
        }
        return true;
    }
    std::optional<int> wait(double seconds = 20) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        while (!exited_)
            if (!pump(deadline)) break;
        if (!exited_) return std::nullopt;
        return status_;
    }
    std::string output;
    TerminalModel screen;

private:
    bool pump(std::chrono::steady_clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd fds[2] = {{master_, POLLIN, 0}, {pidfd_, POLLIN, 0}};
        int n = exited_ ? 1 : 2;
        if (poll(fds, static_cast<nfds_t>(n), static_cast<int>(left)) <= 0) return false;
        if (fds[0].revents & POLLIN) {
            char buf[65536];
            ssize_t got = read(master_, buf, sizeof buf);
            if (got > 0) {
                output.append(buf, static_cast<std::size_t>(got));
                screen.feed(std::string(buf, static_cast<std::size_t>(got)));
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            if (exited_) return false;
        }
        if (n > 1 && fds[1].revents) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return true;
    }
    pid_t pid_ = -1;
    int master_ = -1, pidfd_ = -1;
    bool exited_ = false;
    int status_ = -1;
};

}  // namespace hosttest
