#include <model_mapping/MMModelClassProperty.h>

#include <platform_runtime/ObjCClass.h>

std::string MMModelClassProperty::description() const {
    std::vector<std::string> flags;
    if (isIndex) flags.push_back("Index");
    if (isOptional) flags.push_back("Optional");
    if (isMutable) flags.push_back("Mutable");
    if (isStandardJSONType) flags.push_back("Standard JSON type");
    if (customGetter) flags.push_back("Getter = " + *customGetter);
    std::string setters;
    for (const auto& [family, selector] : customSetters) {
        if (!setters.empty()) setters += ", ";
        setters += selector;
    }
    flags.push_back("Setters = [" + setters + "]");

    std::string flagsText;
    for (const auto& f : flags) flagsText += (flagsText.empty() ? "" : ", ") + f;
    flagsText = "(" + flagsText + ")";

    std::string typeText = type ? type->name() + "*" : structName ? *structName : "primitive";
    std::string protocolText = protocol ? "<" + *protocol + ">" : "";
    return "@property " + typeText + protocolText + " " + name + " " + flagsText;
}
