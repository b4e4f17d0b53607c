#pragma once
// Builds binary property lists object by object, for documents no writer produces: shared
// references, cycles, keys holding NUL, lone surrogates, dates out of range.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace codec_test {

class BinaryPlistBuilder {
public:
    using Ref = uint64_t;

    Ref integer(int64_t v) {
        std::string bytes(1, '\x13');
        appendBigEndian(bytes, static_cast<uint64_t>(v), 8);
        return add(std::move(bytes));
    }
    Ref date(double seconds) {
        uint64_t bits;
        std::memcpy(&bits, &seconds, sizeof bits);
        std::string bytes(1, '\x33');
        appendBigEndian(bytes, bits, 8);
        return add(std::move(bytes));
    }
    Ref ascii(const std::string& text) { return add(header(0x5, text.size()) + text); }
    Ref utf16(const std::vector<uint16_t>& units) {
        std::string bytes = header(0x6, units.size());
        for (uint16_t u : units) appendBigEndian(bytes, u, 2);
        return add(std::move(bytes));
    }
    Ref array(std::vector<Ref> items) {
        std::string head = header(0xA, items.size());
        return add(std::move(head), std::move(items));
    }
    Ref dict(const std::vector<Ref>& keys, const std::vector<Ref>& values) {
        std::vector<Ref> refs = keys;
        refs.insert(refs.end(), values.begin(), values.end());
        std::string head = header(0xD, keys.size());
        return add(std::move(head), std::move(refs));
    }
    // An object to fill in later (for references to objects not yet made).
    Ref reserve() { return add(std::string()); }
    void setArray(Ref at, std::vector<Ref> items) {
        std::string head = header(0xA, items.size());
        objects_[at] = {std::move(head), std::move(items)};
    }

    std::string build(Ref top) const {
        const std::size_t count = objects_.size();
        const unsigned refSize = count <= 0xFF ? 1 : count <= 0xFFFF ? 2 : 4;
        std::string out = "bplist00";
        std::vector<uint64_t> offsets;
        for (const Object& o : objects_) {
            offsets.push_back(out.size());
            out += o.head;
            for (Ref r : o.refs) appendBigEndian(out, r, refSize);
        }
        const uint64_t tableOffset = out.size();
        const unsigned offsetSize = tableOffset <= 0xFF ? 1 : tableOffset <= 0xFFFF ? 2 : 4;
        for (uint64_t offset : offsets) appendBigEndian(out, offset, offsetSize);
        out.append(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize);
        appendBigEndian(out, count, 8);
        appendBigEndian(out, top, 8);
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

private:
    struct Object {
        std::string head;
        std::vector<Ref> refs;
    };

    static void appendBigEndian(std::string& out, uint64_t v, unsigned size) {
        for (unsigned i = size; i-- > 0;) out += static_cast<char>(v >> (8 * i) & 0xFF);
    }
    static std::string header(unsigned type, std::size_t length) {
        std::string h;
        if (length < 15) {
            h += static_cast<char>(type << 4 | length);
        } else {
            h += static_cast<char>(type << 4 | 0xF);
            h += '\x13';
            appendBigEndian(h, length, 8);
        }
        return h;
    }
    Ref add(std::string head, std::vector<Ref> refs = {}) {
        objects_.push_back({std::move(head), std::move(refs)});
        return objects_.size() - 1;
    }

    std::vector<Object> objects_;
};

}  // namespace codec_test
