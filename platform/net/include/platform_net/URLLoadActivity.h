#pragma once
// For a host or test waiting for quiet: the URL loads of every session that
// began and whose last events are not yet handed to their delegate queue.
//
// Any thread.

#include <cstddef>

std::size_t URLLoadingTaskCount();
