#pragma once
// One declared property of a class: name, attribute text and the Value getter/setter thunks.

#include <functional>
#include <string>
#include <vector>

#include <platform_runtime/Value.h>

class NSObject;

class ObjCProperty {
public:
    using Getter = std::function<Value(const NSObject&)>;
    // Answers false when the value cannot be stored (null into a scalar: the caller then
    // sends setNilValueForKey).
    // The value is handed over: the setter may move its payload out.
    using Setter = std::function<bool(NSObject&, Value&&)>;

    ObjCProperty(std::string name, std::string attributes, std::vector<std::string> markers, Getter getter,
                 Setter setter, bool scalar);

    const std::string& name() const { return name_; }
    // The platform's attribute text: "T<encoding>,<attrs>[,V_<name>]".
    const std::string& attributes() const { return attributes_; }
    // The type encoding, marker protocols included ("@\"NSString<Optional>\"", "B", "@?").
    const std::string& typeEncoding() const { return typeEncoding_; }
    // The marker protocols given at declaration ("Optional", "Index", "Ignore", element class).
    const std::vector<std::string>& markers() const { return markers_; }
    bool isReadOnly() const { return readOnly_; }
    // Scalar (number, bool, struct) rather than object: a null value cannot be stored.
    bool isScalar() const { return scalar_; }
    // Whether the value can be set (computed read-only properties have no setter).
    bool hasSetter() const { return static_cast<bool>(setter_); }

    Value get(const NSObject& object) const { return getter_(object); }
    bool set(NSObject& object, const Value& value) const { return setter_ ? setter_(object, Value(value)) : false; }
    // The same, handing the value over: a payload no other handle shares is moved, not copied.
    bool set(NSObject& object, Value&& value) const { return setter_ ? setter_(object, std::move(value)) : false; }

private:
    std::string name_;
    std::string attributes_;
    std::string typeEncoding_;
    std::vector<std::string> markers_;
    Getter getter_;
    Setter setter_;
    bool readOnly_ = false;
    bool scalar_ = false;
};
