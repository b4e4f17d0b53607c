#pragma once
// For a host or test waiting for quiet: view animations whose time runs on a
// timer without any layer animation to show for it.
//
// Main thread.

#include <cstddef>

// How many animation blocks that changed nothing animatable still wait for
// their duration before their completion is called.
std::size_t UIViewAnimationTimedCompletionCount();
