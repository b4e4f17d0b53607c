#pragma once
// Hooks the tests of this folder use to reach process-wide caches and probe roots.

#include <string>

namespace zv_testing {
// The jailbreak probe looks for its paths under this root ("" = the paths as written) and
// forgets its once-per-process answer.
void setJailbreakProbeRoot(const std::string& root);
// Forgets the cached device identifier and advertising identifiers.
void resetIdentifierCaches();
}  // namespace zv_testing
