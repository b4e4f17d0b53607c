// Import: required-key check, key mapping, conversions, nested models and validation.

#include <model_mapping/MMModel.h>

#include <atomic>
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
// Lets imports skip the lock in the usual case of no global mapper.
std::atomic<bool> globalMapperSet{false};

void setError(NSErrorPtr* error, NSErrorPtr value) {
    if (error) *error = std::move(value);
}

MMModelErrorPtr withKeyPath(const NSErrorPtr& error, const std::string& component) {
    return MMModelError::errorByPrependingKeyPathComponent(*error, component);
}

// The value under a plain key, and its entry's place in `slot`. The hint slot is checked first
// and updated after a search.
const Value* findKey(const Value::Dictionary& dictionary, const Value& key, std::atomic<uint32_t>* hint,
                     uint32_t& slot) {
    if (hint) {
        slot = hint->load(std::memory_order_relaxed);
        if (slot < dictionary.size()) {
            const auto& entry = *(dictionary.begin() + static_cast<std::ptrdiff_t>(slot));
            if (entry.first.isString() && entry.first.asString() == key.asString()) return &entry.second;
        }
    }
    auto it = dictionary.find(key);
    if (it == dictionary.end()) return nullptr;
    slot = static_cast<uint32_t>(it - dictionary.begin());
    if (hint) hint->store(slot, std::memory_order_relaxed);
    return &it->second;
}

// The value under a key, read as a dot-separated path through nested dictionaries. When a step
// lands on something that has no keys, the whole text is read once more as one top-level key.
// nullptr: no such key (a stored null is a value). A value gathered over an array's elements is
// kept in `gathered`.
// `slot`: the entry a plain key was found in.
const Value* lookup(const Value& dictionary, const Value& keyValue, bool dotted, std::atomic<uint32_t>* hint,
                    std::vector<std::unique_ptr<Value>>& gathered, uint32_t& slot) {
    const Value::Dictionary& top = dictionary.asDictionary();
    if (!dotted) return findKey(top, keyValue, hint, slot);
    const std::string_view key = keyValue.asString();
    const Value* current = &dictionary;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = key.find('.', start);
        const std::string_view step = key.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (current->isDictionary()) {
            const auto& d = current->asDictionary();
            auto it = d.find(Value(step));
            if (it == d.end()) return nullptr;
            current = &it->second;
        } else if (current->isArray()) {
            // Arrays collect the rest of the path over their elements.
            try {
                gathered.push_back(std::make_unique<Value>(valueForKeyPath(*current, std::string(key.substr(start)))));
                return gathered.back().get();
            } catch (const NSException&) {
                return findKey(top, keyValue, nullptr, slot);
            }
        } else {
            return findKey(top, keyValue, nullptr, slot);
        }
        if (dot == std::string::npos) return current;
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
    globalMapperSet.store(mapper != nullptr, std::memory_order_release);
    globalMapperSlot() = std::move(mapper);
}

