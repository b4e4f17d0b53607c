// Import: required-key check, key mapping, conversions, nested models and validation.

#include <model_mapping/MMModel.h>

#include <mutex>

#include "MMModelClassInfo.h"

#include <model_mapping/MMValueTransformer.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_runtime/KeyValueCoding.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_runtime/ValueClasses.h>

namespace {

std::mutex& globalMapperMutex() {
    static std::mutex m;
    return m;
}
MMKeyMapperPtr& globalMapperSlot() {
    static MMKeyMapperPtr mapper;
    return mapper;
}

void setError(NSErrorPtr* error, NSErrorPtr value) {
    if (error) *error = std::move(value);
}

MMModelErrorPtr withKeyPath(const NSErrorPtr& error, const std::string& component) {
    return MMModelError::errorByPrependingKeyPathComponent(*error, component);
}

// The value under a key, read as a dot-separated path through nested dictionaries. When a step
// lands on something that has no keys, the whole text is read once more as one top-level key.
// nullopt: no such key (a stored null is a value).
std::optional<Value> lookup(const Value& dictionary, const Value& keyValue) {
    const Value::Dictionary& top = dictionary.asDictionary();
    const std::string& key = keyValue.asString();
    auto plain = [&]() -> std::optional<Value> {
        auto it = top.find(keyValue);
        if (it == top.end()) return std::nullopt;
        return it->second;
    };
    if (key.find('.') == std::string::npos) return plain();
    const Value* current = &dictionary;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = key.find('.', start);
        std::string step = key.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (current->isDictionary()) {
            const auto& d = current->asDictionary();
            auto it = d.find(Value(step));
            if (it == d.end()) return std::nullopt;
            current = &it->second;
        } else if (current->isArray()) {
            // Arrays collect the rest of the path over their elements.
            try {
                Value collected = valueForKeyPath(*current, key.substr(start));
                return collected;
            } catch (const NSException&) {
                return plain();
            }
        } else {
            return plain();
        }
        if (dot == std::string::npos) return *current;
        start = dot + 1;
    }
}

bool isAllowedJSONValue(const Value& v) {
    switch (v.type()) {
        case Value::Type::Null:
        case Value::Type::Bool:
        case Value::Type::Int:
        case Value::Type::UInt:
        case Value::Type::Double:
        case Value::Type::Decimal:
        case Value::Type::String:
        case Value::Type::Array:
        case Value::Type::Dictionary: return true;
        default: return false;
    }
}

bool isKindOf(const Value& v, const ObjCClass* cls) {
    return cls && classForValue(v).isSubclassOfClass(cls);
}

std::string valueClassName(const Value& v) {
    return v.isObject() ? v.asObject()->className() : classForValue(v).name();
}

}  // namespace

void MMModel::setGlobalKeyMapper(MMKeyMapperPtr mapper) {
    std::lock_guard lock(globalMapperMutex());
    globalMapperSlot() = std::move(mapper);
}

MMKeyMapperPtr MMModel::globalKeyMapper() {
    std::lock_guard lock(globalMapperMutex());
    return globalMapperSlot();
}

Value MMModel::keyFor(const MMModelClassProperty& p, std::size_t i, const std::vector<Value>& classKeys,
                      const MMKeyMapperPtr& mapper, const MMKeyMapperPtr& global) {
    if (global) return Value(mapString(p.name, mapper));
    return mapper ? classKeys[i] : Value(p.name);
}

std::string MMModel::mapString(const std::string& name, const MMKeyMapperPtr& mapper) {
    MMKeyMapperPtr global = globalKeyMapper();
    if (mapper) {
        std::string key = mapper->convertValue(name);
        if (global && key == name) key = global->convertValue(name);
        return key;
    }
    return global ? global->convertValue(name) : name;
}

MMModelPtr MMModel::modelWithDictionary(ObjCClass& cls, const Value& dictionary, NSErrorPtr* error) {
    auto model = std::dynamic_pointer_cast<MMModel>(cls.createInstance());
    if (!model) {
        setError(error, MMModelError::errorModelIsInvalid());
        return nullptr;
    }
    return model->initWithDictionary(dictionary, error) ? model : nullptr;
}

