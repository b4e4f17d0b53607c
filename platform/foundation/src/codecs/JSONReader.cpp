// NSJSONSerialization reading: RapidJSON's SAX reader feeding a stack of Values.

#include <platform_foundation/NSJSONSerialization.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <platform_foundation/RapidJSONVectorScans.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <platform_foundation/CodecErrors.h>

#include "codecs/StrictUTF8.h"

namespace {

// Reusable per-thread parse state: the value stack and the reader keep their capacity between
// documents, so a parse does not pay for regrowing them.
// A dictionary member while its object is being closed: the key's text and the key's place on
// the value stack (the value follows it).
struct Entry {
    std::string_view key;
    std::size_t index;
};

// A copy of a document larger than this is not kept for the next parse.
constexpr std::size_t kMaxKeptCopy = 4 << 20;
// NUL bytes after the in-place copy: one vector load's width.
constexpr std::size_t kVectorPadding = 16;

struct BuilderBuffers {
    std::vector<Value> stack;
    std::vector<Entry> order;
    std::unordered_map<std::string_view, Value> keys;
    std::deque<Value> keyTexts;  // the keys of `keys`: views into these (short text lives inline)
    // Per object depth, the key last seen at each member position: sibling objects usually spell
    // their keys in the same order, so most keys are found here without hashing.
    std::vector<std::vector<std::pair<std::string_view, Value>>> keyAtPosition;
    std::vector<std::size_t> memberCounts;  // keys seen so far in each open object
    // Per object depth: the keys of the last object closed there (document order) and the order
    // that sorts them. Sibling objects usually repeat both, so their keys are not sorted again.
    struct KeyOrder {
        std::vector<std::string> keys;
        std::vector<uint32_t> sorted;  // positions in `keys`, in key order
    };
    std::vector<KeyOrder> keyOrders;
    std::unique_ptr<char[]> terminated;  // the document, NUL-terminated and padded
    std::size_t terminatedCapacity = 0;
    rapidjson::Reader reader;
};

class ValueBuilder {
public:
    using Ch = char;

    ValueBuilder(NSJSONReadingOptions options, BuilderBuffers& buffers)
        : mutableContainers_(options & NSJSONReadingMutableContainers),
          mutableLeaves_(options & NSJSONReadingMutableLeaves),
          stack_(buffers.stack),
          order_(buffers.order),
          keys_(buffers.keys),
          keyTexts_(buffers.keyTexts),
          keyAtPosition_(buffers.keyAtPosition),
          memberCounts_(buffers.memberCounts),
          keyOrders_(buffers.keyOrders) {
        clear();
    }
    ~ValueBuilder() { clear(); }

    // Values are made in their place on the stack: a value made elsewhere and moved in is read
    // back whole right after being written in parts, which stalls the store.
    bool Null() { return push(); }
    bool Bool(bool b) { return push(b); }
    bool Int(int i) { return push(static_cast<int64_t>(i)); }
    bool Uint(unsigned u) { return push(static_cast<int64_t>(u)); }
    bool Int64(int64_t i) { return push(i); }
    bool Uint64(uint64_t u) {
        if (u <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return push(static_cast<int64_t>(u));
        return push(u);
    }
    bool Double(double d) { return push(d); }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }  // not enabled

