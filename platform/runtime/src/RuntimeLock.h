#pragma once
// The lock guarding class tables and method implementations (many readers, rare writers).

#include <atomic>
#include <shared_mutex>

namespace objc_detail {
std::shared_mutex& runtimeLock();
// Set once any class's "dealloc" entry is added, replaced or exchanged: until then object
// destruction skips the dealloc slot lookup.
extern std::atomic<bool> deallocSlotChanged;
// Called wherever a "dealloc" entry is added, replaced or exchanged: sets the flag above and
// makes the destructor's cached dealloc implementation stale.
void noteDeallocSlotChange();
}  // namespace objc_detail
