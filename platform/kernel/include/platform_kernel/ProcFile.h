#pragma once
// Small /proc files read with open/read/close into the caller's buffer, and the
// "Key: value" lines they hold. Async-signal-safe: no allocation, no locks, no stdio.

#include <cstddef>
#include <cstdint>

namespace kernel {

// Reads at most capacity - 1 bytes of the file and NUL-terminates them. Answers the
// bytes read, or -1 when the file cannot be opened or read (capacity 0 answers -1).
[[nodiscard]] long readProcFile(const char* path, char* buffer, std::size_t capacity);

// The signed decimal after "key:" at the start of a line of text (spaces and tabs
// skipped). False when no line starts with the key or no digit follows.
[[nodiscard]] bool procField(const char* text, const char* key, int64_t* value);

}  // namespace kernel
