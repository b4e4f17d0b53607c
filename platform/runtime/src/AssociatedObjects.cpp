#include <platform_runtime/AssociatedObjects.h>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClass.h>

#include "NSObjectSideTable.h"

void AssociationTable::set(const AssociationKey& key, const Value& value, objc_AssociationPolicy policy) {
    Entry entry;
    bool remove = value.isNull();
    if (!remove) {
        switch (policy) {
            case OBJC_ASSOCIATION_ASSIGN:
                if (value.isObject()) {
                    entry.weak = value.asObject();
                    entry.weakObject = true;
                } else {
                    entry.value = value;
                }
                break;
            case OBJC_ASSOCIATION_COPY:
            case OBJC_ASSOCIATION_COPY_NONATOMIC:
                entry.value = value.copy();
                break;
            default:
                entry.value = value;
                break;
        }
    }
    Entry previous;  // released after the lock: its destruction may run arbitrary code
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(key);
        if (it != entries_.end()) {
            previous = std::move(it->second);
            if (remove) entries_.erase(it);
            else it->second = std::move(entry);
        } else if (!remove) {
            entries_.emplace(key, std::move(entry));
        }
    }
}

Value AssociationTable::get(const AssociationKey& key) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return Value();
    if (it->second.weakObject) return Value(it->second.weak.lock());
    return it->second.value;
}

void AssociationTable::removeAll() {
    std::map<AssociationKey, Entry> old;
    {
        std::lock_guard lock(mutex_);
        old.swap(entries_);
    }
}

class NSAssociations {
public:
    static AssociationTable& of(const NSObject& object) { return object.sideTable().associations; }
    static AssociationTable* ifAny(const NSObject& object) {
        auto* side = object.sideTableIfAny();
        return side ? &side->associations : nullptr;
    }
};

void objc_setAssociatedObject(const NSObject& object, const AssociationKey& key, const Value& value,
                              objc_AssociationPolicy policy) {
    if (value.isNull()) {
        if (auto* table = NSAssociations::ifAny(object)) table->set(key, value, policy);
        return;
    }
    NSAssociations::of(object).set(key, value, policy);
}

Value objc_getAssociatedObject(const NSObject& object, const AssociationKey& key) {
    auto* table = NSAssociations::ifAny(object);
    return table ? table->get(key) : Value();
}

void objc_removeAssociatedObjects(const NSObject& object) {
    if (auto* table = NSAssociations::ifAny(object)) table->removeAll();
}

void objc_setAssociatedObject(const ObjCClass& cls, const AssociationKey& key, const Value& value,
                              objc_AssociationPolicy policy) {
    cls.associations().set(key, value, policy);
}

Value objc_getAssociatedObject(const ObjCClass& cls, const AssociationKey& key) {
    return cls.associations().get(key);
}
