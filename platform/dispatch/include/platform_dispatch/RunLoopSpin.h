#pragma once
// Test helper: runs the main run loop until a condition holds or a deadline
// passes, so tests wait on outcomes instead of sleeping.

#include <functional>

// Spins the calling thread's run loop (the main run loop on the main thread)
// in the default mode, checking `condition` after every turn and at least
// every few milliseconds. True once the condition holds; false when
// `timeoutSeconds` passed first.
bool spinMainRunLoopUntil(const std::function<bool()>& condition, double timeoutSeconds);
