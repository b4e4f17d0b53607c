#include <platform_runtime/NSObject.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include <platform_runtime/KeyValueCoding.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/ObjCRuntime.h>

#include "NSObjectSideTable.h"
#include "RuntimeLock.h"

namespace {
ObjCClass& makeRootClass() {
    ObjCClass& cls = ObjCClass::registerClass("NSObject", nullptr, sizeof(NSObject),
                                              [] { return std::make_shared<NSObject>(); });
    // The root's dealloc slot: the C++ destructors do the real work; a replacement installed
    // here sees the object after its subclasses' parts are gone (only its address and class).
    cls.addMethod("dealloc", makeInstanceImp<void()>([](NSObject&) {}), "v16@0:8");
    // That no-op is no change: destructors skip the slot lookup until someone installs one.
    objc_detail::deallocSlotChanged.store(false, std::memory_order_release);
    return cls;
}
// Registers the root at class load even when nothing names it first.
[[maybe_unused]] ObjCClass& rootRegistrar = NSObject::classObject();

// The destructor's view of the dealloc slots, so that a replacement installed on the root
// (zombie tracking) runs without a lock or a lookup per object: while no class below the
// root has a dealloc entry of its own, every object runs the root's implementation, kept
// here as a plain pointer. The cache belongs to one generation of slot changes; a change
// makes it stale and the next destruction rebuilds it (under a mutex, rare).
using DeallocFn = ObjCTypedImp<void(NSObject&)>;
std::atomic<uint64_t> gDeallocGeneration{1};
std::atomic<uint64_t> gDeallocCacheGeneration{0};
std::atomic<const DeallocFn*> gRootDealloc{nullptr};
std::atomic<bool> gDeallocBelowRoot{false};

void refreshDeallocCache() {
    static std::mutex mutex;
    // Every implementation ever cached stays alive: a destructor on another thread may still
    // be running one after the slot was replaced.
    static auto* kept = new std::vector<IMP>;
    std::lock_guard<std::mutex> lock(mutex);
    uint64_t generation = gDeallocGeneration.load(std::memory_order_acquire);
    if (gDeallocCacheGeneration.load(std::memory_order_acquire) == generation) return;
    bool below = false;
    ObjCClass& root = NSObject::classObject();
    for (ObjCClass* cls : ObjCClass::allClasses())
        if (cls != &root && cls->ownInstanceMethod("dealloc")) below = true;
    const DeallocFn* fn = nullptr;
    if (ObjCMethod* m = root.ownInstanceMethod("dealloc")) {
        IMP imp = m->implementation();
        fn = dynamic_cast<const DeallocFn*>(imp.get());
        if (fn) kept->push_back(std::move(imp));
    }
    gDeallocBelowRoot.store(below, std::memory_order_release);
    gRootDealloc.store(fn, std::memory_order_release);
    gDeallocCacheGeneration.store(generation, std::memory_order_release);
}
}  // namespace

void objc_detail::noteDeallocSlotChange() {
    deallocSlotChanged.store(true, std::memory_order_release);
    gDeallocGeneration.fetch_add(1, std::memory_order_acq_rel);
}

ObjCClass& NSObject::classObject() {
    static ObjCClass& cls = makeRootClass();
    return cls;
}

NSObject::NSObject() : isa_(&classObject().record()) {}

NSObject::~NSObject() {
    if (objc_detail::deallocSlotChanged.load(std::memory_order_acquire)) {
        if (gDeallocCacheGeneration.load(std::memory_order_acquire) !=
            gDeallocGeneration.load(std::memory_order_acquire))
            refreshDeallocCache();
        if (!gDeallocBelowRoot.load(std::memory_order_acquire)) {
            if (const DeallocFn* fn = gRootDealloc.load(std::memory_order_acquire)) (*fn)(*this);
        } else if (IMP imp = objc_detail::instanceImp(*this, "dealloc")) {
            if (auto* fn = dynamic_cast<const DeallocFn*>(imp.get())) (*fn)(*this);
        }
    }
    delete side_.load(std::memory_order_acquire);
}

