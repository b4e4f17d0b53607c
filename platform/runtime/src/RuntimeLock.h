#pragma once
// The lock guarding class tables and method implementations (many readers, rare writers).

#include <atomic>
#include <cstdint>
#include <shared_mutex>

namespace objc_detail {
std::shared_mutex& runtimeLock();
// Set once any class's "dealloc" entry is added, replaced or exchanged: until then object
// destruction skips the dealloc slot lookup.
extern std::atomic<bool> deallocSlotChanged;
// Called wherever a "dealloc" entry is added, replaced or exchanged: sets the flag above and
// makes the destructor's cached dealloc implementation stale.
void noteDeallocSlotChange();
// Bumped whenever a class gains a property or changes its dependent keys: what observers worked
// out from a class (which keys concern them, the getter they read) is stale when it moves.
std::atomic<uint64_t>& keyValueGeneration();
}  // namespace objc_detail