    bool String(const char* s, rapidjson::SizeType length, bool) {
        if (!checkSurrogates(s, length)) return false;
        Value& v = stack_.emplace_back(std::string_view(s, length), arena_);
        if (mutableLeaves_) v.setMutable(true);
        return true;
    }
    bool Key(const char* s, rapidjson::SizeType length, bool) {
        const std::string_view text(s, length);
        const std::size_t position = memberCounts_.back()++;
        std::vector<std::pair<std::string_view, Value>>* known =
            depth_ <= kMaxKeyOrderDepth && position < kMaxKeyPositions ? &keysAtDepth(depth_) : nullptr;
        if (known && position < known->size() && sameText((*known)[position].first, text)) {
            stack_.push_back((*known)[position].second);
            return true;
        }
        // Documents repeat the same few keys in every object: share one string payload
        // (copy-on-write) instead of allocating each again. An interned key was checked once.
        if (length <= kMaxInternedKey) {
            auto it = keys_.find(text);
            if (it == keys_.end() && !checkSurrogates(s, length)) return false;
            if (it == keys_.end() && keys_.size() < kMaxInternedKeys) {
                const Value& key = keyTexts_.emplace_back(text);
                it = keys_.emplace(key.asString(), key).first;
            }
            if (it != keys_.end()) {
                if (known) {
                    if (position >= known->size()) known->resize(position + 1);
                    (*known)[position] = {it->first, it->second};
                }
                stack_.push_back(it->second);
                return true;
            }
        }
        if (length > kMaxInternedKey && !checkSurrogates(s, length)) return false;
        stack_.emplace_back(text, arena_);
        return true;
    }

    bool StartObject() {
        memberCounts_.push_back(0);
        return enter();
    }
    bool StartArray() { return enter(); }

    bool EndObject(rapidjson::SizeType members) {
        --depth_;
        memberCounts_.pop_back();
        const std::size_t first = stack_.size() - 2 * static_cast<std::size_t>(members);
        // Keys are strings, whose Value order is their byte order: sort the entries here (a
        // stable sort keeps repeated keys in document order, and the last of them wins) and hand
        // the dictionary its entries in order, with no search per insertion.
        std::vector<Value::Dictionary::value_type> entries;
        entries.reserve(members);
        BuilderBuffers::KeyOrder* known = depth_ < kMaxKeyOrderDepth ? &keyOrderAt(depth_) : nullptr;
        if (known && sameKeys(*known, first)) {
            for (uint32_t position : known->sorted) {
                const std::size_t i = first + 2 * static_cast<std::size_t>(position);
                entries.emplace_back(std::move(stack_[i]), std::move(stack_[i + 1]));
            }
        } else {
            order_.clear();
            for (std::size_t i = first; i < stack_.size(); i += 2) order_.push_back({stack_[i].asString(), i});
            bool strictlyAscending = true;
            for (std::size_t n = 1; n < order_.size() && strictlyAscending; ++n)
                strictlyAscending = order_[n - 1].key < order_[n].key;
            if (!strictlyAscending) sortStably(order_);
            // The keys are views into the stack's values: read them all before those move out.
            bool repeated = false;
            for (std::size_t n = 1; n < order_.size() && !repeated; ++n) repeated = order_[n].key == order_[n - 1].key;
            if (known) remember(*known, first, repeated);
            for (std::size_t n = 0; n < order_.size(); ++n) {
                if (n + 1 < order_.size() && order_[n + 1].key == order_[n].key) continue;
                const std::size_t i = order_[n].index;
                entries.emplace_back(std::move(stack_[i]), std::move(stack_[i + 1]));
            }
        }
        stack_.resize(first);
        Value& v = stack_.emplace_back(Value::Dictionary::fromSortedUnique(std::move(entries)), arena_);
        if (mutableContainers_) v.setMutable(true);
        return true;
    }

    bool EndArray(rapidjson::SizeType elements) {
        --depth_;
        const std::size_t first = stack_.size() - elements;
        Value::Array array(std::make_move_iterator(stack_.begin() + static_cast<std::ptrdiff_t>(first)),
                           std::make_move_iterator(stack_.end()));
        stack_.resize(first);
        Value& v = stack_.emplace_back(std::move(array), arena_);
        if (mutableContainers_) v.setMutable(true);
        return true;
    }

