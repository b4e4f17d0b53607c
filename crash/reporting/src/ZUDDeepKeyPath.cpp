#include <crash_reporting/ZUDDeepKeyPath.h>

#include <optional>

#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/ValueClasses.h>

namespace {

// Whether the key converts to an integer, and which.
std::optional<int64_t> integerKey(const Value& key) {
    if (key.isNumber()) return key.integerValue();
    if (key.isString()) return key.integerValue();
    return std::nullopt;
}

// An index step: numbers, or texts whose first character is a decimal digit ("" is 0).
std::optional<int64_t> indexKey(const Value& key) {
    if (key.isString()) {
        std::string_view text = key.asString();
        if (!text.empty() && (text[0] < '0' || text[0] > '9')) return std::nullopt;
        return key.integerValue();
    }
    return integerKey(key);
}

const Value* step(const Value& current, const Value& key) {
    if (current.isDictionary()) {
        const auto& dict = current.asDictionary();
        auto it = dict.find(key);
        return it == dict.end() ? nullptr : &it->second;
    }
    if (current.isArray()) {
        auto index = indexKey(key);
        if (!index || *index < 0 || static_cast<std::size_t>(*index) >= current.count()) return nullptr;
        return &current.asArray()[static_cast<std::size_t>(*index)];
    }
    return nullptr;
}

Value* mutableStep(Value& current, const Value& key) {
    if (auto* dict = current.mutableDictionaryPayload()) {
        auto it = dict->find(key);
        return it == dict->end() ? nullptr : &it->second;
    }
    if (current.isArray()) {
        auto index = indexKey(key);
        auto* array = current.mutableArrayPayload();
        if (!index || *index < 0 || static_cast<std::size_t>(*index) >= array->size()) return nullptr;
        return &(*array)[static_cast<std::size_t>(*index)];
    }
    return nullptr;
}

std::string className(const Value& value) { return classForValue(value).name(); }

// The container the keys but the last name, for an edit.
Value& editParent(Value& container, const std::vector<Value>& deepKey) {
    std::vector<Value> parentKeys(deepKey.begin(), deepKey.end() - 1);
    Value* parent = &container;
    for (const auto& key : parentKeys) {
        parent = mutableStep(*parent, key);
        if (!parent) break;
    }
    if (!parent || parent->isNull())
        NSException::raise(NSInternalInconsistencyException,
                           NSStringWithFormat("Parent %@ does not resolve to a valid object", Value(parentKeys)));
    return *parent;
}

void checkIndex(const Value& array, int64_t index, const char* selector) {
    if (index < 0 || static_cast<std::size_t>(index) >= array.count()) {
        auto count = array.count();
        NSException::raise(NSRangeException,
                           count == 0 ? NSStringWithFormat("*** -[%@ %s]: index %lld beyond bounds for empty array",
                                                           className(array), selector, index)
                                      : NSStringWithFormat("*** -[%@ %s]: index %lld beyond bounds [0 .. %lu]",
                                                           className(array), selector, index, count - 1));
    }
}

std::vector<Value> parentKeysOf(const std::vector<Value>& deepKey) {
    return std::vector<Value>(deepKey.begin(), deepKey.end() - 1);
}

}  // namespace

std::vector<Value> zud_deepKeyForKeyPath(std::string_view keyPath) {
    while (!keyPath.empty() && keyPath.front() == '/') keyPath.remove_prefix(1);
    std::vector<Value> keys;
    std::size_t start = 0;
    while (true) {
        auto slash = keyPath.find('/', start);
        keys.emplace_back(keyPath.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return keys;
}

Value zud_objectForDeepKey(const Value& container, const std::vector<Value>& deepKey) {
    const Value* current = &container;
    for (const auto& key : deepKey) {
        current = step(*current, key);
        if (!current || current->isNull()) return Value();
    }
    return *current;
}

Value zud_objectForKeyPath(const Value& container, std::string_view keyPath) {
    return zud_objectForDeepKey(container, zud_deepKeyForKeyPath(keyPath));
}

void zud_setObjectForDeepKey(Value& container, const Value& object, const std::vector<Value>& deepKey) {
    if (deepKey.empty())
        NSException::raise(NSInvalidArgumentException,
                           NSStringWithFormat("deepKey %@ must contain at least one key", Value(deepKey)));
    Value& parent = editParent(container, deepKey);
    const Value& last = deepKey.back();
    if (parent.isDictionary() && parent.isMutable()) {
        parent.setObject(object, last);
        return;
    }
    auto index = integerKey(last);
    if (index && parent.isArray() && parent.isMutable()) {
        checkIndex(parent, *index, "replaceObjectAtIndex:withObject:");
        parent.replaceObjectAtIndex(static_cast<std::size_t>(*index), object);
        return;
    }
    NSException::raise(
        NSInternalInconsistencyException,
        NSStringWithFormat(index ? "Parent %@ of type %@ does not respond to \"setObject:forKey:\" or "
                                   "\"replaceObjectAtIndex:withObject:\""
                                 : "Parent %@ of type %@ does not respond to \"setObject:forKey:\"",
                           Value(parentKeysOf(deepKey)), className(parent)));
}

void zud_setObjectForKeyPath(Value& container, const Value& object, std::string_view keyPath) {
    zud_setObjectForDeepKey(container, object, zud_deepKeyForKeyPath(keyPath));
}

void zud_removeObjectForDeepKey(Value& container, const std::vector<Value>& deepKey) {
    if (deepKey.empty())
        NSException::raise(NSInternalInconsistencyException,
                           NSStringWithFormat("Parent %@ does not resolve to a valid object", Value(Value::Array{})));
    Value& parent = editParent(container, deepKey);
    const Value& last = deepKey.back();
    if (parent.isDictionary() && parent.isMutable()) {
        parent.removeObjectForKey(last);
        return;
    }
    auto index = integerKey(last);
    if (index && parent.isArray() && parent.isMutable()) {
        checkIndex(parent, *index, "removeObjectAtIndex:");
        parent.removeObjectAtIndex(static_cast<std::size_t>(*index));
        return;
    }
    NSException::raise(
        NSInternalInconsistencyException,
        NSStringWithFormat(index ? "Parent %@ of type %@ does not respond to \"removeObjectForKey:\" or "
                                   "\"removeObjectAtIndex:\""
                                 : "Parent %@ of type %@ does not respond to \"removeObjectForKey:\"",
                           Value(parentKeysOf(deepKey)), className(parent)));
}

void zud_removeObjectForKeyPath(Value& container, std::string_view keyPath) {
    zud_removeObjectForDeepKey(container, zud_deepKeyForKeyPath(keyPath));
}