MMKeyMapperPtr MMModel::globalKeyMapper() {
    if (!globalMapperSet.load(std::memory_order_acquire)) return nullptr;
    std::lock_guard lock(globalMapperMutex());
    return globalMapperSlot();
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

// The operations that leave the caller its value pass a copy of the handle: its payload is then
// shared, so nothing is moved out of it.
MMModelPtr MMModel::modelWithDictionary(ObjCClass& cls, const Value& dictionary, NSErrorPtr* error) {
    return modelFrom(cls, Value(dictionary), error);
}

MMModelPtr MMModel::modelWithDictionary(ObjCClass& cls, Value&& dictionary, NSErrorPtr* error) {
    return modelFrom(cls, std::move(dictionary), error);
}

MMModelPtr MMModel::modelFrom(ObjCClass& cls, Value&& dictionary, NSErrorPtr* error) {
    auto model = std::dynamic_pointer_cast<MMModel>(cls.createInstance());
    if (!model) {
        setError(error, MMModelError::errorModelIsInvalid());
        return nullptr;
    }
    return model->importFrom(std::move(dictionary), error) ? model : nullptr;
}

bool MMModel::initWithDictionary(const Value& dictionary, NSErrorPtr* error) {
    return importFrom(Value(dictionary), error);
}

bool MMModel::initWithDictionary(Value&& dictionary, NSErrorPtr* error) {
    return importFrom(std::move(dictionary), error);
}

bool MMModel::importFrom(Value&& handedOver, NSErrorPtr* error) {
    // Held here for the whole import: the lookups point into it.
    Value dictionary = std::move(handedOver);
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
    Found found;
    if (dictionary.hasUniquePayload()) found.owned = dictionary.mutableDictionaryPayload();
    const ClassInfo& info = lookUpProperties(dictionary, true, found);
    if (!doesDictionaryMatchModel(info, found, error)) return false;
    if (!importDictionary(info, found, true, error)) return false;
    return validate(error);
}

bool MMModel::initWithData(const Value::Data& data, NSErrorPtr* error) {
    return initWithJSONText(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error);
}

bool MMModel::initWithJSONText(std::string_view text, NSErrorPtr* error) {
    NSErrorPtr jsonError;
    Value object = NSJSONSerialization::JSONObjectWithData(text, 0, &jsonError);
    if (jsonError) {
        setError(error, MMModelError::errorBadJSON());
        return false;
    }
    return initWithDictionary(std::move(object), error);
}

bool MMModel::initWithString(const std::string& text, NSErrorPtr* error) {
    return initWithString(text, NSUTF8StringEncoding, error);
}

bool MMModel::initWithString(const std::string& text, NSStringEncoding encoding, NSErrorPtr* error) {
    if (encoding == NSUTF8StringEncoding) return initWithJSONText(text, error);
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
    Found found;
    const ClassInfo& info = lookUpProperties(dictionary, useKeyMapping, found);
    return importDictionary(info, found, false, error);
}

bool MMModel::validate(NSErrorPtr*) { return true; }

const MMModel::ClassInfo& MMModel::lookUpProperties(const Value& dictionary, bool useKeyMapping, Found& found) const {
    MMKeyMapperPtr classMapper;
    const ClassInfo& info = setup(&found.keys, &classMapper);
    const ImportKeys* keys = found.keys.get();
    const MMKeyMapperPtr mapper = useKeyMapping ? classMapper : nullptr;
    const MMKeyMapperPtr global = globalKeyMapper();
    // The class's ready keys answer unless a global mapper maps afresh, or the class's own
    // mapper is to be left out.
    const bool planned = !global && (mapper || !classMapper);
    const std::size_t n = info.properties.size();
    found.values.resize(n);
    found.slots.assign(n, Found::kNotMovable);
    bool anyDotted = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (planned) {
            anyDotted |= keys->dotted[i] != 0;
            found.values[i] =
                lookup(dictionary, keys->keys[i], keys->dotted[i], &keys->hints[i], found.gathered, found.slots[i]);
            continue;
        }
        // Unmapped names, or names mapped afresh through the global mapper.
        const std::string& name = info.properties[i]->name;
        const Value key(global ? mapString(name, mapper) : name);
        const bool dotted = key.asString().find('.') != std::string::npos;
        anyDotted |= dotted;
        found.values[i] = lookup(dictionary, key, dotted, nullptr, found.gathered, found.slots[i]);
    }
    // A value two properties read (the same key, or a key path into another's value) is only
    // ever copied: moving it out for one would empty it for the other.
    if (!found.owned) return info;
    if (!anyDotted && found.owned->size() <= 64) {
        // Plain keys only: two properties read the same value exactly when they found it in the
        // same entry, so a mask over the entries finds the shared ones in two passes.
        uint64_t seen = 0, shared = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (!found.values[i]) continue;
            const uint64_t bit = uint64_t{1} << found.slots[i];
            shared |= seen & bit;
            seen |= bit;
        }
        for (std::size_t i = 0; i < n; ++i)
            if (!found.values[i] || (shared & (uint64_t{1} << found.slots[i]))) found.slots[i] = Found::kNotMovable;
        return info;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!found.values[i] || anyDotted) found.slots[i] = Found::kNotMovable;
        for (std::size_t j = i + 1; j < n && !anyDotted; ++j)
            if (found.values[i] && found.values[i] == found.values[j])
                found.slots[i] = found.slots[j] = Found::kNotMovable;
    }
    return info;
}

bool MMModel::doesDictionaryMatchModel(const ClassInfo& info, const Found& found, NSErrorPtr* error) const {
    std::set<std::string> missing;
    for (std::size_t i = 0; i < info.properties.size(); ++i)
        if (!info.properties[i]->isOptional && !found.values[i]) missing.insert(info.properties[i]->name);
    if (missing.empty()) return true;
    setError(error, MMModelError::errorInvalidDataWithMissingKeys(missing));
    return false;
}

