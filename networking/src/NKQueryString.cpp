#include <networking/NKQueryString.h>

#include <algorithm>

#include <platform_foundation/NSCharacterSet.h>
#include <platform_foundation/NSStringComponents.h>
#include <platform_foundation/PercentEncoding.h>
#include <platform_runtime/UTF16.h>

namespace {

const NSCharacterSet& queryComponentAllowed() {
    static const NSCharacterSet allowed = [] {
        NSCharacterSet set = NSCharacterSet::URLQueryAllowedCharacterSet();
        set.removeCharactersInString(":#[]@");
        set.removeCharactersInString("!$&'()*+,;=");
        return set;
    }();
    return allowed;
}

// Ascending by text form, compared as UTF-16 units (the platform's compare:).
void sortByTextForm(std::vector<Value>& values) {
    std::vector<std::pair<std::u16string, Value>> keyed;
    keyed.reserve(values.size());
    for (auto& v : values) keyed.emplace_back(utf8ToUtf16(NKQueryTextForm(v)), v);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::move(keyed[i].second);
}

void flatten(const Value& key, const Value& value, std::vector<NKQueryStringPair>& out) {
    if (value.isDictionary()) {
        std::vector<Value> keys;
        for (const auto& [k, v] : value.asDictionary()) keys.push_back(k);
        sortByTextForm(keys);
        for (const auto& nestedKey : keys) {
            Value field = key.isNull() ? nestedKey
                                       : Value(NKQueryTextForm(key) + "[" + NKQueryTextForm(nestedKey) + "]");
            flatten(field, value.objectForKey(nestedKey), out);
        }
    } else if (value.isArray()) {
        const Value field(NKQueryTextForm(key) + "[]");
        for (const auto& element : value.asArray()) flatten(field, element, out);
    } else if (value.isSet()) {
        std::vector<Value> elements(value.asSet().begin(), value.asSet().end());
        sortByTextForm(elements);
        for (const auto& element : elements) flatten(key, element, out);
    } else {
        out.emplace_back(key, value);
    }
}

}  // namespace

std::string NKQueryTextForm(const Value& value) {
    switch (value.type()) {
        case Value::Type::String:
            return value.asStdString();
        case Value::Type::Bool:
            return value.asBool() ? "1" : "0";
        case Value::Type::Null:
            return "(null)";
        default:
            return value.isNumber() ? value.stringValue() : value.description();
    }
}

std::string NKEscapeQueryComponent(std::string_view text) {
    static constexpr std::size_t kBatchLength = 50;
    const std::size_t length = NSString::length(text);
    std::string escaped;
    std::size_t index = 0;
    while (index < length) {
        const std::size_t batch = std::min(kBatchLength, length - index);
        const NSRange range = NSString::rangeOfComposedCharacterSequencesForRange(text, NSMakeRange(index, batch));
        const std::string piece = utf16Substring(text, range.location, range.length);
        escaped += NSString::stringByAddingPercentEncodingWithAllowedCharacters(piece, queryComponentAllowed());
        // A range that does not move forward would loop forever; the widened range always
        // covers at least the batch, but guard against a platform that answers otherwise.
        index = std::max<std::size_t>(NSMaxRange(range), index + 1);
    }
    return escaped;
}

std::string NKQueryStringPair::URLEncodedStringValue() const {
    if (value_.isNull()) return NKEscapeQueryComponent(NKQueryTextForm(field_));
    return NKEscapeQueryComponent(NKQueryTextForm(field_)) + "=" + NKEscapeQueryComponent(NKQueryTextForm(value_));
}

std::vector<NKQueryStringPair> NKFlattenQueryPairs(const Value& key, const Value& value) {
    std::vector<NKQueryStringPair> pairs;
    flatten(key, value, pairs);
    return pairs;
}

std::string NKQueryStringFromDictionary(const Value& parameters) {
    std::string query;
    for (const auto& pair : NKFlattenQueryPairs(Value(), parameters)) {
        if (!query.empty()) query += '&';
        query += pair.URLEncodedStringValue();
    }
    return query;
}
