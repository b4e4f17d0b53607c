#pragma once
// Root of every class that needs runtime services: class identity and kind tests,
// respondsToSelector, description, equality and hash, key-value coding and observing.
// Objects live in std::shared_ptr; a weak reference is a std::weak_ptr.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <platform_runtime/ObjCClassRecord.h>
#include <platform_runtime/Value.h>

class ObjCClass;
struct NSObjectSideTable;

// Options of addObserver (NSKeyValueObservingOptions).
enum NSKeyValueObservingOptions : unsigned {
    NSKeyValueObservingOptionNew = 0x01,
    NSKeyValueObservingOptionOld = 0x02,
    NSKeyValueObservingOptionInitial = 0x04,
    NSKeyValueObservingOptionPrior = 0x08,
};

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject();
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject();

    // --- class identity ---
    // The root class.
    static ObjCClass& classObject();
    static const char* staticClassName() { return "NSObject"; }
    // The object's class (the most derived class declared with NS_CLASS).
    ObjCClass& objcClass() const;
    // The registered class name ("NSObject" for the root).
    virtual std::string className() const;
    // Instance of cls or of a subclass; false for nullptr.
    bool isKindOfClass(const ObjCClass* cls) const;
    // Instance of exactly cls.
    bool isMemberOfClass(const ObjCClass* cls) const;
    // Whether the object answers the selector: an instance method or declared selector of
    // its class. Classes whose answer depends on their state override it.
    virtual bool respondsToSelector(std::string_view selector) const;
    bool conformsToProtocol(std::string_view protocol) const;

    // Text for logs and "%@"; by default "<ClassName: 0xADDRESS>".
    virtual std::string description() const;
    // Identity unless a class defines value equality; hash agrees with it.
    virtual bool isEqual(const NSObject& other) const { return this == &other; }
    virtual std::size_t hash() const { return reinterpret_cast<std::size_t>(this); }

    // --- key-value coding (through the class's declared properties) ---
    // Raises NSUnknownKeyException (via valueForUndefinedKey) for a key with no property.
    Value valueForKey(const std::string& key) const;
    // setValue:forKey:. A null value for a scalar property goes to setNilValueForKey.
    void setValue(const Value& value, const std::string& key);
    // "a.b.c" through objects (their properties), dictionaries and arrays.
    Value valueForKeyPath(const std::string& keyPath) const;
    // setValue:forKeyPath:
    void setValueForKeyPath(const Value& value, const std::string& keyPath);
    // Defaults raise NSUnknownKeyException / NSInvalidArgumentException as the platform does.
    virtual Value valueForUndefinedKey(const std::string& key) const;
    virtual void setValueForUndefinedKey(const Value& value, const std::string& key);
    virtual void setNilValueForKey(const std::string& key);

    // --- key-value observing ---
    // The observer is held weakly when it is owned by a shared_ptr (else by address, and it
    // must remove itself before it dies). Options: NSKeyValueObservingOptions.
    void addObserver(NSObject& observer, const std::string& keyPath, unsigned options, void* context = nullptr);
    // Removes the latest matching registration; nothing happens when there is none.
    void removeObserver(NSObject& observer, const std::string& keyPath);
    void removeObserver(NSObject& observer, const std::string& keyPath, void* context);
    // Brackets a change of key; observers of key (and of keys depending on it) are told on
    // didChange. Pairs nest.
    void willChangeValueForKey(const std::string& key);
    void didChangeValueForKey(const std::string& key);
    // Called on the observer. change: dictionary with "kind", "new", "old",
    // "notificationIsPrior" as the options ask. Default: nothing.
    virtual void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change,
                                        void* context);

    // Offset of the class-record pointer (const ObjCClassRecord*) from an NSObject's address.
    static std::size_t isaOffset();

protected:
    // Assignment through a generated property setter: notifies observers when there are any.
    template <class T, class U>
    void nsSetProperty(const char* key, T& field, U&& value) {
        if (hasObservers()) {
            std::string k(key);
            willChangeValueForKey(k);
            field = std::forward<U>(value);
            didChangeValueForKey(k);
        } else {
            field = std::forward<U>(value);
        }
    }
    bool hasObservers() const { return observationCount_.load(std::memory_order_acquire) != 0; }

private:
    template <class>
    friend struct NSIsaStamp;
    friend struct NSObjectSideTable;
    friend class NSKeyValueObserving;
    friend class NSAssociations;

    NSObjectSideTable& sideTable() const;
    NSObjectSideTable* sideTableIfAny() const { return side_.load(std::memory_order_acquire); }

    const ObjCClassRecord* isa_;
    mutable std::atomic<NSObjectSideTable*> side_{nullptr};
    mutable std::atomic<unsigned> observationCount_{0};
};

using NSObjectPtr = std::shared_ptr<NSObject>;

// Sets the object's class record while its class's members are constructed (NS_CLASS).
template <class Self>
struct NSIsaStamp {
    explicit NSIsaStamp(NSObject* object);
};
