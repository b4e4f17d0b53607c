#pragma once
// Shared by the crash-core tests: the fixture libraries, a thread parked at the bottom of
// a fixture call chain, and walking a context into symbol names.

#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>

#include "fixture/CrashFixture.h"

#include <atomic>
#include <dlfcn.h>
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