bool MMModel::initWithDictionary(const Value& dictionary, NSErrorPtr* error) {
    if (dictionary.isNull()) {
        setError(error, MMModelError::errorInputIsNil());
        return false;
    }
    if (!dictionary.isDictionary()) {
        setError(error, MMModelError::errorInvalidDataWithMessage(
                            "Attempt to initialize MMModel object using initWithDictionary:error: but the dictionary "
                            "parameter was not an 'NSDictionary'."));
        return false;
    }
    // Every key is looked up once; the required-key check runs before anything is assigned.
    const Found found = lookUpProperties(dictionary, classKeyMapper());
    if (!doesDictionaryMatchModel(found, error)) return false;
    if (!importDictionary(found, true, error)) return false;
    return validate(error);
}

bool MMModel::initWithData(const Value::Data& data, NSErrorPtr* error) {
    NSErrorPtr jsonError;
    Value object = NSJSONSerialization::JSONObjectWithData(data, 0, &jsonError);
    if (jsonError) {
        setError(error, MMModelError::errorBadJSON());
        return false;
    }
    return initWithDictionary(object, error);
}

bool MMModel::initWithString(const std::string& text, NSErrorPtr* error) {
    return initWithString(text, NSUTF8StringEncoding, error);
}

bool MMModel::initWithString(const std::string& text, NSStringEncoding encoding, NSErrorPtr* error) {
    auto data = NSString::dataUsingEncoding(text, encoding);
    if (!data) {
        setError(error, MMModelError::errorBadJSON());
        return false;
    }
    return initWithData(*data, error);
}

bool MMModel::mergeFromDictionary(const Value& dictionary, bool useKeyMapping, NSErrorPtr* error) {
    if (!dictionary.isDictionary()) {
        setError(error, dictionary.isNull() ? MMModelError::errorInputIsNil()
                                            : MMModelError::errorInvalidDataWithMessage(
                                                  "Attempt to merge into a MMModel object from a value that is not "
                                                  "an 'NSDictionary'."));
        return false;
    }
    return importDictionary(lookUpProperties(dictionary, useKeyMapping ? classKeyMapper() : nullptr), false, error);
}

bool MMModel::validate(NSErrorPtr*) { return true; }

MMModel::Found MMModel::lookUpProperties(const Value& dictionary, const MMKeyMapperPtr& mapper) const {
    const ClassInfo& info = setup();
    const MMKeyMapperPtr global = globalKeyMapper();
    const auto keys = classKeys();
    Found found;
    found.reserve(info.properties.size());
    for (std::size_t i = 0; i < info.properties.size(); ++i)
        found.push_back(lookup(dictionary, keyFor(*info.properties[i], i, *keys, mapper, global)));
    return found;
}

bool MMModel::doesDictionaryMatchModel(const Found& found, NSErrorPtr* error) const {
    const ClassInfo& info = setup();
    std::set<std::string> missing;
    for (std::size_t i = 0; i < info.properties.size(); ++i)
        if (!info.properties[i]->isOptional && !found[i]) missing.insert(info.properties[i]->name);
    if (missing.empty()) return true;
    setError(error, MMModelError::errorInvalidDataWithMissingKeys(missing));
    return false;
}

