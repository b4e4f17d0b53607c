#pragma once
// Associated objects: values attached to an object or a class object under a key (an address
// or a name), with the platform's retain / copy / assign policies.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include <platform_runtime/Value.h>

class NSObject;
class ObjCClass;

enum objc_AssociationPolicy : uintptr_t {
    // Not retained: an object value is held weakly and reads back as null once it is gone.
    OBJC_ASSOCIATION_ASSIGN = 0,
    OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1,
    OBJC_ASSOCIATION_COPY_NONATOMIC = 3,
    OBJC_ASSOCIATION_RETAIN = 01401,
    OBJC_ASSOCIATION_COPY = 01403,
};

// A key: the address of a static (the usual `static char key;` ... `&key`) or a name (a
// selector name). A string literal or std::string / std::string_view is a name; any pointer,
// `const char*` included, is an address. Address keys and name keys never match each other.
class AssociationKey {
public:
    template <class K, std::enable_if_t<!std::is_same_v<std::remove_cv_t<std::remove_reference_t<K>>, AssociationKey>, int> = 0>
    AssociationKey(K&& key) : key_(make(std::forward<K>(key))) {}
    bool operator<(const AssociationKey& other) const { return key_ < other.key_; }

private:
    using Key = std::variant<uintptr_t, std::string>;
    template <class K>
    static Key make(K&& key) {
        using T = std::remove_cv_t<std::remove_reference_t<K>>;
        if constexpr (std::is_array_v<T>) {
            return std::string(key);
        } else if constexpr (std::is_pointer_v<T>) {
            return reinterpret_cast<uintptr_t>(static_cast<const void*>(key));
        } else {
            return std::string(std::string_view(key));
        }
    }
    Key key_;
};

// The associations of one object; thread-safe.
class AssociationTable {
public:
    // A null value removes the association.
    void set(const AssociationKey& key, const Value& value, objc_AssociationPolicy policy);
    // Null when absent (or an assigned object that is gone).
    Value get(const AssociationKey& key) const;
    void removeAll();

private:
    struct Entry {
        Value value;                  // retained / copied values, and non-object assigned values
        std::weak_ptr<NSObject> weak; // assigned objects
        bool weakObject = false;
    };
    mutable std::mutex mutex_;
    std::map<AssociationKey, Entry> entries_;
};

void objc_setAssociatedObject(const NSObject& object, const AssociationKey& key, const Value& value,
                              objc_AssociationPolicy policy);
Value objc_getAssociatedObject(const NSObject& object, const AssociationKey& key);
void objc_removeAssociatedObjects(const NSObject& object);

// The class object's own associations (shared by all its instances, not inherited).
void objc_setAssociatedObject(const ObjCClass& cls, const AssociationKey& key, const Value& value,
                              objc_AssociationPolicy policy);
Value objc_getAssociatedObject(const ObjCClass& cls, const AssociationKey& key);
