#include <crash_reporting/ZPKCRJSONCodec.h>

#include <platform_runtime/UTF16.h>
#include <platform_runtime/ValueClasses.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

namespace {

// The decoder's string scratch: at least the customary 10001 bytes, and big enough that
// every name and string of the input fits (names take the first quarter).
constexpr int kMinimumScratch = 10001;

int appendToBuffer(const char* data, int length, void* userData) {
    auto* out = static_cast<Value::Data*>(userData);
    out->insert(out->end(), data, data + length);
    return CRJSON_OK;
}

// Names and strings become text; a byte that is not valid UTF-8 becomes U+FFFD.
Value text(const char* utf8) {
    std::string_view bytes(utf8);
    unsigned char high = 0;
    for (char c : bytes) high |= static_cast<unsigned char>(c);
    if (high < 0x80 || isValidUtf8(bytes)) return Value(bytes);
    return Value(sanitizeUtf8(bytes));
}

std::string classNameOf(const Value& value) { return classForValue(value).name(); }

std::string utcText(const NSDate& date) {
    double seconds = std::trunc(date.timeIntervalSince1970());
    time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    gmtime_r(&t, &tm);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

}  // namespace

// Each open container collects its members in a list kept from one container to the next at
// its depth, and becomes a Value when it closes: an object's members are then put in key order
// once (a later member of the same name replaces the value and keeps the first key, as
// inserting one by one would), with one allocation for the container.
struct ZPKCRJSONCodec::Decoding {
    struct Open {
        Value name;  // Null for an array element or the top level
        bool object = false;
        std::vector<std::pair<Value, Value>> members;  // an object's, in the order read
        Value::Array elements;                         // an array's
    };
    std::vector<Open> stack;  // stack[0, depth) are open, innermost last; deeper ones are spare
    size_t depth = 0;
    Value top;
    bool hasTop = false;
    std::vector<std::pair<std::string_view, uint32_t>> order;  // scratch of close()

    // Member names repeat from object to object: the last Value made for a name is kept at a
    // slot picked by its hash and shared.
    static constexpr size_t kNameSlots = 128;
    struct NameSlot {
        std::string bytes;  // as read
        Value name;
    };
    NameSlot names[kNameSlots];

