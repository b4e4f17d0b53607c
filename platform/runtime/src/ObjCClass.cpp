#include <platform_runtime/ObjCClass.h>

#include <platform_runtime/ObjCAvailability.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <mutex>
#include <unordered_map>

#include <platform_runtime/NSObject.h>

#include "RuntimeLock.h"

namespace objc_detail {

std::shared_mutex& runtimeLock() {
    static std::shared_mutex lock;
    return lock;
}

std::atomic<bool> deallocSlotChanged{false};

std::atomic<uint64_t>& keyValueGeneration() {
    static std::atomic<uint64_t> generation{1};
    return generation;
}

namespace {
struct Registry {
    std::unordered_map<std::string, ObjCClass*> byName;
    std::vector<ObjCClass*> ordered;
};
// Classes register during static initialisation of any library, so the registry is built on
// first use rather than being a namespace-scope object.
Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: classes outlive every object
    return *r;
}
}  // namespace
}  // namespace objc_detail

using objc_detail::runtimeLock;

ObjCClass::ObjCClass(const char* name, ObjCClass* superclass, uint32_t instanceSize, Factory factory)
    : name_(name), superclass_(superclass), factory_(std::move(factory)) {
    record_.magic = OBJC_CLASS_RECORD_MAGIC;
    record_.superclass = superclass ? &superclass->record_ : nullptr;
    record_.name = name_.c_str();
    record_.flags = superclass ? 0u : OBJC_CLASS_FLAG_ROOT;
    record_.instanceSize = instanceSize;
    record_.runtimeClass = this;
}

namespace {

// "ns::Type (subclass of Super)" for the fatal message on a taken name.
std::string describeRegistration(const char* implementation, const ObjCClass* superclass) {
    std::string text = "<no C++ type>";
    if (implementation) {
        int status = 0;
        char* readable = abi::__cxa_demangle(implementation, nullptr, nullptr, &status);
        text = status == 0 && readable ? readable : implementation;
        std::free(readable);
    }
    return text + " (subclass of " + (superclass ? superclass->name() : std::string("nothing")) + ")";
}

bool sameImplementation(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return a == b || std::strcmp(a, b) == 0;
}

}  // namespace

ObjCClass& ObjCClass::registerClass(const char* name, ObjCClass* superclass, uint32_t instanceSize, Factory factory,
                                    const char* implementation) {
    std::unique_lock lock(runtimeLock());
    auto& reg = objc_detail::registry();
    auto it = reg.byName.find(name);
    if (it != reg.byName.end()) {
        ObjCClass& first = *it->second;
        // The same class reached again (its registrar copied into another library) is fine.
        if (first.superclass_ == superclass && sameImplementation(first.implementation_, implementation)) return first;
        // Two classes of one name: whichever kept the name, code of the other would be wrong.
        std::fprintf(stderr, "objc: fatal: two classes are registered under the name %s: %s and %s\n", name,
                     describeRegistration(first.implementation_, first.superclass_).c_str(),
                     describeRegistration(implementation, superclass).c_str());
        std::abort();
    }
    auto* cls = new ObjCClass(name, superclass, instanceSize, std::move(factory));
    cls->implementation_ = implementation;
    reg.byName.emplace(cls->name_, cls);
    reg.ordered.push_back(cls);
    return *cls;
}

ObjCClass* ObjCClass::named(std::string_view name) {
    std::shared_lock lock(runtimeLock());
    auto& reg = objc_detail::registry();
    auto it = reg.byName.find(std::string(name));
    return it == reg.byName.end() ? nullptr : it->second;
}

ObjCClass* ObjCClass::fromRecord(const ObjCClassRecord* record) {
    return record ? static_cast<ObjCClass*>(record->runtimeClass) : nullptr;
}

std::vector<ObjCClass*> ObjCClass::allClasses() {
    std::shared_lock lock(runtimeLock());
    return objc_detail::registry().ordered;
}

bool ObjCClass::isSubclassOfClass(const ObjCClass* other) const {
    for (const ObjCClass* c = this; c; c = c->superclass_)
        if (c == other) return true;
    return false;
}

std::shared_ptr<NSObject> ObjCClass::createInstance() const {
    return factory_ ? factory_() : nullptr;
}

