#pragma once
// Optional delegate methods: their base bodies call delegateLacksMethod(), so
// a call through callOptional tells whether a subclass implemented it.
// Main thread (the flag is per thread).

namespace uikit_detail {

inline thread_local bool lacksMethod = false;

inline void delegateLacksMethod() { lacksMethod = true; }

// Runs `call`; true when the method it called was implemented.
template <class F>
bool callOptional(F&& call) {
    const bool outer = lacksMethod;
    lacksMethod = false;
    call();
    const bool implemented = !lacksMethod;
    lacksMethod = outer;
    return implemented;
}

}  // namespace uikit_detail
