// Settings of the programs' allocator (mimalloc), applied as the program starts.
//
// mimalloc returns the memory of freed pages to the system 25 ms after they empty by default.
// A program that decodes a large document on a worker, frees it on another thread and fetches
// the next one a few milliseconds later then pays for faulting the same pages in again on every
// round: a 1 MB fetch and decode took 3-5x longer than with the pages kept. Keeping them for
// 250 ms serves such rounds from committed memory and still hands an idle program's memory
// back soon. MIMALLOC_DECOMMIT_DELAY in the environment still wins.

#include <cstdlib>

#include <mimalloc.h>

namespace {

constexpr long kDecommitDelayMilliseconds = 250;

const bool applied = [] {
    if (!std::getenv("MIMALLOC_DECOMMIT_DELAY") && !std::getenv("MIMALLOC_RESET_DELAY"))
        mi_option_set(mi_option_decommit_delay, kDecommitDelayMilliseconds);
    return true;
}();

}  // namespace
