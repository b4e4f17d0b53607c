// The binary property-list check: one pass over the object table, memoised over references,
// so a document whose shared objects expand to billions of nodes is measured in time linear
// in its own size.

#include "codecs/PlistCheck.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <platform_runtime/CivilDate.h>

namespace codecs {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;
constexpr int64_t kSecondsFrom1970To2001 = 978307200;

enum Marker : uint8_t {
    kSimple = 0x0,
    kInteger = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kASCIIString = 0x5,
    kUTF16String = 0x6,
    kUID = 0x8,
    kArray = 0xA,
    kSet = 0xC,
    kDictionary = 0xD,
};

uint64_t readBigEndian(const uint8_t* p, std::size_t size) {
    uint64_t v = 0;
    for (std::size_t i = 0; i < size; ++i) v = v << 8 | p[i];
    return v;
}

// Seconds since 2001 of the first instant of year 0 and of year 10000: the dates the property
// list codecs can write back.
double secondsAtYear(int64_t year) {
    return static_cast<double>(daysFromCivil(year, 1, 1) * 86400 - kSecondsFrom1970To2001);
}

class BinaryPlistChecker {
public:
    explicit BinaryPlistChecker(std::string_view bytes)
        : bytes_(reinterpret_cast<const uint8_t*>(bytes.data())),
          size_(bytes.size()),
          maxNodes_(PlistLimits::maxNodesFor(bytes.size())) {}

    std::string run() {
        if (size_ < kHeaderSize + kTrailerSize) return "binary property list too short";
        const uint8_t* trailer = bytes_ + size_ - kTrailerSize;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        const uint64_t count = readBigEndian(trailer + 8, 8);
        const uint64_t top = readBigEndian(trailer + 16, 8);
        tableOffset_ = readBigEndian(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
            return "bad offset or reference size in binary property list trailer";
        const uint64_t tableEnd = size_ - kTrailerSize;
        if (count == 0 || tableOffset_ < kHeaderSize || tableOffset_ > tableEnd ||
            count > (tableEnd - tableOffset_) / offsetSize_)
            return "bad object table in binary property list";
        if (top >= count) return "top object out of range in binary property list";
        count_ = count;
        state_.assign(count, State{});
        if (!visit(top, 0)) return why_;
        return {};
    }

private:
    struct State {
        uint8_t mark = 0;     // 0 unvisited, 1 being visited, 2 done
        uint64_t nodes = 0;   // expanded size, saturated past the bound
    };

    bool fail(std::string why) {
        why_ = std::move(why);
        return false;
    }

    uint64_t saturatedAdd(uint64_t a, uint64_t b) const {
        const uint64_t cap = maxNodes_ + 1;
        return a >= cap || b >= cap - a ? cap : a + b;
    }

    // The object's byte offset, checked to lie between the header and the offset table.
    bool offsetOf(uint64_t object, uint64_t& offset) {
        offset = readBigEndian(bytes_ + tableOffset_ + object * offsetSize_, offsetSize_);
        if (offset < kHeaderSize || offset >= tableOffset_) return fail("object offset out of range in binary property list");
        return true;
    }

    // Whether [at, at + count * unit) lies before the offset table.
    bool fits(uint64_t at, uint64_t count, uint64_t unit) const {
        if (at > tableOffset_) return false;
        return count <= (tableOffset_ - at) / unit;
    }

    // The element count of a variable-length object, read from the marker's low nibble or the
    // integer that follows it; `at` moves past the count.
    bool lengthOf(uint8_t info, uint64_t& at, uint64_t& length) {
        if (info != 0xF) {
            length = info;
            return true;
        }
        if (!fits(at, 1, 1)) return fail("truncated length in binary property list");
        const uint8_t marker = bytes_[at++];
        const unsigned width = 1u << (marker & 0xF);
        if (marker >> 4 != kInteger || width > 8 || !fits(at, width, 1))
            return fail("bad length in binary property list");
        length = readBigEndian(bytes_ + at, width);
        at += width;
        return true;
    }

    bool reference(uint64_t at, uint64_t& object) {
        object = readBigEndian(bytes_ + at, refSize_);
        if (object >= count_) return fail("object reference out of range in binary property list");
        return true;
    }

    // Checks a dictionary key: a string holding no NUL.
    bool checkKey(uint64_t object) {
        uint64_t at;
        if (!offsetOf(object, at)) return false;
        const uint8_t marker = bytes_[at++];
        const uint8_t type = marker >> 4;
        uint64_t length;
        if (type != kASCIIString && type != kUTF16String) return fail("dictionary key is not a string in binary property list");
        if (!lengthOf(marker & 0xF, at, length)) return false;
        const uint64_t unit = type == kUTF16String ? 2 : 1;
        if (!fits(at, length, unit)) return fail("truncated key in binary property list");
        for (uint64_t i = 0; i < length; ++i) {
            const uint8_t* p = bytes_ + at + i * unit;
            if (p[0] == 0 && (unit == 1 || p[1] == 0)) return fail("dictionary key holds a NUL character in binary property list");
        }
        return true;
    }

    bool checkUTF16(uint64_t at, uint64_t length) {
        for (uint64_t i = 0; i < length; ++i) {
            const auto unit = static_cast<uint16_t>(readBigEndian(bytes_ + at + 2 * i, 2));
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                const uint16_t next = i + 1 < length ? static_cast<uint16_t>(readBigEndian(bytes_ + at + 2 * (i + 1), 2)) : 0;
                if (next < 0xDC00 || next > 0xDFFF) return fail("unpaired surrogate in binary property list string");
                ++i;
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                return fail("unpaired surrogate in binary property list string");
            }
        }
        return true;
    }