bool MMModel::importDictionary(const Found& found, bool validation, NSErrorPtr* error) {
    const ClassInfo& info = setup();
    const std::string& modelClass = objcClass().name();

    auto fail = [&](NSErrorPtr e, const std::string& name) {
        setError(error, withKeyPath(e, name));
        return false;
    };
    // Assigns through the declared property; a value its storage cannot hold is a type mismatch.
    auto assign = [&](const MMModelClassProperty& p, const Value& v) {
        try {
            // An equal value is not stored again; that only matters to observers.
            if (hasObservers() && p.property->get(*this) == v) return true;
            p.property->set(*this, v);
            return true;
        } catch (const NSException&) {
            return fail(MMModelError::errorInvalidDataWithTypeMismatch(valueClassName(v) + " type not supported for " +
                                                                       modelClass + "." + p.name),
                        p.name);
        }
    };

    for (std::size_t i = 0; i < info.properties.size(); ++i) {
        const MMModelClassProperty& p = *info.properties[i];
        Value value = found[i] ? *found[i] : Value();

        if (value.isNull()) {
            if (p.isOptional || !validation) continue;
            return fail(MMModelError::errorInvalidDataWithMessage("Value of required model key " + p.name + " is null"),
                        p.name);
        }
        if (!isAllowedJSONValue(value))
            return fail(MMModelError::errorInvalidDataWithMessage("Type " + valueClassName(value) +
                                                                  " is not allowed in JSON."),
                        p.name);

        if (customSetValue(value, p)) continue;

        if (!p.type && !p.structName) {
            // A primitive cannot hold a container; an untyped reference takes anything.
            if (!p.primitiveName.empty() && (value.isArray() || value.isDictionary()))
                return fail(MMModelError::errorInvalidDataWithTypeMismatch(
                                MMValueTransformer::classByResolvingClusterClasses(value) + " type not supported for " +
                                modelClass + "." + p.name + " (" + p.primitiveName + ")"),
                            p.name);
            if (!assign(p, value)) return false;
            continue;
        }

        if (isMMModelSubClass(p.type)) {
            NSErrorPtr local;
            MMModelPtr nested = modelWithDictionary(*p.type, value, &local);
            if (!nested) {
                if (p.isOptional || !validation) continue;
                if (local) return fail(local, p.name);
                return false;
            }
            if (!assign(p, Value(nested))) return false;
            continue;
        }

        if (p.protocol) {
            std::optional<Value> transformed = transform(value, p, error);
            if (!transformed) {
                if (error && !*error)
                    *error = withKeyPath(MMModelError::errorInvalidDataWithMessage(
                                             "Failed to transform value, but no error was set during transformation. (" +
                                             p.description() + ")"),
                                         p.name);
                return false;
            }
            value = std::move(*transformed);
        }

        if (p.isStandardJSONType && isKindOf(value, p.type)) {
            if (p.isMutable) value = value.mutableCopy();
            if (!assign(p, value)) return false;
            continue;
        }
        if (isKindOf(value, p.type) && !p.isMutable && !p.structName) {
            if (!assign(p, value)) return false;
            continue;
        }

        const std::string source = MMValueTransformer::classByResolvingClusterClasses(value);
        const std::string target = p.structName ? *p.structName : p.type->name();
        const std::string selector = target + "From" + source + ":";
        const MMValueTransformer& transformer = MMValueTransformer::shared();
        std::optional<Value> converted = transformer.transform(selector, value);
        if (!converted) converted = transformer.transform("__" + selector, value);
        if (!converted)
            return fail(MMModelError::errorInvalidDataWithTypeMismatch(
                            (p.type ? p.type->name() : std::string("(null)")) + " type not supported for " +
                            modelClass + "." + p.name),
                        p.name);
        if (!assign(p, *converted)) return false;
    }
    return true;
}

std::optional<Value> MMModel::transform(const Value& value, const MMModelClassProperty& p, NSErrorPtr* error) const {
    ObjCClass* element = NSClassFromString(*p.protocol);
    if (!element) {
        if (value.isArray())
            throw NSException("Bad property protocol declaration",
                              "<" + *p.protocol + "> is not allowed MMModel property protocol, and not a MMModel class.");
        return value;
    }
    if (!isMMModelSubClass(element)) return value;

    auto mismatch = [&](const char* declared, const char* json) -> std::optional<Value> {
        setError(error, withKeyPath(MMModelError::errorInvalidDataWithTypeMismatch(
                                        "Property '" + p.name + "' is declared as " + declared + "<" + *p.protocol +
                                        ">* but the corresponding JSON value is not a JSON " + json + "."),
                                    p.name));
        return std::nullopt;
    };

    if (p.type && p.type->isSubclassOfClass(NSClassFromString("NSArray"))) {
        if (!value.isArray()) return mismatch("NSArray", "Array");
        NSErrorPtr local;
        Value models = arrayOfModelsFromDictionaries(*element, value, &local);
        if (local) {
            setError(error, withKeyPath(local, p.name));
            return std::nullopt;
        }
        if (models.isNull()) return std::nullopt;
        return models;
    }
    if (p.type && p.type->isSubclassOfClass(NSClassFromString("NSDictionary"))) {
        if (!value.isDictionary()) return mismatch("NSDictionary", "Object");
        Value::Dictionary result;
        for (const auto& [key, item] : value.asDictionary()) {
            NSErrorPtr local;
            MMModelPtr model = modelWithDictionary(*element, item, &local);
            if (!model) {
                if (error && local) *error = withKeyPath(withKeyPath(local, key.stringValue()), p.name);
                return std::nullopt;
            }
            result.emplace(key, Value(model));
        }
        return Value(std::move(result));
    }
    return value;
}

bool MMModel::customSetValue(const Value& value, const MMModelClassProperty& p) {
    if (p.customSetters.empty()) return false;
    auto it = p.customSetters.find(MMValueTransformer::classByResolvingClusterClasses(value));
    if (it == p.customSetters.end()) it = p.customSetters.find("generic");
    if (it == p.customSetters.end()) return false;
    performSelector(this, it->second, {value});
    return true;
}
