// Export to JSON-ready dictionaries and text, equality and order by the index property,
// the debugging description, and archiving / copying through the JSON text.

#include <model_mapping/MMModel.h>

#include "MMModelClassInfo.h"

#include <model_mapping/MMValueTransformer.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_runtime/KeyValueCoding.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

// Makes sure every dictionary along "a.b.c" up to the last step exists.
void createDictionariesForKeyPath(const std::string& keyPath, Value& into) {
    std::size_t dot = keyPath.find('.');
    if (dot == std::string::npos) return;
    Value key(keyPath.substr(0, dot));
    Value nested = into.objectForKey(key);
    if (!nested.isDictionary()) nested = Value::mutableDictionary();
    createDictionariesForKeyPath(keyPath.substr(dot + 1), nested);
    into.setObject(nested, key);
}

}  // namespace

Value MMModel::reverseTransform(const Value& value, const MMModelClassProperty& p) const {
    ObjCClass* element = NSClassFromString(*p.protocol);
    if (!isMMModelSubClass(element) || !p.type) return value;
    const std::string& declared = p.type->name();
    auto exported = [](const Value& v) {
        auto model = v.objectAs<MMModel>();
        return model ? model->toDictionary() : v;
    };
    if (declared == "NSArray" || declared == "NSMutableArray") {
        Value::Array out;
        out.reserve(value.count());
        for (const auto& v : value.asArray()) out.push_back(exported(v));
        return Value(std::move(out));
    }
    if (declared == "NSDictionary" || declared == "NSMutableDictionary") {
        Value::Dictionary out;
        for (const auto& [k, v] : value.asDictionary()) out.emplace(k, exported(v));
        return Value(std::move(out));
    }
    return value;
}

Value MMModel::toDictionaryWithKeys(const std::vector<std::string>* propertyNames) const {
    const ClassInfo& info = setup();
    MMKeyMapperPtr mapper = classKeyMapper();
    const bool mapped = mapper || globalKeyMapper();
    Value out = Value::mutableDictionary();
    for (const auto& pp : info.properties) {
        const MMModelClassProperty& p = *pp;
        if (propertyNames && std::find(propertyNames->begin(), propertyNames->end(), p.name) == propertyNames->end())
            continue;
        const std::string keyPath = mapped ? mapString(p.name, mapper) : p.name;
        Value value = p.property->get(*this);
        createDictionariesForKeyPath(keyPath, out);

        if (p.customGetter) {
            auto answer = performSelector(const_cast<MMModel*>(this), *p.customGetter);
            ::setValueForKeyPath(out, answer ? *answer : Value(), keyPath);
            continue;
        }
        if (value.isNull()) {
            out.removeObjectForKey(Value(keyPath));
            continue;
        }
        if (auto model = value.objectAs<MMModel>()) {
            ::setValueForKeyPath(out, model->toDictionary(), keyPath);
            continue;
        }
        if (p.protocol) value = reverseTransform(value, p);
        if (!p.structName && (p.isStandardJSONType || !p.type)) {
            ::setValueForKeyPath(out, value, keyPath);
            continue;
        }
        const std::string selector = "JSONObjectFrom" + (p.type ? p.type->name() : *p.structName) + ":";
        const MMValueTransformer& transformer = MMValueTransformer::shared();
        std::optional<Value> converted = transformer.transform(selector, value);
        if (!converted) converted = transformer.transform("__" + selector, value);
        if (!converted)
            throw NSException("Value transformer not found", "[MMValueTransformer __" + selector + "] not found");
        ::setValueForKeyPath(out, *converted, keyPath);
    }
    return out.copy();
}

std::optional<Value::Data> MMModel::toJSONData(const std::vector<std::string>* propertyNames) const {
    try {
        NSErrorPtr error;
        Value::Data data = NSJSONSerialization::dataWithJSONObject(toDictionaryWithKeys(propertyNames), 0, &error);
        if (error) return std::nullopt;
        return data;
    } catch (const NSException&) {
        return std::nullopt;
    }
}

std::optional<std::string> MMModel::toJSONString(const std::vector<std::string>* propertyNames) const {
    auto data = toJSONData(propertyNames);
    if (!data) return std::nullopt;
    return std::string(data->begin(), data->end());
}

bool MMModel::isEqual(const NSObject& other) const {
    if (&other.objcClass() != &objcClass()) return false;
    auto index = indexPropertyName();
    if (!index) return this == &other;
    const ObjCProperty* prop = objcClass().property(*index);
    return prop->get(*this) == prop->get(other);
}

std::size_t MMModel::hash() const {
    if (auto index = indexPropertyName()) {
        Value v = objcClass().property(*index)->get(*this);
        if (!v.isNull()) return v.hash();
    }
    return NSObject::hash();
}

NSComparisonResult MMModel::compare(const MMModel& other) const {
    auto index = indexPropertyName();
    if (!index) return NSOrderedSame;
    const ObjCProperty* mine = objcClass().property(*index);
    const ObjCProperty* theirs = other.objcClass().property(*index);
    if (!theirs) return NSOrderedSame;
    Value a = mine->get(*this);
    Value b = theirs->get(other);
    if (b.isNull()) return NSOrderedSame;
    return a.compare(b);
}

std::string MMModel::description() const {
    const std::string& name = objcClass().name();
    std::string text = "<" + name + "> \n";
    for (const auto& p : properties()) {
        Value value = p->property->get(*this);
        std::string valueText = value.isNull() ? "<nil>" : value.description();
        bool counts = value.isArray() || value.isDictionary() || value.isSet();
        Value asText(valueText);
        if (p->isStandardJSONType && !counts && asText.length() >= 61)
            valueText = asText.substringWithRange(0, 59) + "...";
        std::string indented;
        for (char c : valueText) {
            indented += c;
            if (c == '\n') indented += "   ";
        }
        text += "   [" + p->name + "]: " + indented + "\n";
    }
    return text + "</" + name + ">";
}

void MMModel::encodeWithCoder(NSCoder& coder) const {
    auto json = toJSONString();
    coder.encodeObject(json ? Value(*json) : Value(), "json");
}

bool MMModel::initWithCoder(NSCoder& coder) {
    Value json = coder.decodeObjectOfClass("NSString", "json");
    if (!json.isString()) return false;
    return initWithString(json.asStdString(), nullptr);
}

MMModelPtr MMModel::copy() const {
    auto self = std::const_pointer_cast<NSObject>(shared_from_this());
    Value::Data data = NSKeyedArchiver::archivedDataWithRootObject(Value(self), true);
    if (data.empty()) return nullptr;
    return NSKeyedUnarchiver::unarchiveObjectWithData(data).objectAs<MMModel>();
}
