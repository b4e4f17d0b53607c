#include <analytics_common/ZVTStruct.h>

#include <cinttypes>
#include <cstdio>
#include <type_traits>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>

#include <platform_foundation/NSCoder.h>

using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::protocol::TType;
namespace tp = apache::thrift::protocol;

namespace {

TType wireType(ZVTStruct::Kind kind) {
    switch (kind) {
        case ZVTStruct::Kind::String:
        case ZVTStruct::Kind::Binary: return tp::T_STRING;
        case ZVTStruct::Kind::I32: return tp::T_I32;
        case ZVTStruct::Kind::I64: return tp::T_I64;
        case ZVTStruct::Kind::Struct: return tp::T_STRUCT;
        case ZVTStruct::Kind::Map: return tp::T_MAP;
        case ZVTStruct::Kind::List: return tp::T_LIST;
    }
    return tp::T_STOP;
}

using apache::thrift::transport::TMemoryBuffer;
using Binary = apache::thrift::protocol::TBinaryProtocol;

// Rejects a count that cannot fit in what is left of a memory buffer (other transports are
// bounded by the protocol's own limits only), before anything is reserved.
void checkAnnounced(TMemoryBuffer* memory, int64_t count, int64_t minBytesEach) {
    if (count < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
    if (memory && count * minBytesEach > static_cast<int64_t>(memory->available_read()))
        throw TProtocolException(TProtocolException::SIZE_LIMIT);
}

// A string or binary: the announced length is checked against the buffer before the body
// is read (the library would size its string to the announced length first).
bool isWireType(uint8_t byte) {
    switch (byte) {
        case tp::T_VOID:
        case tp::T_BOOL:
        case tp::T_BYTE:
        case tp::T_DOUBLE:
        case tp::T_I16:
        case tp::T_I32:
        case tp::T_U64:
        case tp::T_I64:
        case tp::T_STRING:
        case tp::T_STRUCT:
        case tp::T_MAP:
        case tp::T_SET:
        case tp::T_LIST:
        case tp::T_UTF8:
        case tp::T_UTF16: return true;
        default: return false;
    }
}

// The type bytes of the binary protocol's next field header (one byte, where a stop ends the
// struct) or map or list header, peeked in a memory buffer: a byte that names no wire type is
// refused before the library stores it in its type enumeration, where a value outside the
// enumeration is undefined.
template <class P>
void refuseUnknownTypes(TMemoryBuffer* memory, uint32_t typeBytes, bool stopAllowed) {
    if constexpr (std::is_same_v<P, Binary>) {
        if (!memory) return;
        uint32_t want = typeBytes;
        const uint8_t* head = memory->borrow(nullptr, &want);
        if (!head) return;  // too short: the library's read reports the truncation
        if (stopAllowed && head[0] == tp::T_STOP) return;
        for (uint32_t i = 0; i < typeBytes; ++i)
            if (!isWireType(head[i])) throw TProtocolException(TProtocolException::INVALID_DATA);
    }
}

template <class P>
uint32_t readText(P* protocol, TMemoryBuffer* memory, std::string& out, bool binary) {
    if (memory) {
        uint32_t want = 4;
        const uint8_t* head = memory->borrow(nullptr, &want);
        if (head) {
            const int32_t length = static_cast<int32_t>((uint32_t(head[0]) << 24) | (uint32_t(head[1]) << 16) |
                                                        (uint32_t(head[2]) << 8) | uint32_t(head[3]));
            if (length < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
            if (static_cast<int64_t>(length) > static_cast<int64_t>(memory->available_read()) - 4)
                throw TProtocolException(TProtocolException::SIZE_LIMIT);
        }
    }
    return binary ? protocol->readBinary(out) : protocol->readString(out);
}

uint32_t writeText(Binary* protocol, std::string_view text) { return protocol->writeString(text); }
uint32_t writeText(TProtocol* protocol, std::string_view text) { return protocol->writeString(std::string(text)); }

}  // namespace

// Reading and writing, instantiated for the binary protocol (calls the compiler can bind
// directly) and for any other protocol (virtual calls).
struct ZVTStructAccess {
    template <class P>
    static Value readElement(P* protocol, TMemoryBuffer* memory, const ZVTStruct::Field& field, uint32_t& consumed) {
        auto element = field.make();
        consumed += read(*element, protocol, memory);
        return Value(element);
    }

    template <class P>
    static uint32_t read(ZVTStruct& self, P* protocol, TMemoryBuffer* memory) {
        using Kind = ZVTStruct::Kind;
        const auto& table = self.fields();
        uint32_t consumed = 0;
        std::string ignoredName;
        consumed += protocol->readStructBegin(ignoredName);
        for (;;) {
            TType type;
            int16_t id;
            refuseUnknownTypes<P>(memory, 1, true);
            consumed += protocol->readFieldBegin(ignoredName, type, id);
            if (type == tp::T_STOP) break;
            std::size_t index = table.size();
            for (std::size_t i = 0; i < table.size(); ++i) {
                if (table[i].id == id) {
                    index = i;
                    break;
                }
            }
            if (index == table.size() || wireType(table[index].kind) != type) {
                consumed += protocol->skip(type);
                consumed += protocol->readFieldEnd();
                continue;
            }
            const ZVTStruct::Field& field = table[index];
            switch (field.kind) {
                case Kind::String:
                case Kind::Binary: {
                    std::string text;
                    consumed += readText(protocol, memory, text, field.kind == Kind::Binary);
                    if (field.kind == Kind::Binary)
                        self.setField(index, Value(Value::Data(text.begin(), text.end())));
                    else
                        self.setString(index, std::move(text));
                    break;
                }
                case Kind::I32: {
                    int32_t v = 0;
                    consumed += protocol->readI32(v);
                    self.setField(index, Value(v));
                    break;
                }
                case Kind::I64: {
                    int64_t v = 0;
                    consumed += protocol->readI64(v);
                    self.setField(index, Value(v));
                    break;
                }
                case Kind::Struct: self.setField(index, readElement(protocol, memory, field, consumed)); break;
                case Kind::Map: {
                    TType keyType, valueType;
                    uint32_t count = 0;
                    refuseUnknownTypes<P>(memory, 2, false);
                    consumed += protocol->readMapBegin(keyType, valueType, count);
                    // Each entry takes at least a 4-byte key length and a field stop.
                    checkAnnounced(memory, count, 5);
                    Value::Dictionary entries;
                    entries.reserve(count);
                    for (uint32_t i = 0; i < count; ++i) {
                        std::string key;
                        consumed += readText(protocol, memory, key, false);
                        entries[Value(std::move(key))] = readElement(protocol, memory, field, consumed);
                    }
                    consumed += protocol->readMapEnd();
                    Value map(std::move(entries));
                    map.setMutable(true);
                    self.setField(index, std::move(map));
                    break;
                }
                case Kind::List: {
                    TType elementType;
                    uint32_t count = 0;
                    refuseUnknownTypes<P>(memory, 1, false);
                    consumed += protocol->readListBegin(elementType, count);
                    checkAnnounced(memory, count, 1);
                    Value::Array items;
                    items.reserve(count);
                    for (uint32_t i = 0; i < count; ++i) items.push_back(readElement(protocol, memory, field, consumed));
                    consumed += protocol->readListEnd();
                    Value list(std::move(items));
                    list.setMutable(true);
                    self.setField(index, std::move(list));
                    break;
                }
            }
            consumed += protocol->readFieldEnd();
        }
        consumed += protocol->readStructEnd();
        return consumed;
    }

    template <class P>
    static void writeStruct(P* protocol, const Value& v, uint32_t& written) {
        if (auto* record = dynamic_cast<const ZVTStruct*>(v.asObject().get())) {
            written += write(*record, protocol);
        } else {
            // A hole in a container still has to be a valid (empty) struct on the wire.
            written += protocol->writeStructBegin("");
            written += protocol->writeFieldStop();
            written += protocol->writeStructEnd();
        }
    }

    template <class P>
    static uint32_t write(const ZVTStruct& self, P* protocol) {
        using Kind = ZVTStruct::Kind;
        const auto& table = self.fields();
        uint32_t written = protocol->writeStructBegin(self.structName());
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (!self.fieldIsSet(i)) continue;
            const ZVTStruct::Field& field = table[i];
            const Value& v = self.slots_[i].value;
            const bool scalar = field.kind == Kind::I32 || field.kind == Kind::I64;
            if (field.kind == Kind::String ? !self.hasText(i) : (!scalar && v.isNull())) continue;
            written += protocol->writeFieldBegin(field.name, wireType(field.kind), field.id);
            switch (field.kind) {
                case Kind::String: written += writeText(protocol, self.slots_[i].text); break;
                case Kind::Binary: {
                    const auto& bytes = v.asData();
                    written += writeText(protocol, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
                    break;
                }
                case Kind::I32: written += protocol->writeI32(static_cast<int32_t>(v.asInt())); break;
                case Kind::I64: written += protocol->writeI64(v.asInt()); break;
                case Kind::Struct: writeStruct(protocol, v, written); break;
                case Kind::Map: {
                    const auto& entries = v.asDictionary();
                    written += protocol->writeMapBegin(tp::T_STRING, tp::T_STRUCT, static_cast<uint32_t>(entries.size()));
                    for (const auto& [key, value] : entries) {
                        if (key.isString()) written += writeText(protocol, key.asString());
                        else written += writeText(protocol, key.stringValue());
                        writeStruct(protocol, value, written);
                    }
                    written += protocol->writeMapEnd();
                    break;
                }
                case Kind::List: {
                    const auto& items = v.asArray();
                    written += protocol->writeListBegin(tp::T_STRUCT, static_cast<uint32_t>(items.size()));
                    for (const auto& item : items) writeStruct(protocol, item, written);
                    written += protocol->writeListEnd();
                    break;
                }
            }
            written += protocol->writeFieldEnd();
        }
        written += protocol->writeFieldStop();
        written += protocol->writeStructEnd();
        return written;
    }
};

namespace {

std::string quoted(const Value& v) {
    if (v.isNull()) return "\"(null)\"";
    if (v.isString()) return "\"" + std::string(v.asString()) + "\"";
    return "\"" + v.description() + "\"";
}

}  // namespace

const std::vector<ZVTStruct::Field>& ZVTStruct::fields() const {
    static const std::vector<Field> none;
    return none;
}

const Value& ZVTStruct::fieldValue(std::size_t index) const { return slots_[index].value; }

Value ZVTStruct::stringField(std::size_t index) const { return hasText(index) ? Value(slots_[index].text) : Value(); }

void ZVTStruct::setString(std::size_t index, std::string text) {
    slots_[index].text = std::move(text);
    hasText_ |= 1u << index;
    set_ |= 1u << index;
}

void ZVTStruct::setField(std::size_t index, Value value) {
    if (fields()[index].kind == Kind::String) {
        if (value.isString()) {
            setString(index, std::string(value.asString()));
        } else {
            slots_[index].text.clear();
            hasText_ &= ~(1u << index);
            set_ |= 1u << index;
        }
        return;
    }
    slots_[index].value = std::move(value);
    set_ |= 1u << index;
}

void ZVTStruct::unsetField(std::size_t index) {
    const Kind kind = fields()[index].kind;
    if (kind == Kind::String) {
        slots_[index].text.clear();
        hasText_ &= ~(1u << index);
    } else if (kind != Kind::I32 && kind != Kind::I64) {
        slots_[index].value = Value();
    }
    set_ &= ~(1u << index);
}

uint32_t ZVTStruct::read(TProtocol* protocol) {
    auto* memory = dynamic_cast<TMemoryBuffer*>(protocol->getTransport().get());
    if (auto* binary = dynamic_cast<Binary*>(protocol)) return ZVTStructAccess::read(*this, binary, memory);
    return ZVTStructAccess::read(*this, protocol, memory);
}

uint32_t ZVTStruct::write(TProtocol* protocol) const {
    if (auto* binary = dynamic_cast<Binary*>(protocol)) return ZVTStructAccess::write(*this, binary);
    return ZVTStructAccess::write(*this, protocol);
}

void ZVTStruct::validate() const {
    const auto& table = fields();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].required && !fieldIsSet(i))
            throw TProtocolException(TProtocolException::UNKNOWN,
                                     std::string("Required field '") + table[i].name + "' is not set.");
    }
}