    Value takeResult() { return stack_.empty() ? Value() : std::move(stack_.front()); }
    const std::string& failure() const { return failure_; }
    // Whether the text may hold "\u" escapes; without them no string can decode to a surrogate.
    void setUnicodeEscapes(bool present) { unicodeEscapes_ = present; }

private:
    static constexpr std::size_t kMaxInternedKey = 64;
    static constexpr std::size_t kMaxInternedKeys = 4096;
    static constexpr std::size_t kMaxKeyPositions = 256;
    static constexpr std::size_t kInsertionSortLimit = 32;
    static constexpr std::size_t kMaxKeyOrderDepth = 64;
    static constexpr std::size_t kMaxKeyOrderMembers = 64;

    void clear() {
        stack_.clear();
        keys_.clear();
        keyTexts_.clear();
        for (auto& known : keyAtPosition_) known.clear();
        memberCounts_.clear();
        keyOrders_.clear();
    }

    std::vector<std::pair<std::string_view, Value>>& keysAtDepth(std::size_t depth) {
        if (depth >= keyAtPosition_.size()) keyAtPosition_.resize(depth + 1);
        return keyAtPosition_[depth];
    }

    BuilderBuffers::KeyOrder& keyOrderAt(std::size_t depth) {
        if (depth >= keyOrders_.size()) keyOrders_.resize(depth + 1);
        return keyOrders_[depth];
    }

    // Whether the members from `first` on the stack have exactly the known keys, in order.
    bool sameKeys(const BuilderBuffers::KeyOrder& known, std::size_t first) const {
        if (known.sorted.empty() || known.keys.size() * 2 != stack_.size() - first) return false;
        for (std::size_t n = 0; n < known.keys.size(); ++n)
            if (!sameText(stack_[first + 2 * n].asString(), known.keys[n])) return false;
        return true;
    }

    // Keeps the key order of the object just sorted in order_ (not of one with repeated keys,
    // whose order also drops members).
    void remember(BuilderBuffers::KeyOrder& known, std::size_t first, bool repeated) {
        known.sorted.clear();
        if (repeated || order_.size() > kMaxKeyOrderMembers) {
            known.keys.clear();
            return;
        }
        known.keys.resize(order_.size());
        for (const Entry& e : order_) {
            const auto position = static_cast<uint32_t>((e.index - first) / 2);
            known.keys[position].assign(e.key);
            known.sorted.push_back(position);
        }
    }

    // Short texts are compared in two overlapping word loads that stay inside both texts: the
    // reader has just written the NUL that ends a key parsed in place, and a wider load over it
    // would wait for that store.
    static bool sameText(std::string_view a, std::string_view b) {
        const std::size_t n = a.size();
        if (n != b.size()) return false;
        if (n >= 8 && n <= 16) return sameWords<uint64_t>(a, b);
        if (n >= 4 && n < 8) return sameWords<uint32_t>(a, b);
        return a == b;
    }
    // Equal texts of the same length, 1 to 2 words long: the first word and the last.
    template <class Word>
    static bool sameWords(std::string_view a, std::string_view b) {
        const std::size_t last = a.size() - sizeof(Word);
        Word x[2], y[2];
        std::memcpy(&x[0], a.data(), sizeof(Word));
        std::memcpy(&x[1], a.data() + last, sizeof(Word));
        std::memcpy(&y[0], b.data(), sizeof(Word));
        std::memcpy(&y[1], b.data() + last, sizeof(Word));
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }

    // Objects are small: an insertion sort beats a merge sort that allocates its buffer.
    static void sortStably(std::vector<Entry>& entries) {
        if (entries.size() > kInsertionSortLimit) {
            std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
            return;
        }
        for (std::size_t i = 1; i < entries.size(); ++i) {
            Entry moving = entries[i];
            std::size_t j = i;
            for (; j > 0 && moving.key < entries[j - 1].key; --j) entries[j] = entries[j - 1];
            entries[j] = moving;
        }
    }

    template <class... Args>
    bool push(Args&&... args) {
        stack_.emplace_back(std::forward<Args>(args)...);
        return true;
    }

