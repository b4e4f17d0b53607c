// Class operations building lists and dictionaries of models from JSON collections and back.

#include <model_mapping/MMModel.h>

#include <platform_foundation/NSJSONSerialization.h>

namespace {
void setError(NSErrorPtr* error, NSErrorPtr value) {
    if (error) *error = std::move(value);
}
}  // namespace

// A copy of the caller's handle shares the payload, so nothing is moved out of it.
Value MMModel::arrayOfModelsFromDictionaries(ObjCClass& cls, const Value& list, NSErrorPtr* error) {
    return modelsFrom(cls, Value(list), error);
}

Value MMModel::arrayOfModelsFromDictionaries(ObjCClass& cls, Value&& list, NSErrorPtr* error) {
    return modelsFrom(cls, std::move(list), error);
}

Value MMModel::modelsFrom(ObjCClass& cls, Value&& handedOver, NSErrorPtr* error) {
    Value list = std::move(handedOver);
    if (list.isNull()) return Value();
    if (!list.isArray()) {
        setError(error, MMModelError::errorInvalidDataWithTypeMismatch("Only arrays are supported"));
        return Value();
    }
    // Elements move on when no other handle shares the list; otherwise each is copied.
    Value::Array* owned = list.hasUniquePayload() ? list.mutableArrayPayload() : nullptr;
    const Value::Array& elements = owned ? *owned : list.asArray();
    auto handOn = [&](std::size_t n) { return owned ? std::move((*owned)[n]) : Value(elements[n]); };
    Value::Array models;
    models.reserve(list.count());
    auto failAt = [&](const NSErrorPtr& local) {
        if (local)
            setError(error, MMModelError::errorByPrependingKeyPathComponent(
                                *local, "[" + std::to_string(models.size()) + "]"));
        return Value();
    };
    for (std::size_t n = 0; n < elements.size(); ++n) {
        const Value& element = elements[n];
        if (element.isDictionary()) {
            NSErrorPtr local;
            MMModelPtr model = modelFrom(cls, handOn(n), &local);
            if (!model) return failAt(local);
            models.emplace_back(std::move(model));
        } else if (element.isArray()) {
            // A nested list is flattened into this one; its failure fails the whole list.
            NSErrorPtr local;
            Value nested = modelsFrom(cls, handOn(n), &local);
            if (nested.isNull()) return failAt(local);
            for (const Value& m : nested.asArray()) models.push_back(m);
        }
    }
    Value result(std::move(models));
    result.setMutable(true);
    return result;
}

Value MMModel::arrayOfModelsFromData(ObjCClass& cls, const Value::Data& data, NSErrorPtr* error) {
    NSErrorPtr jsonError;
    Value json = NSJSONSerialization::JSONObjectWithData(data, 0, &jsonError);
    if (jsonError) {
        setError(error, jsonError);
        return Value();
    }
    return json.isArray() ? arrayOfModelsFromDictionaries(cls, std::move(json), error) : Value();
}

Value MMModel::arrayOfModelsFromString(ObjCClass& cls, const std::string& text, NSErrorPtr* error) {
    return arrayOfModelsFromData(cls, Value::Data(text.begin(), text.end()), error);
}

Value MMModel::dictionaryOfModelsFromDictionary(ObjCClass& cls, const Value& dictionary, NSErrorPtr* error) {
    Value result = Value::mutableDictionary();
    for (const auto& [key, value] : dictionary.asDictionary()) {
        if (value.isDictionary()) {
            MMModelPtr model = modelWithDictionary(cls, value, error);
            if (!model) return Value();
            result.setObject(Value(model), key);
        } else if (value.isArray()) {
            Value list = arrayOfModelsFromDictionaries(cls, value, error);
            if (list.isNull()) return Value();
            result.setObject(list, key);
        } else {
            setError(error, MMModelError::errorInvalidDataWithTypeMismatch("Only dictionaries and arrays are supported"));
            return Value();
        }
    }
    return result;
}

Value MMModel::dictionaryOfModelsFromData(ObjCClass& cls, const Value::Data& data, NSErrorPtr* error) {
    NSErrorPtr jsonError;
    Value json = NSJSONSerialization::JSONObjectWithData(data, 0, &jsonError);
    if (jsonError) {
        setError(error, jsonError);
        return Value();
    }
    return json.isDictionary() ? dictionaryOfModelsFromDictionary(cls, std::move(json), error) : Value();
}

Value MMModel::dictionaryOfModelsFromString(ObjCClass& cls, const std::string& text, NSErrorPtr* error) {
    return dictionaryOfModelsFromData(cls, Value::Data(text.begin(), text.end()), error);
}

Value MMModel::arrayOfDictionariesFromModels(const Value& models, const std::vector<std::string>* propertyNames) {
    if (!models.isArray()) return Value();
    Value::Array out;
    out.reserve(models.count());
    for (const Value& v : models.asArray()) {
        auto model = v.objectAs<MMModel>();
        if (!model) return Value();
        out.push_back(model->toDictionaryWithKeys(propertyNames));
    }
    return Value(std::move(out));
}

Value MMModel::dictionaryOfDictionariesFromModels(const Value& models) {
    if (!models.isDictionary()) return Value();
    Value::Dictionary out;
    for (const auto& [key, v] : models.asDictionary()) {
        auto model = v.objectAs<MMModel>();
        if (!model) return Value();
        out.emplace(key, model->toDictionary());
    }
    return Value(std::move(out));
}
