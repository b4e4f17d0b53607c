#pragma once
// Test helper: a program started with pipes on its stdout and stderr (stdin
// from /dev/null unless asked), read against deadlines and waited for
// through a process descriptor, never by sleeping. The destructor kills a
// child that is still running and reaps it.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>

#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

class ChildProcess {
public:
    struct Options {
        std::map<std::string, std::string> environment;  // added to (or replacing in) ours
        std::vector<std::string> unset;                   // removed from ours
        std::string workingDirectory;
        std::optional<std::string> input;  // written to its stdin, then closed
    };

    ChildProcess(const std::vector<std::string>& argv, const Options& options = {}) {
        int out[2], err[2], in[2];
        if (pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC) || pipe2(in, O_CLOEXEC)) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        if (!options.workingDirectory.empty())
            posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e, name = entry.substr(0, entry.find('='));
            if (options.environment.count(name)) continue;
            bool drop = false;
            for (const auto& u : options.unset) drop = drop || u == name;
            if (!drop) env.push_back(entry);
        }
        for (const auto& [k, v] : options.environment) env.push_back(k + "=" + v);
        std::vector<char*> envp, args;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argCopy = argv;
        for (auto& a : argCopy) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attr, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGHUP);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        spawnError_ = posix_spawn(&pid_, args[0], &actions, &attr, args.data(), envp.data());
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        close(in[0]);
        out_ = out[0];
        err_ = err[0];
        if (spawnError_) pid_ = -1;
        if (options.input && pid_ > 0) {
            const std::string& text = *options.input;
            std::size_t done = 0;
            while (done < text.size()) {
                ssize_t n = write(in[1], text.data() + done, text.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
        }
        close(in[1]);
        if (pid_ > 0) pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    }

    ~ChildProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_, pidfd_})
            if (fd >= 0) close(fd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    int spawnError() const { return spawnError_; }
    void signal(int sig) {
        if (pid_ > 0 && !exited_) kill(pid_, sig);
    }

    // One line of stdout (without its newline); nothing at the deadline or end of output.
    std::optional<std::string> readLine(double seconds = 10) {
        auto deadline = clock::now() + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(seconds));
        for (;;) {
            auto nl = out.find('\n', outRead_);
            if (nl != std::string::npos) {
                std::string line = out.substr(outRead_, nl - outRead_);
                outRead_ = nl + 1;
                return line;
            }
            if (!pump(deadline, false)) return std::nullopt;
        }
    }

    // Waits until it exits (reading all its output meanwhile); its exit code,
    // 128 + signal for a signal, nothing at the deadline.
    std::optional<int> wait(double seconds = 20) {
        auto deadline = clock::now() + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(seconds));
        while (!exited_)
            if (!pump(deadline, true)) break;
        if (!exited_) return std::nullopt;
        // What is still in the pipes after the exit.
        while (drain(out_, out) || drain(err_, err)) {}
        return status_;
    }

    std::string out, err;

private:
    using clock = std::chrono::steady_clock;

    bool drain(int& fd, std::string& into) {
        if (fd < 0) return false;
        char buf[65536];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0) {
            close(fd);
            fd = -1;
        }
        return false;
    }

    // One round of waiting; false at the deadline or when nothing can come any more.
    bool pump(clock::time_point deadline, bool forExit) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0) return false;
        pollfd fds[3];
        int n = 0;
        if (out_ >= 0) fds[n++] = {out_, POLLIN, 0};
        if (err_ >= 0) fds[n++] = {err_, POLLIN, 0};
        if (pidfd_ >= 0 && !exited_) fds[n++] = {pidfd_, POLLIN, 0};
        if (n == 0) return false;
        if (poll(fds, n, static_cast<int>(left)) <= 0) return false;
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == out_) {
                if (!drain(out_, out) && out_ < 0 && !forExit && err_ < 0 && exited_) return false;
            } else if (fds[i].fd == err_) {
                drain(err_, err);
            } else {
                int status = 0;
                if (waitpid(pid_, &status, WNOHANG) == pid_) {
                    exited_ = true;
                    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
            }
        }
        if (!forExit && out_ < 0) return false;
        return true;
    }

    pid_t pid_ = -1;
    int spawnError_ = 0;
    int out_ = -1, err_ = -1, pidfd_ = -1;
    std::size_t outRead_ = 0;
    bool exited_ = false;
    int status_ = -1;
};
