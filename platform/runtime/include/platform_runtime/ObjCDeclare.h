#pragma once
// Declaration macros: a class registers itself, its properties, protocols, selectors and
// dependent keys once, in its own body, and its class-load hooks in its source file.
//
//   class FirmwareItem : public MMModel {
//       NS_CLASS(FirmwareItem, MMModel)
//       NS_PROPERTY(std::string, buildid, setBuildid, "&,N")
//       NS_PROPERTY(bool, isSigned, setIsSigned, "N")
//       NS_PROPERTY(std::optional<std::string>, releasedate, setReleasedate, "&,N", Optional)
//   };
//
// NS_PROPERTY(Type, name, setter, attrs, markers...) declares the storage (private, `name_`),
// the getter `const Type& name() const` and the setter `void setter(Type)`, which tells
// key-value observers; it registers the property with attribute text
// "T<encoding of Type with the markers as protocols>,<attrs>,V_<name>". Markers are marker
// protocol names (Optional, Index, Ignore, or an element class). NS_PROPERTY leaves the class
// body in a `public:` section. A Type containing a comma needs an alias.
//
// NS_PROPERTY_ACCESSORS(Type, name, attrs, getter, setter, markers...) registers a property
// over member functions the class already declared (custom storage); it posts no change
// notifications of its own: the setter announces them with will/didChangeValueForKey.
// NS_READONLY_PROPERTY(Type, name, attrs, getter, markers...) is the same without a setter.
// Neither adds a "V_" item to the attributes. NS_PROPERTY also lists its storage in the class
// record's instance-variable table (name "_<name>", the T part as type code).

#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/ObjCPropertyTraits.h>

#define NS_CONCAT_IMPL_(a, b) a##b
#define NS_CONCAT_(a, b) NS_CONCAT_IMPL_(a, b)

namespace objc_detail {

// Splits the stringised marker list ("Optional, Index" or "\"Optional\"") into names.
std::vector<std::string> parseMarkers(const char* text);
// "T" + encoding (markers added as protocols of an object type) + "," + attrs [+ ",V_" + name].
std::string propertyAttributes(const std::string& encoding, const std::vector<std::string>& markers,
                               const char* attrs, const char* ivarName);

template <class Self>
ObjCClass& registerClass(const char* name, ObjCClass& superclass) {
    ObjCClass::Factory factory;
    if constexpr (std::is_default_constructible_v<Self> && !std::is_abstract_v<Self>) {
        factory = [] { return std::static_pointer_cast<NSObject>(std::make_shared<Self>()); };
    }
    return ObjCClass::registerClass(name, &superclass, static_cast<uint32_t>(sizeof(Self)), std::move(factory),
                                    typeid(Self).name());
}

// Offset of a data member from the object's NSObject address, computed on uninitialised
// storage (pointer arithmetic only: the hierarchy has no virtual bases).
template <class Self, class T>
uint32_t memberOffsetFromObject(T Self::*field) {
    alignas(Self) unsigned char storage[sizeof(Self)];
    Self* self = reinterpret_cast<Self*>(storage);
    const char* object = reinterpret_cast<const char*>(static_cast<const NSObject*>(self));
    return static_cast<uint32_t>(reinterpret_cast<const char*>(&(self->*field)) - object);
}

// Lists a stored member in the class record's instance-variable table.
template <class Self, class T>
bool declareIvar(const char* ivarName, const char* typeCode, T Self::*field) {
    Self::classObject().addIvar(ivarName, typeCode, memberOffsetFromObject(field), static_cast<uint32_t>(sizeof(T)));
    return true;
}

template <class Self, class T, class Setter>
bool declareStoredProperty(const char* name, const char* attrs, const char* markerText, T Self::*field,
                           Setter setter) {
    using Traits = ObjCPropertyTraits<T>;
    auto markers = parseMarkers(markerText);
    std::string attributes = propertyAttributes(Traits::encoding(), markers, attrs, name);
    ObjCProperty::Getter get = [field](const NSObject& o) -> Value {
        return Traits::toValue(static_cast<const Self&>(o).*field);
    };
    ObjCProperty::Setter set = [setter](NSObject& o, Value&& v) -> bool {
        T t{};
        if (!Traits::fromValue(std::move(v), t)) return false;
        (static_cast<Self&>(o).*setter)(std::move(t));
        return true;
    };
    std::string encoding = attributes.substr(1, attributes.find(',') - 1);
    Self::classObject().addIvar("_" + std::string(name), std::move(encoding), memberOffsetFromObject(field),
                                static_cast<uint32_t>(sizeof(T)));
    Self::classObject().addProperty(
        ObjCProperty(name, std::move(attributes), std::move(markers), std::move(get), std::move(set), Traits::scalar));
    return true;
}

template <class Self, class T, class Getter, class Setter>
bool declareAccessorProperty(const char* name, const char* attrs, const char* markerText, Getter getter,
                             Setter setter) {
    using Traits = ObjCPropertyTraits<T>;
    auto markers = parseMarkers(markerText);
    std::string attributes = propertyAttributes(Traits::encoding(), markers, attrs, nullptr);
    ObjCProperty::Getter get = [getter](const NSObject& o) -> Value {
        return Traits::toValue(static_cast<T>((static_cast<const Self&>(o).*getter)()));
    };
    ObjCProperty::Setter set;
    if constexpr (!std::is_same_v<Setter, std::nullptr_t>) {
        set = [setter](NSObject& o, Value&& v) -> bool {
            T t{};
            if (!Traits::fromValue(std::move(v), t)) return false;
            (static_cast<Self&>(o).*setter)(std::move(t));
            return true;
        };
    }
    Self::classObject().addProperty(
        ObjCProperty(name, std::move(attributes), std::move(markers), std::move(get), std::move(set), Traits::scalar));
    return true;
}

bool declareProtocols(ObjCClass& cls, std::initializer_list<const char*> protocols);
bool declareSelectors(ObjCClass& cls, std::initializer_list<const char*> selectors);
bool declareAffectingKeys(ObjCClass& cls, const char* key, std::initializer_list<const char*> keyPaths);

}  // namespace objc_detail

