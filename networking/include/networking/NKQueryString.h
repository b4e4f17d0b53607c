#pragma once
// Query-string encoding: percent escaping that never splits a composed character, and the
// flattening of nested parameters into (field, value) pairs joined as "a=1&b%5B%5D=2".
// The algorithm is shared by every request serializer of the system (it has no state).

#include <string>
#include <string_view>
#include <vector>

#include <platform_runtime/Value.h>

// One field / value pair of a flattened parameter tree. The field is already bracketed for
// nested values ("user[tags][]"); a Null value is written as the field alone.
class NKQueryStringPair {
public:
    NKQueryStringPair(Value field, Value value) : field_(std::move(field)), value_(std::move(value)) {}

    const Value& field() const { return field_; }
    const Value& value() const { return value_; }

    // "field=value" with both escaped, or the escaped field alone when the value is Null.
    std::string URLEncodedStringValue() const;

private:
    Value field_;
    Value value_;
};

// Every character outside ASCII letters, digits and "-._~/?" written as %XX escapes of its
// UTF-8 bytes (upper-case hex). Works in batches of about 50 UTF-16 units widened to whole
// composed character sequences.
std::string NKEscapeQueryComponent(std::string_view text);

// The text form a field or value is written with: strings as they are, numbers in decimal,
// booleans as 1 / 0, anything else its description.
std::string NKQueryTextForm(const Value& value);

// Dictionaries by key (sorted by text form), arrays as "key[]", sets sorted with the key
// unchanged, anything else one pair. `key` Null means the top level.
std::vector<NKQueryStringPair> NKFlattenQueryPairs(const Value& key, const Value& value);

// The pairs of the parameters joined with "&".
std::string NKQueryStringFromDictionary(const Value& parameters);
