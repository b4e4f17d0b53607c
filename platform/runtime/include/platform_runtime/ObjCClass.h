#pragma once
// A registered class: name, superclass, protocols, properties, method tables with add /
// replace / exchange, declared selectors, dependent keys, instance factory and the
// associated objects of the class object.

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/ObjCClassRecord.h>
#include <platform_runtime/ObjCMethod.h>
#include <platform_runtime/ObjCProperty.h>

class NSObject;

class ObjCClass {
public:
    using Factory = std::function<std::shared_ptr<NSObject>()>;
    // A class operation called by selector name: cls, arguments -> result.
    using Operation = std::function<Value(ObjCClass& cls, const Value::Array& args)>;
    // An instance operation called by selector name: self, arguments -> result.
    using InstanceOperation = std::function<Value(NSObject& self, const Value::Array& args)>;

    // Creates and registers a class. `implementation` names the C++ type behind it (its
    // typeid name; nullptr for classes without one). Registering the same class again answers
    // the first registration; a different class under a taken name (another implementation or
    // superclass) is a program error and ends the process with both classes named.
    // Normally reached through NS_CLASS, not called directly.
    static ObjCClass& registerClass(const char* name, ObjCClass* superclass, uint32_t instanceSize, Factory factory,
                                    const char* implementation = nullptr);
    // The registered class of that name, or nullptr.
    static ObjCClass* named(std::string_view name);
    // The class owning a record (nullptr for nullptr).
    static ObjCClass* fromRecord(const ObjCClassRecord* record);
    // Every registered class, in registration order.
    static std::vector<ObjCClass*> allClasses();

    ObjCClass(const ObjCClass&) = delete;
    ObjCClass& operator=(const ObjCClass&) = delete;

    const std::string& name() const { return name_; }
    ObjCClass* superclass() const { return superclass_; }
    const ObjCClassRecord& record() const { return record_; }
    // This class or a subclass of other.
    bool isSubclassOfClass(const ObjCClass* other) const;

    // --- instances ---
    // A new default-constructed instance; nullptr when the class cannot make one (abstract,
    // no default constructor).
    std::shared_ptr<NSObject> createInstance() const;

    // --- protocols (by name, inherited) ---
    void addProtocol(std::string protocol);
    bool conformsToProtocol(std::string_view protocol) const;
    std::vector<std::string> ownProtocols() const;

    // --- properties ---
    // Own properties in declaration order (class_copyPropertyList).
    std::vector<const ObjCProperty*> ownProperties() const;
    // The property of that name on this class or the nearest superclass declaring it.
    const ObjCProperty* property(std::string_view name) const;
    // Adds an own property; a second property of the same name replaces nothing and is dropped.
    void addProperty(ObjCProperty property);

    // --- instance variables (crash-time inspection reads them from the record) ---
    // Adds an own instance variable; a second one of the same name is dropped. Called at
    // class load only: the record's table is rebuilt, so no reader may run concurrently.
    void addIvar(std::string name, std::string typeCode, uint32_t offset, uint32_t size);

    // --- instance methods ---
    // The class's own method (no superclass walk), or nullptr.
    ObjCMethod* ownInstanceMethod(std::string_view selector) const;
    // The method the class would run for selector: own or inherited (class_getInstanceMethod).
    ObjCMethod* instanceMethod(std::string_view selector) const;
    // Adds an own method; false (and nothing changes) when the class already has its own
    // method of that name. An inherited method does not count (class_addMethod).
    bool addMethod(std::string_view selector, IMP imp, std::string_view typeEncoding = {});
    // Sets the own method's implementation, adding the method when the class has none of its
    // own; answers the previous own implementation or nullptr (class_replaceMethod).
    IMP replaceMethod(std::string_view selector, IMP imp, std::string_view typeEncoding = {});
    // The usual class-load exchange: when the class can add `original` with the
    // implementation of `swizzled` (it only inherits `original`), that is done and `swizzled`
    // gets the former implementation of `original`; otherwise the two are exchanged. False
    // when either method is missing. Doing it twice restores the first state.
    bool exchangeInstanceMethods(std::string_view original, std::string_view swizzled);

    // --- class methods (same semantics on the class side) ---
    ObjCMethod* ownClassMethod(std::string_view selector) const;
    ObjCMethod* classMethod(std::string_view selector) const;
    bool addClassMethod(std::string_view selector, IMP imp, std::string_view typeEncoding = {});
    IMP replaceClassMethod(std::string_view selector, IMP imp, std::string_view typeEncoding = {});
    bool exchangeClassMethods(std::string_view original, std::string_view swizzled);

    // Value-called operations (performSelector-style), stored as methods of that signature.
    bool addClassOperation(std::string_view selector, Operation operation);
    bool addInstanceOperation(std::string_view selector, InstanceOperation operation);

    // --- respondsToSelector ---
    // Selectors the instances implement without a method entry of their own (the optional
    // methods of a delegate interface that the C++ class overrides).
    void addInstanceSelectors(std::vector<std::string> selectors);
    // An instance method or a declared selector, here or inherited.
    bool instancesRespondToSelector(std::string_view selector) const;
    // A class method here or inherited.
    bool respondsToSelector(std::string_view selector) const;

    // --- key-value observing: dependent keys ---
    // Observers of `key` are also told when any of `affectingKeyPaths` changes.
    void setKeyPathsForValuesAffectingKey(std::string key, std::set<std::string> affectingKeyPaths);
    // The declared set for key, here or inherited (nearest declaration wins); empty if none.
    std::set<std::string> keyPathsForValuesAffectingValueForKey(std::string_view key) const;

    // --- associated objects of the class object ---
    AssociationTable& associations() const { return associations_; }

private:
    ObjCClass(const char* name, ObjCClass* superclass, uint32_t instanceSize, Factory factory);
    ObjCMethod* findOwn(const std::map<std::string, std::unique_ptr<ObjCMethod>, std::less<>>& table,
                        std::string_view selector) const;
    bool add(bool classSide, std::string_view selector, IMP imp, std::string_view types);
    IMP replace(bool classSide, std::string_view selector, IMP imp, std::string_view types);
    bool exchange(bool classSide, std::string_view original, std::string_view swizzled);
    void rebuildPropertyRecords();
    void rebuildIvarRecords();

    std::string name_;
    ObjCClass* superclass_;
    Factory factory_;
    const char* implementation_ = nullptr;  // typeid name of the C++ type, static storage
    ObjCClassRecord record_{};

    std::vector<std::unique_ptr<ObjCProperty>> properties_;
    std::vector<ObjCPropertyRecord> propertyRecords_;
    struct Ivar {
        std::string name, typeCode;
        uint32_t offset, size;
    };
    std::vector<std::unique_ptr<Ivar>> ivars_;
    std::vector<ObjCIvarRecord> ivarRecords_;
    std::set<std::string, std::less<>> protocols_;
    std::map<std::string, std::unique_ptr<ObjCMethod>, std::less<>> instanceMethods_;
    std::map<std::string, std::unique_ptr<ObjCMethod>, std::less<>> classMethods_;
    std::set<std::string, std::less<>> instanceSelectors_;
    std::map<std::string, std::set<std::string>, std::less<>> affectingKeys_;
    mutable AssociationTable associations_;
};
