#pragma once
// Base of the analytics wire records: each field keeps its value and an is-set flag, and a
// per-class field table drives the Thrift binary reading and writing, validation,
// description and keyed archiving. Values are `Value`s: strings, data (binary), integers,
// records (object references), dictionaries of records and arrays of records.
//
// A record is not thread safe; one thread builds or reads it at a time.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <platform_foundation/NSCoding.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

namespace apache::thrift::protocol {
class TProtocol;
}


class ZVTStruct : public NSObject, public NSCoding {
    NS_CLASS(ZVTStruct, NSObject)
public:
    enum class Kind : uint8_t { String, Binary, I32, I64, Struct, Map, List };
    struct Field {
        int16_t id;
        const char* name;
        Kind kind;
        bool required;
        // Struct fields, map values and list elements: a fresh record of the element class.
        std::shared_ptr<ZVTStruct> (*make)();
    };

    ZVTStruct() = default;
    // One field's storage: strings keep their text in place, everything else is a Value.
    struct Slot {
        Value value;
        std::string text;
    };

    // Thrift binary protocol. `read` throws the library's exceptions on a truncated or
    // malformed buffer; a count or length beyond the bytes left of a memory buffer ends it
    // with a TProtocolException before anything is allocated. Neither checks required fields.
    uint32_t read(apache::thrift::protocol::TProtocol* protocol);
    uint32_t write(apache::thrift::protocol::TProtocol* protocol) const;
    // Throws TProtocolException "Required field '<name>' is not set." for the first missing one.
    void validate() const;

    std::string description() const override;
    bool isEqual(const NSObject& other) const override;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    virtual const char* structName() const { return "ZVTStruct"; }
    virtual const std::vector<Field>& fields() const;

protected:
    // Each record class owns the slots of its fields and binds them at construction.
    void bindSlots(Slot* slots) { slots_ = slots; }
    const Value& fieldValue(std::size_t index) const;
    // String fields keep their text in place (null when none was set).
    Value stringField(std::size_t index) const;
    void setString(std::size_t index, std::string text);
    bool fieldIsSet(std::size_t index) const { return (set_ >> index) & 1u; }
    void setField(std::size_t index, Value value);
    // Objects drop to null; scalars keep their value. Either way the flag is cleared.
    void unsetField(std::size_t index);

private:
    friend struct ZVTStructAccess;
    Slot* slots_ = nullptr;
    uint32_t set_ = 0;
    uint32_t hasText_ = 0;
    bool hasText(std::size_t index) const { return (hasText_ >> index) & 1u; }
};

// Accessors of one field, named after it.
#define ZVT_OBJECT_FIELD(name, Name, index)                                   \
    const Value& name() const { return fieldValue(index); }                   \
    void set##Name(Value value) { setField(index, std::move(value)); }        \
    bool name##IsSet() const { return fieldIsSet(index); }                    \
    void unset##Name() { unsetField(index); }

// In a record class: storage for its `count` fields, bound when the record is made.
#define ZVT_RECORD(Self, count)                       \
public:                                              \
    Self() { bindSlots(slotStorage_.data()); }        \
                                                     \
private:                                             \
    std::array<Slot, count> slotStorage_;            \
                                                     \
public:

#define ZVT_STRING_FIELD(name, Name, index)                                   \
    Value name() const { return stringField(index); }                         \
    void set##Name(Value value) { setField(index, std::move(value)); }        \
    bool name##IsSet() const { return fieldIsSet(index); }                    \
    void unset##Name() { unsetField(index); }

#define ZVT_SCALAR_FIELD(Type, name, Name, index)                             \
    Type name() const { return static_cast<Type>(fieldValue(index).asInt()); } \
    void set##Name(Type value) { setField(index, Value(value)); }             \
    bool name##IsSet() const { return fieldIsSet(index); }                    \
    void unset##Name() { unsetField(index); }
