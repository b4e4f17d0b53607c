#pragma once
// The return addresses of the calling thread, cheap enough to take at every C++ throw.
//
// The walk follows the images' call-frame information (frame records at rbp where there
// is none), with each return address's caller rule kept in a process-wide cache that is
// dropped whenever the image table changes (dlopen / dlclose). A repeated capture from
// the same code costs a few loads per frame: no system call, no loader lock. Stack words
// inside the calling thread's own stack are read directly; anything else (an alternate
// signal stack, a corrupted chain) through safe reads.
//
// Callable from any thread at normal time. The first capture on a thread asks the thread
// library for its stack bounds (for the initial thread that reads /proc and allocates), so
// a capture made while other threads are suspended must be prepared before suspending.

#include <cstdint>

namespace kernel {

// Fills out with up to max return addresses; out[0] is the return address into the
// function that called this one. Answers how many were written.
[[nodiscard]] int captureOwnReturnAddresses(uintptr_t* out, int max);

// Asks the calling thread's stack bounds now, if not asked yet, so that later captures on
// this thread neither allocate nor take locks.
void prepareOwnStackCapture();

}  // namespace kernel
