#pragma once
// Lookups and edits in nested dictionaries and arrays by a list of keys or a "/"-separated
// key path ("crash/threads/0/backtrace"). Dictionaries are stepped into by key, arrays by
// index (a number, or a text starting with a decimal digit; "" is index 0). Synchronous on
// the caller's thread; edits change the caller's value only (values are copy-on-write).

#include <string_view>
#include <vector>

#include <platform_runtime/Value.h>

// The value reached after the last key; Null on any missing step (a key that is absent, an
// index that is not a number or out of range, a step into anything but a container).
Value zud_objectForDeepKey(const Value& container, const std::vector<Value>& deepKey);
// Leading "/" are dropped; the rest is split at "/" and looked up as a deep key.
Value zud_objectForKeyPath(const Value& container, std::string_view keyPath);

// Sets `object` at the last key inside the container that the other keys name. Raises
// NSInvalidArgumentException for an empty key list, NSInternalInconsistencyException when the
// parent does not resolve or cannot take the key, NSRangeException for an index out of range.
void zud_setObjectForDeepKey(Value& container, const Value& object, const std::vector<Value>& deepKey);
void zud_setObjectForKeyPath(Value& container, const Value& object, std::string_view keyPath);
// Removes the entry at the last key; the same exceptions (an empty key list finds no parent).
void zud_removeObjectForDeepKey(Value& container, const std::vector<Value>& deepKey);
void zud_removeObjectForKeyPath(Value& container, std::string_view keyPath);

// The key list of a key path, as the operations above split it.
std::vector<Value> zud_deepKeyForKeyPath(std::string_view keyPath);