bool MMModel::importDictionary(const ClassInfo& info, Found& found, bool validation, NSErrorPtr* error) {
    const std::string& modelClass = objcClass().name();

    auto fail = [&](NSErrorPtr e, const std::string& name) {
        setError(error, withKeyPath(e, name));
        return false;
    };
    // Assigns through the declared property; a value its storage cannot hold is a type mismatch.
    // A value the import may consume (`from`, the same value) is handed over, so what it holds
    // moves instead of being copied.
    auto assign = [&](const MMModelClassProperty& p, const Value& v, Value* from) {
        try {
            // An equal value is not stored again; that only matters to observers.
            if (hasObservers() && p.property->get(*this) == v) return true;
            if (from) p.property->set(*this, std::move(*from));
            else p.property->set(*this, v);
            return true;
        } catch (const NSException&) {
            return fail(MMModelError::errorInvalidDataWithTypeMismatch(valueClassName(v) + " type not supported for " +
                                                                       modelClass + "." + p.name),
                        p.name);
        }
    };

    static const Value kNull;
    for (std::size_t i = 0; i < info.properties.size(); ++i) {
        const MMModelClassProperty& p = *info.properties[i];
        const Value* current = found.values[i] ? found.values[i] : &kNull;
        Value replaced;  // the value after an element-model or mutable-copy step
        // The entry to move from, when the import may consume it.
        Value* owned = found.owned && found.slots[i] != Found::kNotMovable
                           ? &(found.owned->begin() + static_cast<std::ptrdiff_t>(found.slots[i]))->second
                           : nullptr;
        auto movable = [&] { return current == &replaced ? &replaced : owned; };
        // The value handed on to a nested import: taken over when it may be consumed.
        auto handOn = [&] { return owned ? std::move(*owned) : Value(*current); };

        if (current->isNull()) {
            if (p.isOptional || !validation) continue;
            return fail(MMModelError::errorInvalidDataWithMessage("Value of required model key " + p.name + " is null"),
                        p.name);
        }
        if (found.keys->plainText[i] && current->isString()) {
            if (!assign(p, *current, movable())) return false;
            continue;
        }
        if (!isAllowedJSONValue(*current))
            return fail(MMModelError::errorInvalidDataWithMessage("Type " + valueClassName(*current) +
                                                                  " is not allowed in JSON."),
                        p.name);

        if (customSetValue(*current, p)) continue;

        if (!p.type && !p.structName) {
            // A primitive cannot hold a container; an untyped reference takes anything.
            if (!p.primitiveName.empty() && (current->isArray() || current->isDictionary()))
                return fail(MMModelError::errorInvalidDataWithTypeMismatch(
                                MMValueTransformer::classByResolvingClusterClasses(*current) + " type not supported for " +
                                modelClass + "." + p.name + " (" + p.primitiveName + ")"),
                            p.name);
            if (!assign(p, *current, movable())) return false;
            continue;
        }

        if (isMMModelSubClass(p.type)) {
            NSErrorPtr local;
            MMModelPtr nested = modelFrom(*p.type, handOn(), &local);
            if (!nested) {
                if (p.isOptional || !validation) continue;
                if (local) return fail(local, p.name);
                return false;
            }
            if (!assign(p, Value(nested), nullptr)) return false;
            continue;
        }

        if (p.protocol) {
            std::optional<Value> transformed = transform(handOn(), p, error);
            if (!transformed) {
                if (error && !*error)
                    *error = withKeyPath(MMModelError::errorInvalidDataWithMessage(
                                             "Failed to transform value, but no error was set during transformation. (" +
                                             p.description() + ")"),
                                         p.name);
                return false;
            }
            replaced = std::move(*transformed);
            current = &replaced;
        }

        if (p.isStandardJSONType && isKindOf(*current, p.type)) {
            if (p.isMutable) {
                replaced = current->mutableCopy();
                current = &replaced;
            }
            if (!assign(p, *current, movable())) return false;
            continue;
        }
        if (isKindOf(*current, p.type) && !p.isMutable && !p.structName) {
            if (!assign(p, *current, movable())) return false;
            continue;
        }

        // "<target>From<source>:", built in a reused buffer (this runs once per converted value).
        thread_local std::string selector;
        selector.assign(p.structName ? *p.structName : p.type->name())
            .append("From")
            .append(MMValueTransformer::classByResolvingClusterClasses(*current))
            .append(":");
        const MMValueTransformer& transformer = MMValueTransformer::shared();
        std::optional<Value> converted = transformer.transform(selector, *current);
        if (!converted) converted = transformer.transform("__" + selector, *current);
        if (!converted)
            return fail(MMModelError::errorInvalidDataWithTypeMismatch(
                            (p.type ? p.type->name() : std::string("(null)")) + " type not supported for " +
                            modelClass + "." + p.name),
                        p.name);
        if (!assign(p, *converted, &*converted)) return false;
    }
    return true;
}

std::optional<Value> MMModel::transform(Value&& value, const MMModelClassProperty& p, NSErrorPtr* error) const {
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
        Value models = modelsFrom(*element, std::move(value), &local);
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
        // Items move on when no other handle shares the dictionary; otherwise each is copied.
        Value::Dictionary* owned = value.hasUniquePayload() ? value.mutableDictionaryPayload() : nullptr;
        const Value::Dictionary& items = owned ? *owned : value.asDictionary();
        for (std::size_t n = 0; n < items.size(); ++n) {
            const auto& [key, item] = *(items.begin() + static_cast<std::ptrdiff_t>(n));
            NSErrorPtr local;
            MMModelPtr model = modelFrom(
                *element, owned ? std::move((owned->begin() + static_cast<std::ptrdiff_t>(n))->second) : Value(item),
                &local);
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