ObjCClass& NSObject::objcClass() const {
    ObjCClass* cls = ObjCClass::fromRecord(isa_);
    // A subclass declared without NS_CLASS but naming itself through className() is found by
    // that name when it was registered some other way.
    if (isa_ == &classObject().record()) {
        std::string name = className();
        if (name != "NSObject")
            if (ObjCClass* named = ObjCClass::named(name)) return *named;
    }
    return *cls;
}

std::string NSObject::className() const {
    return isa_->name;
}

bool NSObject::isKindOfClass(const ObjCClass* cls) const {
    return cls && objcClass().isSubclassOfClass(cls);
}

bool NSObject::isMemberOfClass(const ObjCClass* cls) const {
    return cls && &objcClass() == cls;
}

bool NSObject::respondsToSelector(std::string_view selector) const {
    return objcClass().instancesRespondToSelector(selector);
}

bool NSObject::conformsToProtocol(std::string_view protocol) const {
    return objcClass().conformsToProtocol(protocol);
}

std::string NSObject::description() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, ": %p>", static_cast<const void*>(this));
    return "<" + className() + buf;
}

NSObjectSideTable& NSObject::sideTable() const {
    NSObjectSideTable* table = side_.load(std::memory_order_acquire);
    if (table) return *table;
    auto* fresh = new NSObjectSideTable;
    if (side_.compare_exchange_strong(table, fresh, std::memory_order_acq_rel)) return *fresh;
    delete fresh;
    return *table;
}

std::size_t NSObject::isaOffset() {
    static const std::size_t offset = [] {
        NSObject probe;
        return static_cast<std::size_t>(reinterpret_cast<const char*>(&probe.isa_) -
                                        reinterpret_cast<const char*>(&probe));
    }();
    return offset;
}

// --- key-value coding -------------------------------------------------------------------

Value NSObject::valueForKey(const std::string& key) const {
    const ObjCProperty* property = objcClass().property(key);
    if (!property) return valueForUndefinedKey(key);
    return property->get(*this);
}

void NSObject::setValue(const Value& value, const std::string& key) {
    const ObjCProperty* property = objcClass().property(key);
    if (!property || !property->hasSetter()) return setValueForUndefinedKey(value, key);
    if (!property->set(*this, value)) setNilValueForKey(key);
}

Value NSObject::valueForKeyPath(const std::string& keyPath) const {
    auto dot = keyPath.find('.');
    if (dot == std::string::npos) return valueForKey(keyPath);
    return ::valueForKeyPath(valueForKey(keyPath.substr(0, dot)), keyPath.substr(dot + 1));
}

void NSObject::setValueForKeyPath(const Value& value, const std::string& keyPath) {
    auto dot = keyPath.find('.');
    if (dot == std::string::npos) return setValue(value, keyPath);
    std::string first = keyPath.substr(0, dot);
    Value inner = valueForKey(first);
    if (inner.isNull()) return;
    bool byValue = !inner.isObject();
    ::setValueForKeyPath(inner, value, keyPath.substr(dot + 1));
    // Containers are values here: write the changed one back.
    if (byValue) setValue(inner, first);
}

Value NSObject::valueForUndefinedKey(const std::string& key) const {
    objc_detail::raiseUnknownKey(className(), this, key, false,
                                 Value(std::const_pointer_cast<NSObject>(weak_from_this().lock())));
}

void NSObject::setValueForUndefinedKey(const Value&, const std::string& key) {
    objc_detail::raiseUnknownKey(className(), this, key, true, Value(weak_from_this().lock()));
}

void NSObject::setNilValueForKey(const std::string& key) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    NSException::raise(NSInvalidArgumentException, "[<" + className() + " " + address +
                                                       "> setNilValueForKey]: could not set nil as the value for the key " +
                                                       key + ".");
}
