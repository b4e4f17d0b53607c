#pragma once
// Shared by the report tests: runs crash_child scenarios in a fresh base path, waits for
// the child with a deadline, and reads the report it left (raw, parsed with RapidJSON in
// key order, through the store's fixed-up read, and checked by Python's json).

#include <crash_core/CRCrashC.h>
#include <crash_core/CRReportStore.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Crash children built with the address sanitizer do not crash as written: its runtime
// owns the fault signals and the undefined-behaviour checks stop the faulting stores.
#if defined(__SANITIZE_ADDRESS__)
#define SKIP_CRASH_CHILDREN_UNDER_SANITIZER() \
    GTEST_SKIP() << "crash children run under the address sanitizer, whose runtime owns the fault signal " \
                    "handlers: these scenarios run in the build without sanitizers"
#else
#define SKIP_CRASH_CHILDREN_UNDER_SANITIZER() \
    do {                                       \
    } while (false)
#endif

namespace reporttest {

struct ChildResult {
    bool finished = false;  // false: the deadline passed (the child was killed)
    int exitSignal = 0;     // the signal that ended it, 0 when it exited
    int exitCode = -1;
    pid_t pid = 0;
    std::string output;
};

// The directories of this test process, removed when it ends.
struct TestDirectories {
    std::vector<std::string> paths;
    ~TestDirectories() {
        std::error_code ec;
        for (const auto& p : paths) std::filesystem::remove_all(p, ec);
    }
};

// A fresh directory for one child.
inline std::string freshBase(const std::string& name) {
    static TestDirectories directories;
    static int counter = 0;
    std::string base = "/tmp/crashreport-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-" + name;
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base);
    directories.paths.push_back(base);
    return base;
}

// Runs crash_child with the arguments; the child's stdout is collected. A child that is
// not done by the deadline is killed and reported as unfinished.
// With onStart the child's standard input is a pipe: onStart(pid) runs, then one byte is
// written to it.
inline ChildResult runChild(const std::vector<std::string>& args, int deadlineSeconds = 60,
                            const std::vector<std::string>& env = {},
                            const std::function<void(pid_t)>& onStart = nullptr) {
    ChildResult result;
    int out[2];
    int in[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        if (onStart) dup2(in[0], STDIN_FILENO);
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        std::string exe = CRASH_CHILD;
        argv.push_back(exe.data());
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(in[0]);
    result.pid = pid;
    if (onStart) {
        onStart(pid);
        (void)!write(in[1], "x", 1);
    }
    close(in[1]);
    int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
    struct timespec start {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    char buffer[4096];
    bool outputOpen = true;
    for (;;) {
        struct timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        long leftMs = deadlineSeconds * 1000L - ((now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000);
        if (leftMs <= 0) break;
        struct pollfd fds[2] = {{pidfd, POLLIN, 0}, {outputOpen ? out[0] : -1, POLLIN, 0}};
        int n = poll(fds, 2, int(leftMs));
        if (n < 0 && errno == EINTR) continue;
        if (fds[1].revents) {
            ssize_t r = read(out[0], buffer, sizeof buffer);
            if (r > 0)
                result.output.append(buffer, size_t(r));
            else
                outputOpen = false;
        }
        if (fds[0].revents && !outputOpen) {
            result.finished = true;
            break;
        }
    }
    if (!result.finished) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) result.exitSignal = WTERMSIG(status);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    close(out[0]);
    if (pidfd >= 0) close(pidfd);
    return result;
}

inline ChildResult runScenario(const std::string& name, const std::string& base,
                               const std::vector<std::string>& options = {}, const std::vector<std::string>& env = {},
                               const std::function<void(pid_t)>& onStart = nullptr) {
    std::vector<std::string> args = {"scenario", name, base};
    args.insert(args.end(), options.begin(), options.end());
    return runChild(args, 60, env, onStart);
}

// The value after "<key> " on a line of the child's output ("" when absent).
inline std::string outputValue(const std::string& output, const std::string& key) {
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

inline std::vector<std::string> filesIn(const std::string& dir, const std::string& suffix = "") {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(dir, ec)) {
        std::string p = e.path().string();
        if (suffix.empty() || (p.size() >= suffix.size() && p.compare(p.size() - suffix.size(), suffix.size(), suffix) == 0))
            out.push_back(p);
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline std::vector<std::string> reportFiles(const std::string& base) { return filesIn(base + "/Reports", ".json"); }

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool parse(const std::string& text, rapidjson::Document& doc) {
    doc.Parse(text.c_str(), text.size());
    return !doc.HasParseError() && doc.IsObject();
}

// True when Python's json reads the file.
inline bool pythonReads(const std::string& path) {
    std::string command = "python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' '" + path + "'";
    return std::system(command.c_str()) == 0;
}

inline std::vector<std::string> keysOf(const rapidjson::Value& object) {
    std::vector<std::string> keys;
    if (!object.IsObject()) return keys;
    for (auto it = object.MemberBegin(); it != object.MemberEnd(); ++it) keys.emplace_back(it->name.GetString());
    return keys;
}

inline std::string str(const rapidjson::Value& object, const char* key) {
    if (!object.IsObject() || !object.HasMember(key) || !object[key].IsString()) return "<absent>";
    return object[key].GetString();
}

inline uint64_t num(const rapidjson::Value& object, const char* key) {
    if (!object.IsObject() || !object.HasMember(key) || !object[key].IsNumber()) return ~0ull;
    return object[key].IsUint64() ? object[key].GetUint64() : uint64_t(object[key].GetInt64());
}

inline const rapidjson::Value* crashedThread(const rapidjson::Document& doc) {
    if (!doc.HasMember("crash") || !doc["crash"].HasMember("threads")) return nullptr;
    for (const auto& t : doc["crash"]["threads"].GetArray())
        if (t["crashed"].GetBool()) return &t;
    return nullptr;
}

inline std::vector<std::string> frameSymbols(const rapidjson::Value& thread) {
    std::vector<std::string> out;
    for (const auto& f : thread["backtrace"]["contents"].GetArray()) out.push_back(str(f, "symbol_name"));
    return out;
}

// The store's fixed-up text of the only report under the base.
inline std::string fixedUpReport(const std::string& base) {
    crcrs_initialize("crash_child", (base + "/Reports").c_str());
    int64_t ids[16];
    int n = crcrs_getReportIDs(ids, 16);
    if (n < 1) return {};
    char* text = crcrash_readReport(ids[n - 1]);
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

}  // namespace reporttest