void ObjCClass::addProtocol(std::string protocol) {
    std::unique_lock lock(runtimeLock());
    protocols_.insert(std::move(protocol));
}

bool ObjCClass::conformsToProtocol(std::string_view protocol) const {
    std::shared_lock lock(runtimeLock());
    for (const ObjCClass* c = this; c; c = c->superclass_)
        if (c->protocols_.count(protocol)) return true;
    return false;
}

std::vector<std::string> ObjCClass::ownProtocols() const {
    std::shared_lock lock(runtimeLock());
    return {protocols_.begin(), protocols_.end()};
}

std::vector<const ObjCProperty*> ObjCClass::ownProperties() const {
    std::shared_lock lock(runtimeLock());
    std::vector<const ObjCProperty*> out;
    out.reserve(properties_.size());
    for (const auto& p : properties_) out.push_back(p.get());
    return out;
}

const ObjCProperty* ObjCClass::property(std::string_view name) const {
    std::shared_lock lock(runtimeLock());
    for (const ObjCClass* c = this; c; c = c->superclass_)
        for (const auto& p : c->properties_)
            if (p->name() == name) return p.get();
    return nullptr;
}

void ObjCClass::addProperty(ObjCProperty property) {
    std::unique_lock lock(runtimeLock());
    for (const auto& p : properties_)
        if (p->name() == property.name()) return;
    properties_.push_back(std::make_unique<ObjCProperty>(std::move(property)));
    rebuildPropertyRecords();
    objc_detail::keyValueGeneration().fetch_add(1, std::memory_order_acq_rel);
}

// The C view of the property list, for readers of the class record.
void ObjCClass::rebuildPropertyRecords() {
    propertyRecords_.clear();
    for (const auto& p : properties_) propertyRecords_.push_back({p->name().c_str(), p->attributes().c_str()});
    record_.properties = propertyRecords_.data();
    record_.propertyCount = static_cast<uint32_t>(propertyRecords_.size());
}

void ObjCClass::addIvar(std::string name, std::string typeCode, uint32_t offset, uint32_t size) {
    std::unique_lock lock(runtimeLock());
    for (const auto& v : ivars_)
        if (v->name == name) return;
    ivars_.push_back(std::make_unique<Ivar>(Ivar{std::move(name), std::move(typeCode), offset, size}));
    rebuildIvarRecords();
}

void ObjCClass::rebuildIvarRecords() {
    ivarRecords_.clear();
    for (const auto& v : ivars_) ivarRecords_.push_back({v->name.c_str(), v->typeCode.c_str(), v->offset, v->size});
    record_.ivars = ivarRecords_.data();
    record_.ivarCount = static_cast<uint32_t>(ivarRecords_.size());
}

ObjCMethod* ObjCClass::findOwn(const std::map<std::string, std::unique_ptr<ObjCMethod>, std::less<>>& table,
                               std::string_view selector) const {
    auto it = table.find(selector);
    return it == table.end() ? nullptr : it->second.get();
}

ObjCMethod* ObjCClass::ownInstanceMethod(std::string_view selector) const {
    std::shared_lock lock(runtimeLock());
    return findOwn(instanceMethods_, selector);
}

ObjCMethod* ObjCClass::instanceMethod(std::string_view selector) const {
    std::shared_lock lock(runtimeLock());
    for (const ObjCClass* c = this; c; c = c->superclass_)
        if (auto* m = findOwn(c->instanceMethods_, selector)) return m;
    return nullptr;
}

ObjCMethod* ObjCClass::ownClassMethod(std::string_view selector) const {
    std::shared_lock lock(runtimeLock());
    return findOwn(classMethods_, selector);
}

ObjCMethod* ObjCClass::classMethod(std::string_view selector) const {
    std::shared_lock lock(runtimeLock());
    for (const ObjCClass* c = this; c; c = c->superclass_)
        if (auto* m = findOwn(c->classMethods_, selector)) return m;
    return nullptr;
}

bool ObjCClass::add(bool classSide, std::string_view selector, IMP imp, std::string_view types) {
    std::unique_lock lock(runtimeLock());
    auto& table = classSide ? classMethods_ : instanceMethods_;
    if (table.find(selector) != table.end()) return false;
    if (!classSide && selector == "dealloc") objc_detail::noteDeallocSlotChange();
    table.emplace(std::string(selector), std::make_unique<ObjCMethod>(std::string(selector), std::string(types), std::move(imp)));
    return true;
}

