#pragma once
// Key-value coding over any Value: objects through their declared properties, dictionaries by
// key, arrays element-wise; key paths are dot-separated steps through all of them.
//
// A step on a value that has no keys (a string, number, data, date) raises
// NSUnknownKeyException, as the platform does; a null step gives null.

#include <string>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

// User-info keys of NSUnknownKeyException.
inline constexpr char NSTargetObjectUserInfoKey[] = "NSTargetObjectUserInfoKey";
inline constexpr char NSUnknownUserInfoKey[] = "NSUnknownUserInfoKey";

// Object: its property; dictionary: the entry (null when absent); array / set: an array of
// each element's value for the key (null elements as null); null: null.
Value valueForKey(const Value& target, const std::string& key);
Value valueForKeyPath(const Value& target, const std::string& keyPath);
// Object: setValue:forKey:; dictionary: stores the value (null removes the key); array: sets
// it on every element; null: nothing. Dictionaries are values: the target is updated.
void setValueForKey(Value& target, const Value& value, const std::string& key);
// Sets the value at the path's last key inside the container the rest of the path names
// (nested dictionaries are written back into their parents).
void setValueForKeyPath(Value& target, const Value& value, const std::string& keyPath);

namespace objc_detail {
// NSUnknownKeyException "[<Class 0x...> valueForUndefinedKey:]: this class is not key value
// coding-compliant for the key <key>." (setter: "setValue:forUndefinedKey:").
[[noreturn]] void raiseUnknownKey(const std::string& className, const void* address, const std::string& key,
                                  bool setter, const Value& target);
}  // namespace objc_detail