    bool enter() {
        if (++depth_ > NSJSONSerialization::kMaxDepth) {
            failure_ = "Too many nested arrays or dictionaries.";
            return false;
        }
        return true;
    }

    // The reader validates raw UTF-8, but a "\uDC00" escape on its own decodes to an encoded
    // surrogate (ED B0 80); a paired escape never yields the ED A0..BF form.
    bool checkSurrogates(const char* s, std::size_t length) {
        if (!unicodeEscapes_) return true;
        const char* end = s + length;
        for (const char* p = s; p < end; ++p) {
            p = static_cast<const char*>(std::memchr(p, 0xED, static_cast<std::size_t>(end - p)));
            if (!p) return true;
            if (p + 1 < end && static_cast<unsigned char>(p[1]) >= 0xA0) {
                failure_ = "Unpaired unicode surrogate in string.";
                return false;
            }
        }
        return true;
    }

    bool mutableContainers_;
    bool mutableLeaves_;
    std::vector<Value>& stack_;
    std::vector<Entry>& order_;
    std::unordered_map<std::string_view, Value>& keys_;
    std::deque<Value>& keyTexts_;
    std::vector<std::vector<std::pair<std::string_view, Value>>>& keyAtPosition_;
    std::vector<std::size_t>& memberCounts_;
    std::vector<BuilderBuffers::KeyOrder>& keyOrders_;
    std::size_t depth_ = 0;
    bool unicodeEscapes_ = true;
    std::string failure_;
    // Declared last: destroyed after clear() released the values on the stack.
    ValueArena arena_;
};

const char* describe(rapidjson::ParseErrorCode code, std::string_view text, std::size_t offset) {
    using namespace rapidjson;
    const bool controlCharacter = offset < text.size() && static_cast<unsigned char>(text[offset]) < 0x20;
    if (controlCharacter && (code == kParseErrorStringEscapeInvalid || code == kParseErrorStringInvalidEncoding))
        return "Unescaped control character.";
    switch (code) {
    case kParseErrorDocumentEmpty:
        return "No value.";
    case kParseErrorDocumentRootNotSingular:
        return "Garbage at end.";
    case kParseErrorValueInvalid:
        return "Invalid value.";
    case kParseErrorObjectMissName:
        return "No string key for value in object.";
    case kParseErrorObjectMissColon:
        return "No ':' after key in object.";
    case kParseErrorObjectMissCommaOrCurlyBracket:
        return "Badly formed object.";
    case kParseErrorArrayMissCommaOrSquareBracket:
        return "Badly formed array.";
    case kParseErrorStringUnicodeEscapeInvalidHex:
    case kParseErrorStringEscapeInvalid:
        return "Invalid escape sequence.";
    case kParseErrorStringUnicodeSurrogateInvalid:
        return "Missing low code point in surrogate pair.";
    case kParseErrorStringMissQuotationMark:
        return "Unterminated string.";
    case kParseErrorStringInvalidEncoding:
        return "Invalid UTF-8 in string.";
    case kParseErrorNumberTooBig:
    case kParseErrorNumberMissFraction:
    case kParseErrorNumberMissExponent:
        return "Invalid number.";
    default:
        return "Invalid value.";
    }
}

NSErrorPtr makeError(const std::string& what, std::string_view text, std::size_t offset) {
    std::size_t line = 1, column = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
    Value::Dictionary info;
    info[Value(NSDebugDescriptionErrorKey)] = Value(what + " around line " + std::to_string(line) + ", column " +
                                                    std::to_string(column) + ".");
    info[Value(NSJSONSerializationErrorIndex)] = Value(static_cast<int64_t>(offset));
    info[Value(NSLocalizedDescriptionKey)] =
        Value("The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    return NSError::errorWithDomain(NSCocoaErrorDomain, NSPropertyListReadCorruptError, std::move(info));
}

}  // namespace

Value NSJSONSerialization::JSONObjectWithData(std::string_view data, NSJSONReadingOptions options, NSErrorPtr* error) {
    std::size_t skipped = 0;
    if (data.substr(0, 3) == "\xEF\xBB\xBF") skipped = 3;  // a UTF-8 byte-order mark
    const std::string_view text = data.substr(skipped);
    auto fail = [&](const std::string& what, std::size_t offset) {
        if (error) *error = makeError(what, data, offset + skipped);
        return Value();
    };
    if (text.empty()) return fail("Unable to parse empty data.", 0);

    // A handler that parses again (a nested call from a decoding callback) gets fresh buffers.
    thread_local BuilderBuffers shared;
    thread_local bool sharedInUse = false;
    std::unique_ptr<BuilderBuffers> own;
    BuilderBuffers* buffers = &shared;
    if (sharedInUse) {
        own = std::make_unique<BuilderBuffers>();
        buffers = own.get();
    }
    struct InUse {
        bool& flag;
        bool active;
        ~InUse() {
            if (active) flag = false;
        }
    } inUse{sharedInUse, buffers == &shared};
    if (buffers == &shared) sharedInUse = true;

    ValueBuilder builder(options, *buffers);
    rapidjson::Reader& reader = buffers->reader;
    constexpr unsigned kFlags = rapidjson::kParseFullPrecisionFlag;
    rapidjson::ParseResult result;
    std::size_t consumed = 0;
    // Text that passes the strict check cannot fail the reader's own encoding check, so the reader
    // can skip it; other text is parsed with the check, which finds and names the fault.
    // The check copies the text as it goes: a NUL-terminated copy is parsed in place, which lets
    // the reader scan in vectors and decode strings where they stand instead of copying each out.
    // The vector scans load whole aligned 16-byte blocks and may pass the terminating NUL by up to
    // 15 bytes: the padding keeps every such load inside the copy. The reader stops at the first
    // NUL, so the padding is never parsed.
    const std::size_t copyBytes = text.size() + kVectorPadding;
    if (buffers->terminatedCapacity < copyBytes) {
        buffers->terminated.reset();
        buffers->terminated = std::make_unique_for_overwrite<char[]>(copyBytes);
        buffers->terminatedCapacity = copyBytes;
    }
    char* copy = buffers->terminated.get();
    bool backslash = false;
    if (codecs::copyIfStrictUTF8(text, copy, backslash)) {
        std::memset(copy + text.size(), 0, kVectorPadding);
        builder.setUnicodeEscapes(backslash && text.find("\\u") != std::string_view::npos);
        rapidjson::InsituStringStream stream(copy);
        result = reader.Parse<kFlags | rapidjson::kParseInsituFlag>(stream, builder);
        consumed = stream.Tell();
    } else {
        rapidjson::MemoryStream stream(text.data(), text.size());
        result = reader.Parse<kFlags | rapidjson::kParseValidateEncodingFlag>(stream, builder);
        consumed = stream.Tell();
    }
    if (buffers->terminatedCapacity > kMaxKeptCopy) {
        buffers->terminated.reset();
        buffers->terminatedCapacity = 0;
    }
    if (result.IsError()) {
        if (result.Code() == rapidjson::kParseErrorTermination && !builder.failure().empty())
            return fail(builder.failure(), result.Offset());
        return fail(describe(result.Code(), text, result.Offset()), result.Offset());
    }
    // The reader stops at a NUL byte as if it were the end; anything after it is garbage.
    if (consumed < text.size()) return fail("Garbage at end.", consumed);

    Value root = builder.takeResult();
    if (!(options & NSJSONReadingFragmentsAllowed) && !root.isArray() && !root.isDictionary())
        return fail("JSON text did not start with array or object and option to allow fragments not set.", 0);
    return root;
}

Value NSJSONSerialization::JSONObjectWithData(const Value::Data& data, NSJSONReadingOptions options,
                                              NSErrorPtr* error) {
    return JSONObjectWithData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), options,
                              error);
}