std::string ZVTStruct::description() const {
    const auto& table = fields();
    std::string out = std::string(structName()) + "(";
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i) out += ",";
        out += table[i].name;
        out += ":";
        const Value& v = slots_[i].value;
        char number[32];
        switch (table[i].kind) {
            case Kind::String: out += hasText(i) ? "\"" + slots_[i].text + "\"" : std::string("\"(null)\""); break;
            case Kind::Binary: out += quoted(v); break;
            case Kind::I32:
                std::snprintf(number, sizeof number, "%i", static_cast<int32_t>(v.asInt()));
                out += number;
                break;
            case Kind::I64:
                std::snprintf(number, sizeof number, "%" PRId64, v.asInt());
                out += number;
                break;
            default: out += v.isNull() ? "(null)" : v.description(); break;
        }
    }
    return out + ")";
}

bool ZVTStruct::isEqual(const NSObject& other) const {
    if (this == &other) return true;
    const auto* record = dynamic_cast<const ZVTStruct*>(&other);
    if (!record || record->objcClass().name() != objcClass().name()) return false;
    if (set_ != record->set_) return false;
    for (std::size_t i = 0; i < fields().size(); ++i) {
        if (!fieldIsSet(i)) continue;
        if (fields()[i].kind == Kind::String) {
            if (hasText(i) != record->hasText(i) || slots_[i].text != record->slots_[i].text) return false;
        } else if (!(slots_[i].value == record->slots_[i].value)) {
            return false;
        }
    }
    return true;
}

void ZVTStruct::encodeWithCoder(NSCoder& coder) const {
    const auto& table = fields();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!fieldIsSet(i)) continue;
        switch (table[i].kind) {
            case Kind::I32: coder.encodeInt32(static_cast<int32_t>(slots_[i].value.asInt()), table[i].name); break;
            case Kind::I64: coder.encodeInt64(slots_[i].value.asInt(), table[i].name); break;
            case Kind::String: coder.encodeObject(stringField(i), table[i].name); break;
            default: coder.encodeObject(slots_[i].value, table[i].name); break;
        }
    }
}

bool ZVTStruct::initWithCoder(NSCoder& coder) {
    const auto& table = fields();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!coder.containsValueForKey(table[i].name)) continue;
        switch (table[i].kind) {
            case Kind::I32: setField(i, Value(coder.decodeInt32ForKey(table[i].name))); break;
            case Kind::I64: setField(i, Value(coder.decodeInt64ForKey(table[i].name))); break;
            default: setField(i, coder.decodeObjectForKey(table[i].name)); break;
        }
    }
    return !coder.error();
}