    Value name(const char* text);
    Value close(Open& open);
    Open& push() {
        if (depth == stack.size()) stack.emplace_back();
        return stack[depth++];
    }
};

Value ZPKCRJSONCodec::Decoding::name(const char* utf8) {
    std::string_view bytes(utf8);
    size_t hash = bytes.size();
    for (unsigned char c : bytes) hash = hash * 31 + c;
    NameSlot& slot = names[hash % kNameSlots];
    if (slot.bytes != bytes || !slot.name.isString()) {
        slot.bytes.assign(bytes);
        slot.name = text(utf8);
    }
    return slot.name;
}

Value ZPKCRJSONCodec::Decoding::close(Open& open) {
    if (!open.object) {
        Value array(Value::Array(std::make_move_iterator(open.elements.begin()),
                                 std::make_move_iterator(open.elements.end())));
        open.elements.clear();
        array.setMutable(true);
        return array;
    }
    auto& members = open.members;
    order.clear();
    order.reserve(members.size());
    for (size_t i = 0; i < members.size(); ++i)
        order.emplace_back(members[i].first.asString(), static_cast<uint32_t>(i));
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<Value, Value>> sorted;
    sorted.reserve(members.size());
    for (size_t i = 0; i < order.size();) {
        size_t last = i;
        while (last + 1 < order.size() && order[last + 1].first == order[i].first) ++last;
        sorted.emplace_back(std::move(members[order[i].second].first), std::move(members[order[last].second].second));
        i = last + 1;
    }
    members.clear();
    Value object(Value::Dictionary::fromSortedUnique(std::move(sorted)));
    object.setMutable(true);
    return object;
}
ZPKCRJSONCodec::ZPKCRJSONCodec(int32_t encodeOptions, int32_t decodeOptions)
    : prettyPrint_((encodeOptions & ZPKCRJSONEncodeOptionPretty) != 0),
      sorted_((encodeOptions & ZPKCRJSONEncodeOptionSorted) != 0),
      ignoreNullsInArrays_((decodeOptions & ZPKCRJSONDecodeOptionIgnoreNullInArray) != 0),
      ignoreNullsInObjects_((decodeOptions & ZPKCRJSONDecodeOptionIgnoreNullInObject) != 0),
      callbacks_(std::make_unique<CRJSONDecodeCallbacks>(CRJSONDecodeCallbacks{
          onBoolean, onFloatingPoint, onInteger, onNull, onString, onBeginObject, onBeginArray, onEndContainer,
          onEndData})),
      decoding_(std::make_unique<Decoding>()) {}

ZPKCRJSONCodec::~ZPKCRJSONCodec() = default;

std::shared_ptr<ZPKCRJSONCodec> ZPKCRJSONCodec::codecWithEncodeOptions(int32_t encodeOptions,
                                                                       int32_t decodeOptions) {
    return std::make_shared<ZPKCRJSONCodec>(encodeOptions, decodeOptions);
}

const Value& ZPKCRJSONCodec::topLevelContainer() const { return decoding_->top; }

void ZPKCRJSONCodec::setErrorText(const std::string& message) {
    error_ = NSError::errorWithDomain(kZPKCRJSONCodecErrorDomain, 0,
                                      Value::Dictionary{{NSLocalizedDescriptionKey, message}});
}

// ---- encoding -----------------------------------------------------------------------------

std::optional<Value::Data> ZPKCRJSONCodec::encode(const Value& object, int32_t options, NSErrorPtr* error) {
    Value::Data buffer;
    CRJSONEncoder encoder;
    crjson_beginEncode(&encoder, (options & ZPKCRJSONEncodeOptionPretty) != 0, appendToBuffer, &buffer);
    ZPKCRJSONCodec codec(options, 0);
    int result = codec.encodeValue(&encoder, object, nullptr);
    if (error) *error = codec.error_;
    if (result != CRJSON_OK) return std::nullopt;
    return buffer;
}

int ZPKCRJSONCodec::encodeValue(CRJSONEncoder* encoder, const Value& value, const char* name) {
    switch (value.type()) {
        case Value::Type::String: {
            std::string_view s = value.asString();
            int result = crjson_addStringElement(encoder, name, s.data(), int(s.size()));
            if (result == CRJSON_ERROR_INVALID_CHARACTER) setErrorText("Invalid character in " + std::string(s));
            return result;
        }
        case Value::Type::Bool: return crjson_addBooleanElement(encoder, name, value.asBool());
        case Value::Type::Double:
        case Value::Type::Decimal: return crjson_addFloatingPointElement(encoder, name, value.doubleValue());
        case Value::Type::Int: return crjson_addIntegerElement(encoder, name, value.asInt());
        case Value::Type::UInt:
            return crjson_addIntegerElement(encoder, name, static_cast<int64_t>(value.asUInt()));
        case Value::Type::Array: {
            int result = crjson_beginArray(encoder, name);
            if (result != CRJSON_OK) return result;
            for (const Value& element : value.asArray()) {
                result = encodeValue(encoder, element, nullptr);
                if (result != CRJSON_OK) return result;
            }
            return crjson_endContainer(encoder);
        }
        case Value::Type::Dictionary: {
            int result = crjson_beginObject(encoder, name);
            if (result != CRJSON_OK) return result;
            std::vector<std::pair<std::string, const Value*>> entries;
            entries.reserve(value.count());
            for (const auto& [key, element] : value.asDictionary())
                entries.emplace_back(key.isString() ? key.asStdString() : key.description(), &element);
            if (sorted_)
                std::stable_sort(entries.begin(), entries.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
            for (const auto& [key, element] : entries) {
                result = encodeValue(encoder, *element, key.c_str());
                if (result != CRJSON_OK) return result;
            }
            return crjson_endContainer(encoder);
        }
        case Value::Type::Null: return crjson_addNullElement(encoder, name);
        case Value::Type::Date: {
            std::string utc = utcText(value.asDate());
            return crjson_addStringElement(encoder, name, utc.c_str(), int(utc.size()));
        }
        case Value::Type::Data: {
            const Value::Data& data = value.asData();
            return crjson_addDataElement(encoder, name, reinterpret_cast<const char*>(data.data()),
                                         int(data.size()));
        }
        default:
            setErrorText("Could not determine type of " + classNameOf(value));
            return CRJSON_ERROR_INVALID_DATA;
    }
}

// ---- decoding -----------------------------------------------------------------------------

Value ZPKCRJSONCodec::decode(const Value::Data& json, int32_t options, NSErrorPtr* error) {
    return decode(std::string_view(reinterpret_cast<const char*>(json.data()), json.size()), options, error);
}

Value ZPKCRJSONCodec::decode(std::string_view json, int32_t options, NSErrorPtr* error) {
    ZPKCRJSONCodec codec(0, options);
    size_t scratchLength = std::max<size_t>(kMinimumScratch, json.size() * 4 + 1024);
    // Left uninitialised: the decoder writes every byte it reads back.
    std::unique_ptr<char[]> scratch(new char[scratchLength]);
    int errorOffset = 0;
    int result = crjson_decode(json.data(), int(json.size()), scratch.get(), int(scratchLength),
                               codec.callbacks_.get(), &codec, &errorOffset);
    if (result != CRJSON_OK && !codec.error_)
        codec.setErrorText(std::string(crjson_stringForError(result)) + " (offset " + std::to_string(errorOffset) +
                           ")");
    return codec.finishDecoding(result, options, error);
}

Value ZPKCRJSONCodec::decodeElements(const std::function<int(const CRJSONDecodeCallbacks*, void*)>& produce,
                                     int32_t options, NSErrorPtr* error) {
    ZPKCRJSONCodec codec(0, options);
    int result = produce(codec.callbacks_.get(), &codec);
    if (result != CRJSON_OK && !codec.error_) codec.setErrorText(crjson_stringForError(result));
    return codec.finishDecoding(result, options, error);
}

Value ZPKCRJSONCodec::finishDecoding(int result, int32_t options, NSErrorPtr* error) {
    if (error) *error = error_;
    if (result != CRJSON_OK && !(options & ZPKCRJSONDecodeOptionKeepPartialObject)) return nullptr;
    return takeTopLevelContainer();
}

// Folds the containers still open into their parents, so a partial tree holds them.
Value ZPKCRJSONCodec::takeTopLevelContainer() {
    auto& d = *decoding_;
    while (d.depth > 0) {
        Value container = d.close(d.stack[d.depth - 1]);
        Value name = std::move(d.stack[d.depth - 1].name);
        --d.depth;
        if (d.depth == 0) {
            d.top = std::move(container);
        } else {
            Decoding::Open& parent = d.stack[d.depth - 1];
            if (!parent.object) parent.elements.push_back(std::move(container));
            else parent.members.emplace_back(name.isNull() ? Value("") : std::move(name), std::move(container));
        }
    }
    return d.top;
}

int ZPKCRJSONCodec::addValue(const char* name, Value value) {
    auto& d = *decoding_;
    if (d.depth == 0) {
        setErrorText("Type " + classNameOf(value) + " not allowed as top level container");
        return CRJSON_ERROR_INVALID_DATA;
    }
    Decoding::Open& current = d.stack[d.depth - 1];
    if (!current.object) current.elements.push_back(std::move(value));
    else current.members.emplace_back(name ? d.name(name) : Value(""), std::move(value));
    return CRJSON_OK;
}

int ZPKCRJSONCodec::beginContainer(const char* name, bool object) {
    auto& d = *decoding_;
    if (d.hasTop && d.depth == 0)
        return addValue(name, object ? Value::mutableDictionary() : Value::mutableArray());
    d.hasTop = true;
    Decoding::Open& open = d.push();
    open.name = name ? d.name(name) : Value();
    open.object = object;
    return CRJSON_OK;
}

int ZPKCRJSONCodec::onBoolean(const char* name, bool value, void* codec) {
    return static_cast<ZPKCRJSONCodec*>(codec)->addValue(name, Value(value));
}

int ZPKCRJSONCodec::onFloatingPoint(const char* name, double value, void* codec) {
    return static_cast<ZPKCRJSONCodec*>(codec)->addValue(name, Value(value));
}

int ZPKCRJSONCodec::onInteger(const char* name, int64_t value, void* codec) {
    return static_cast<ZPKCRJSONCodec*>(codec)->addValue(name, Value(value));
}

int ZPKCRJSONCodec::onNull(const char* name, void* codec) {
    auto* self = static_cast<ZPKCRJSONCodec*>(codec);
    auto& d = *self->decoding_;
    if (d.depth > 0) {
        bool inArray = !d.stack[d.depth - 1].object;
        if ((inArray && self->ignoreNullsInArrays_) || (!inArray && self->ignoreNullsInObjects_)) return CRJSON_OK;
    }
    return self->addValue(name, Value());
}

int ZPKCRJSONCodec::onString(const char* name, const char* value, void* codec) {
    return static_cast<ZPKCRJSONCodec*>(codec)->addValue(name, text(value));
}

int ZPKCRJSONCodec::onBeginObject(const char* name, void* codec) {
    return static_cast<ZPKCRJSONCodec*>(codec)->beginContainer(name, true);
}

int ZPKCRJSONCodec::onBeginArray(const char* name, void* codec) {
    return static_cast<ZPKCRJSONCodec*>(codec)->beginContainer(name, false);
}

int ZPKCRJSONCodec::onEndContainer(void* codec) {
    auto* self = static_cast<ZPKCRJSONCodec*>(codec);
    auto& d = *self->decoding_;
    if (d.depth == 0) {
        self->setErrorText("Already at the top level; no container left to end");
        return CRJSON_ERROR_INVALID_DATA;
    }
    Decoding::Open& open = d.stack[d.depth - 1];
    Value container = d.close(open);
    Value name = std::move(open.name);
    --d.depth;
    if (d.depth == 0) {
        d.top = std::move(container);
        return CRJSON_OK;
    }
    Decoding::Open& parent = d.stack[d.depth - 1];
    if (!parent.object) parent.elements.push_back(std::move(container));
    else parent.members.emplace_back(name.isNull() ? Value("") : std::move(name), std::move(container));
    return CRJSON_OK;
}

int ZPKCRJSONCodec::onEndData(void*) { return CRJSON_OK; }