    // Visits an object at nesting `depth` (containers around it), leaving its expanded size in
    // state_. Recursion is bounded by the depth limit.
    bool visit(uint64_t object, std::size_t depth) {
        State& state = state_[object];
        if (state.mark == 2) return true;
        if (state.mark == 1) return fail("object refers to itself in binary property list");
        uint64_t at;
        if (!offsetOf(object, at)) return false;
        const uint8_t marker = bytes_[at++];
        const uint8_t type = marker >> 4, info = marker & 0xF;
        uint64_t length = 0;
        switch (type) {
        case kSimple:
            if (info != 0x0 && info != 0x8 && info != 0x9 && info != 0xF) return fail("unknown object in binary property list");
            break;
        case kInteger:
            if (info > 4 || !fits(at, 1u << info, 1)) return fail("bad integer in binary property list");
            break;
        case kReal:
            if ((info != 2 && info != 3) || !fits(at, 1u << info, 1)) return fail("bad real in binary property list");
            break;
        case kDate: {
            if (info != 3 || !fits(at, 8, 1)) return fail("bad date in binary property list");
            const uint64_t bits = readBigEndian(bytes_ + at, 8);
            double seconds;
            std::memcpy(&seconds, &bits, sizeof seconds);
            if (!(seconds >= secondsAtYear(0) && seconds < secondsAtYear(10000)))
                return fail("date out of range in binary property list");
            break;
        }
        case kData:
        case kASCIIString:
            if (!lengthOf(info, at, length)) return false;
            if (!fits(at, length, 1)) return fail("truncated object in binary property list");
            break;
        case kUTF16String:
            if (!lengthOf(info, at, length)) return false;
            if (!fits(at, length, 2)) return fail("truncated string in binary property list");
            if (!checkUTF16(at, length)) return false;
            break;
        case kUID:
            if (!fits(at, info + 1u, 1)) return fail("truncated reference in binary property list");
            break;
        case kArray:
        case kSet:
        case kDictionary:
            return visitContainer(object, type, info, at, depth);
        default:
            return fail("unknown object in binary property list");
        }
        state.mark = 2;
        state.nodes = 1;
        return true;
    }

    bool visitContainer(uint64_t object, uint8_t type, uint8_t info, uint64_t at, std::size_t depth) {
        if (depth >= PlistLimits::kMaxDepth) return fail("binary property list nested too deeply");
        uint64_t length;
        if (!lengthOf(info, at, length)) return false;
        const uint64_t references = type == kDictionary ? 2 : 1;
        if (length > UINT64_MAX / references || !fits(at, length * references, refSize_))
            return fail("truncated container in binary property list");
        state_[object].mark = 1;
        uint64_t nodes = 1;
        for (uint64_t i = 0; i < length * references; ++i) {
            uint64_t child;
            if (!reference(at + i * refSize_, child)) return false;
            if (type == kDictionary && i < length) {
                if (!checkKey(child)) return false;
                nodes = saturatedAdd(nodes, 1);
                continue;
            }
            if (!visit(child, depth + 1)) return false;
            nodes = saturatedAdd(nodes, state_[child].nodes);
            if (nodes > maxNodes_) return fail("binary property list expands to too many objects (shared references)");
        }
        state_[object] = {2, nodes};
        return true;
    }

    const uint8_t* bytes_;
    std::size_t size_;
    uint64_t maxNodes_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    uint64_t tableOffset_ = 0;
    uint64_t count_ = 0;
    std::vector<State> state_;
    std::string why_;
};

}  // namespace

std::string checkBinaryPlist(std::string_view bytes) { return BinaryPlistChecker(bytes).run(); }

}  // namespace codecs
