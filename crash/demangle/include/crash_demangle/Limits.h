// Bounds that keep hostile mangled names from exhausting time, stack or memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZUDDemangle {

struct Limits {
  // Longer names are not demangled (answered unchanged). Each byte of a name makes at most a few
  // nodes, so this also bounds the arena of one parse (about 4 MiB at the worst, a few KiB for
  // the typical symbol).
  static constexpr size_t kMaxNameLength = 16 * 1024;
  // Nested reader calls (types in types, contexts in contexts, argument lists of outer types).
  static constexpr unsigned kMaxParseDepth = 128;
  // Parameters per depth of a generic signature.
  static constexpr uint64_t kMaxGenericParamCount = 1024;
  // Nested print calls, counted across payloads demangled while printing.
  static constexpr unsigned kMaxPrintDepth = 768;
  // Node visits of one printing, shared nodes counted each time they are printed.
  static constexpr size_t kMaxPrintSteps = 200 * 1000;
  // Bytes of printed text.
  static constexpr size_t kMaxOutputLength = 64 * 1024;
};

}  // namespace ZUDDemangle
