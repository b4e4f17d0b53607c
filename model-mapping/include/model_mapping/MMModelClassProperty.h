#pragma once
// What model mapping knows of one declared property of a model class: its type, markers,
// element model class and the custom import setters / export getter the class offers.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include <platform_runtime/NSObject.h>

class ObjCClass;
class ObjCProperty;

class MMModelClassProperty : public NSObject {
public:
    bool isIndex = false;
    std::string name;
    // Declared class of an object property; nullptr for structs, primitives and untyped objects.
    ObjCClass* type = nullptr;
    std::optional<std::string> structName;
    // Element model class name (from a marker protocol or the class hooks).
    std::optional<std::string> protocol;
    bool isOptional = false;
    bool isStandardJSONType = false;
    bool isMutable = false;
    // Selector of the export getter ("JSONObjectForName").
    std::optional<std::string> customGetter;
    // Import setters by value family ("NSString", ...) or "generic".
    std::map<std::string, std::string> customSetters;

    // The runtime property behind the record (read and assign by name).
    const ObjCProperty* property = nullptr;
    // Type name of a primitive ("BOOL", "long long"); empty otherwise.
    std::string primitiveName;

    // "@property NSString* name (Standard JSON type, Setters = [])".
    std::string description() const override;
    std::string className() const override { return "MMModelClassProperty"; }
};

using MMModelClassPropertyPtr = std::shared_ptr<MMModelClassProperty>;