IMP ObjCClass::replace(bool classSide, std::string_view selector, IMP imp, std::string_view types) {
    std::unique_lock lock(runtimeLock());
    auto& table = classSide ? classMethods_ : instanceMethods_;
    if (!classSide && selector == "dealloc") objc_detail::noteDeallocSlotChange();
    auto it = table.find(selector);
    if (it == table.end()) {
        table.emplace(std::string(selector),
                      std::make_unique<ObjCMethod>(std::string(selector), std::string(types), std::move(imp)));
        return nullptr;
    }
    std::swap(it->second->imp_, imp);
    return imp;
}

bool ObjCClass::exchange(bool classSide, std::string_view original, std::string_view swizzled) {
    ObjCMethod* orig = classSide ? classMethod(original) : instanceMethod(original);
    ObjCMethod* alt = classSide ? classMethod(swizzled) : instanceMethod(swizzled);
    if (!orig || !alt) return false;
    IMP origImp = orig->implementation();
    IMP altImp = alt->implementation();
    if (add(classSide, original, altImp, alt->typeEncoding())) {
        replace(classSide, swizzled, origImp, orig->typeEncoding());
    } else {
        method_exchangeImplementations(orig, alt);
    }
    return true;
}

bool ObjCClass::addMethod(std::string_view selector, IMP imp, std::string_view typeEncoding) {
    return add(false, selector, std::move(imp), typeEncoding);
}
IMP ObjCClass::replaceMethod(std::string_view selector, IMP imp, std::string_view typeEncoding) {
    return replace(false, selector, std::move(imp), typeEncoding);
}
bool ObjCClass::exchangeInstanceMethods(std::string_view original, std::string_view swizzled) {
    return exchange(false, original, swizzled);
}
bool ObjCClass::addClassMethod(std::string_view selector, IMP imp, std::string_view typeEncoding) {
    return add(true, selector, std::move(imp), typeEncoding);
}
IMP ObjCClass::replaceClassMethod(std::string_view selector, IMP imp, std::string_view typeEncoding) {
    return replace(true, selector, std::move(imp), typeEncoding);
}
bool ObjCClass::exchangeClassMethods(std::string_view original, std::string_view swizzled) {
    return exchange(true, original, swizzled);
}

bool ObjCClass::addClassOperation(std::string_view selector, Operation operation) {
    return addClassMethod(selector, makeClassImp<Value(const Value::Array&)>(std::move(operation)), "@@:@");
}

bool ObjCClass::addInstanceOperation(std::string_view selector, InstanceOperation operation) {
    return addMethod(selector, makeInstanceImp<Value(const Value::Array&)>(std::move(operation)), "@@:@");
}

void ObjCClass::addInstanceSelectors(std::vector<std::string> selectors) {
    std::unique_lock lock(runtimeLock());
    for (auto& s : selectors) instanceSelectors_.insert(std::move(s));
}

bool ObjCClass::instancesRespondToSelector(std::string_view selector) const {
    if (!objc_isSelectorAvailable(this, selector)) return false;
    std::shared_lock lock(runtimeLock());
    for (const ObjCClass* c = this; c; c = c->superclass_)
        if (c->instanceSelectors_.count(selector) || findOwn(c->instanceMethods_, selector)) return true;
    return false;
}

bool ObjCClass::respondsToSelector(std::string_view selector) const {
    return objc_isSelectorAvailable(this, selector) && classMethod(selector) != nullptr;
}

void ObjCClass::setKeyPathsForValuesAffectingKey(std::string key, std::set<std::string> affectingKeyPaths) {
    std::unique_lock lock(runtimeLock());
    affectingKeys_[std::move(key)] = std::move(affectingKeyPaths);
    objc_detail::keyValueGeneration().fetch_add(1, std::memory_order_acq_rel);
}

std::set<std::string> ObjCClass::keyPathsForValuesAffectingValueForKey(std::string_view key) const {
    std::shared_lock lock(runtimeLock());
    for (const ObjCClass* c = this; c; c = c->superclass_) {
        auto it = c->affectingKeys_.find(key);
        if (it != c->affectingKeys_.end()) return it->second;
    }
    return {};
}
