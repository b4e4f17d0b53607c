#pragma once
// Runs a block exactly once per token, however many threads race for it.

#include <functional>

// Zero-initialise it (a static or global); it must not be moved afterwards.
using dispatch_once_t = long;

// The first caller runs `block`; the others wait until it returned. If the
// block throws, the token stays unused and the next caller runs it again.
void dispatch_once(dispatch_once_t* token, const std::function<void()>& block);