template <class Self>
NSIsaStamp<Self>::NSIsaStamp(NSObject* object) {
    object->isa_ = &Self::classObject().record();
}

// In the class body: registers Self (a subclass of Super) at class load and makes its
// instances report Self as their class.
#define NS_CLASS(Self, Super)                                                                \
public:                                                                                      \
    using NSSelf_ = Self;                                                                    \
    static const char* staticClassName() { return #Self; }                                   \
    static ::ObjCClass& classObject() {                                                      \
        static ::ObjCClass& cls = ::objc_detail::registerClass<Self>(#Self, Super::classObject()); \
        return cls;                                                                          \
    }                                                                                        \
                                                                                             \
private:                                                                                     \
    [[no_unique_address]] ::NSIsaStamp<Self> nsIsaStamp_{this};                              \
    inline static ::ObjCClass& nsClassRegistrar_ = Self::classObject();                      \
                                                                                             \
public:

#define NS_PROPERTY(Type, name, setter, attrs, ...)                                         \
private:                                                                                     \
    Type name##_{};                                                                          \
                                                                                             \
public:                                                                                      \
    const Type& name() const { return name##_; }                                             \
    void setter(Type value) { this->nsSetProperty(#name, name##_, std::move(value)); }      \
                                                                                             \
private:                                                                                     \
    inline static const bool nsProperty_##name##_ = ::objc_detail::declareStoredProperty<NSSelf_, Type>( \
        #name, attrs, #__VA_ARGS__, &NSSelf_::name##_, &NSSelf_::setter);                    \
                                                                                             \
public:

#define NS_PROPERTY_ACCESSORS(Type, name, attrs, getter, setter, ...)                        \
    inline static const bool nsProperty_##name##_ = ::objc_detail::declareAccessorProperty<NSSelf_, Type>( \
        #name, attrs, #__VA_ARGS__, &NSSelf_::getter, &NSSelf_::setter);

#define NS_READONLY_PROPERTY(Type, name, attrs, getter, ...)                                 \
    inline static const bool nsProperty_##name##_ = ::objc_detail::declareAccessorProperty<NSSelf_, Type>( \
        #name, attrs, #__VA_ARGS__, &NSSelf_::getter, nullptr);

// In the class body: lists a member the class stores itself (not through NS_PROPERTY) in
// the class record's instance-variable table, for crash-time inspection.
//   NS_IVAR(absolute_, "_absoluteString", "@\"NSString\"")
#define NS_IVAR(member, ivarName, typeCode)                                                  \
    inline static const bool NS_CONCAT_(nsIvar_, __LINE__) =                                 \
        ::objc_detail::declareIvar<NSSelf_>(ivarName, typeCode, &NSSelf_::member);

// In the class body: protocols the class adopts ("NSURLSessionDelegate", ...).
#define NS_PROTOCOLS(...)                                                                    \
    inline static const bool NS_CONCAT_(nsProtocols_, __LINE__) =                            \
        ::objc_detail::declareProtocols(NSSelf_::classObject(), {__VA_ARGS__});

// In the class body: selectors the instances respond to without a method entry (the
// optional delegate methods the class implements).
#define NS_SELECTORS(...)                                                                    \
    inline static const bool NS_CONCAT_(nsSelectors_, __LINE__) =                            \
        ::objc_detail::declareSelectors(NSSelf_::classObject(), {__VA_ARGS__});

// In the class body: observers of key are also told when any of the key paths change.
#define NS_AFFECTING_KEYS(key, ...)                                                          \
    inline static const bool NS_CONCAT_(nsAffecting_, __LINE__) =                            \
        ::objc_detail::declareAffectingKeys(NSSelf_::classObject(), key, {__VA_ARGS__});

// At namespace scope in a source file: a class-load hook, run once at static initialisation
// with the registered class (after the class's in-body declarations of the same file).
//   NS_CLASS_LOAD(VUVuvev) { cls.addClassOperation("initVUVuvev:channel:", ...); }
#define NS_CLASS_LOAD(Self)                                                                  \
    static void NS_CONCAT_(nsClassLoad_, __LINE__)(::ObjCClass & cls);                       \
    [[maybe_unused]] static const bool NS_CONCAT_(nsClassLoadDone_, __LINE__) =              \
        (NS_CONCAT_(nsClassLoad_, __LINE__)(Self::classObject()), true);                     \
    static void NS_CONCAT_(nsClassLoad_, __LINE__)([[maybe_unused]] ::ObjCClass & cls)
