#pragma once
// Checks run over property-list bytes before libplist reads them. libplist expands shared
// binary objects into copies, recurses over nesting and reads malformed values leniently
// (12abc as 12, bad base64 as empty data); these checks refuse such documents with a reason
// first. Pure functions, any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace codecs {

struct PlistLimits {
    // Nested arrays and dictionaries; the JSON reader and the keyed unarchiver use the same.
    static constexpr std::size_t kMaxDepth = 512;
    // Nodes a document may always expand to (shared objects counted once per reference)...
    static constexpr uint64_t kMaxNodes = 1'000'000;
    // ...and, past that, per input byte. A document without shared objects stays far below
    // either (every node costs at least one byte), so only reference bombs are refused.
    static constexpr uint64_t kMaxNodesPerByte = 100;

    static uint64_t maxNodesFor(std::size_t bytes) {
        const uint64_t scaled = static_cast<uint64_t>(bytes) * kMaxNodesPerByte;
        return scaled > kMaxNodes ? scaled : kMaxNodes;
    }
};

// A binary ("bplist00") document: trailer, offset table, every object's bounds and kind,
// references (in range, no cycles), nesting, expanded size, dates (finite, years 0 to 9999),
// dictionary keys (strings without NUL) and UTF-16 text (no lone surrogates).
// Empty when libplist may read it, else why not.
[[nodiscard]] std::string checkBinaryPlist(std::string_view bytes);

// An XML document, through expat: well-formed, one root (a "plist" element holding one value,
// or a bare value), only property-list elements, a value after every key, integers within 64
// bits, reals, dates and base64 data spelled exactly, no entity declarations, nesting.
// Empty when libplist may read it, else why not.
[[nodiscard]] std::string checkXMLPlist(std::string_view bytes);

}  // namespace codecs
