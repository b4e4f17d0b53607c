#pragma once
// Shared by the crash-core tests: the fixture libraries, a thread parked at the bottom of
// a fixture call chain, and walking a context into symbol names.

#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>

#include "fixture/CrashFixture.h"

#include <atomic>
#include <cstdio>
#include <dlfcn.h>
#include <map>
#include <sstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace crashtest {

inline void* fixture(const char* path = CRASH_FIXTURE_LIB) {
    void* lib = dlopen(path, RTLD_NOW);
    return lib;
}

template <class Fn>
Fn fixtureFunction(const char* name, const char* path = CRASH_FIXTURE_LIB) {
    return reinterpret_cast<Fn>(dlsym(fixture(path), name));
}

// What a shell command prints.
inline std::string commandOutput(const std::string& command) {
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (p && fgets(buffer, sizeof buffer, p)) out += buffer;
    if (p) pclose(p);
    return out;
}

// name -> (value, size) of the defined symbols of a file, as readelf -Ws prints them.
inline std::multimap<std::string, std::pair<uint64_t, uint64_t>> readelfSymbols(const std::string& path) {
    std::multimap<std::string, std::pair<uint64_t, uint64_t>> out;
    std::istringstream in(commandOutput("readelf -Ws --wide " + path));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string num, value, size, type, bind, vis, ndx, name;
        if (!(f >> num >> value >> size >> type >> bind >> vis >> ndx >> name)) continue;
        if (num.back() != ':' || ndx == "UND" || value.find_first_not_of("0123456789abcdef") != std::string::npos)
            continue;
        auto at = name.find('@');
        if (at != std::string::npos) name = name.substr(0, at);
        out.emplace(name, std::make_pair(std::stoull(value, nullptr, 16), std::stoull(size, nullptr, 0)));
    }
    return out;
}

// Symbols of a walk over the context, "?" where none is known.
inline std::vector<std::string> walkSymbols(const CRMachineContext& context, int depth = 500,
                                            bool* gaveUp = nullptr) {
    CRStackCursor cursor;
    crsc_initWithMachineContext(&cursor, depth, &context);
    std::vector<std::string> out;
    while (cursor.advanceCursor(&cursor)) {
        cursor.symbolicate(&cursor);
        out.push_back(cursor.stackEntry.symbolName ? cursor.stackEntry.symbolName : "?");
    }
    if (gaveUp) *gaveUp = cursor.state.hasGivenUp;
    return out;
}

// True when the names hold prefix6 .. prefix1 one after the other.
inline bool holdsChain(const std::vector<std::string>& names, const std::string& prefix) {
    for (std::size_t i = 0; i + 6 <= names.size(); ++i) {
        bool all = true;
        for (int k = 0; k < 6 && all; ++k) all = names[i + k] == prefix + std::to_string(6 - k);
        if (all) return true;
    }
    return false;
}

inline std::string joined(const std::vector<std::string>& names) {
    std::string s;
    for (auto& n : names) s += n + " ";
    return s;
}

// A thread that runs chain(leaf) and stays in the leaf until released.
class ChainThread {
public:
    ChainThread(FixtureChain chain, FixtureLeaf leaf, void* argument) {
        thread_ = std::thread([=, this] {
            tid_ = static_cast<pid_t>(crthread_self());
            chain(leaf, argument);
        });
        while (tid_ == 0) std::this_thread::yield();
    }
    ~ChainThread() {
        if (thread_.joinable()) thread_.join();
    }
    CRThread tid() const { return static_cast<CRThread>(tid_.load()); }
    void join() { thread_.join(); }

private:
    std::atomic<pid_t> tid_{0};
    std::thread thread_;
};

}  // namespace crashtest
