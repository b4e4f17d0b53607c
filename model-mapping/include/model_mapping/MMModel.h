#pragma once
// Base class of every model filled from a JSON dictionary: a subclass declares its properties
// with NS_PROPERTY (markers Optional, Index, Ignore or an element model class) and gets
// import with key mapping and conversions, validation, export, collections, copying, coding
// and equality by its index property from here.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <model_mapping/MMKeyMapper.h>
#include <model_mapping/MMModelClassProperty.h>
#include <model_mapping/MMModelError.h>
#include <model_mapping/MMPropertyTypes.h>
#include <platform_foundation/NSCoding.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_runtime/ObjCDeclare.h>

class MMModel;
using MMModelPtr = std::shared_ptr<MMModel>;

class MMModel : public NSObject, public NSCoding {
    NS_CLASS(MMModel, NSObject)
    NS_PROTOCOLS("AbstractMMModelProtocol", "NSCopying", "NSCoding", "NSSecureCoding")

public:
    MMModel() = default;

    // --- class hooks, overridden per model class at class load (NS_CLASS_LOAD) ------------
    using KeyMapperHook = MMKeyMapperPtr();
    using PropertyTest = bool(const std::string&);
    using ProtocolForArrayHook = std::optional<std::string>(const std::string&);
    using ClassForCollectionHook = ObjCClass*(const std::string&);
    static void setKeyMapperHook(ObjCClass& cls, std::function<MMKeyMapperPtr()> hook);
    static void setPropertyIsOptionalHook(ObjCClass& cls, std::function<bool(const std::string&)> hook);
    static void setPropertyIsIgnoredHook(ObjCClass& cls, std::function<bool(const std::string&)> hook);
    static void setProtocolForArrayPropertyHook(ObjCClass& cls,
                                                std::function<std::optional<std::string>(const std::string&)> hook);
    static void setClassForCollectionPropertyHook(ObjCClass& cls, std::function<ObjCClass*(const std::string&)> hook);

    // The process-wide key mapper consulted after the class's own (nullptr: none).
    static void setGlobalKeyMapper(MMKeyMapperPtr mapper);
    static MMKeyMapperPtr globalKeyMapper();

    // --- import ----------------------------------------------------------------------------
    // Fills this model from a decoded JSON dictionary. False, with *error set when given, on
    // any failure; the model must then be dropped.
    bool initWithDictionary(const Value& dictionary, NSErrorPtr* error = nullptr);
    // The same, taking the dictionary over: text it alone holds moves into the model uncopied.
    bool initWithDictionary(Value&& dictionary, NSErrorPtr* error = nullptr);
    bool initWithData(const Value::Data& data, NSErrorPtr* error = nullptr);
    bool initWithString(const std::string& text, NSErrorPtr* error = nullptr);
    bool initWithString(const std::string& text, NSStringEncoding encoding, NSErrorPtr* error);
    // Imports into an existing model without required-key check and validation.
    bool mergeFromDictionary(const Value& dictionary, bool useKeyMapping, NSErrorPtr* error = nullptr);
    // Refuses a filled model; the base accepts.
    virtual bool validate(NSErrorPtr* error);

    // A new model of class T (or of cls) filled from the dictionary; nullptr on failure.
    template <class T>
    static std::shared_ptr<T> modelWithDictionary(const Value& dictionary, NSErrorPtr* error = nullptr) {
        return std::dynamic_pointer_cast<T>(modelWithDictionary(T::classObject(), dictionary, error));
    }
    template <class T>
    static std::shared_ptr<T> modelWithDictionary(Value&& dictionary, NSErrorPtr* error = nullptr) {
        return std::dynamic_pointer_cast<T>(modelWithDictionary(T::classObject(), std::move(dictionary), error));
    }
    static MMModelPtr modelWithDictionary(ObjCClass& cls, const Value& dictionary, NSErrorPtr* error = nullptr);
    static MMModelPtr modelWithDictionary(ObjCClass& cls, Value&& dictionary, NSErrorPtr* error = nullptr);
    template <class T>
    static std::shared_ptr<T> modelWithData(const Value::Data& data, NSErrorPtr* error = nullptr) {
        auto model = std::make_shared<T>();
        return model->initWithData(data, error) ? model : nullptr;
    }

    // --- introspection ---------------------------------------------------------------------
    // The class's property records (declaration order, subclass first).
    const std::vector<MMModelClassPropertyPtr>& properties() const;
    const std::set<std::string>& requiredPropertyNames() const;
    std::optional<std::string> indexPropertyName() const;
    // The class's own key mapper (the first one its hook answered), or nullptr.
    MMKeyMapperPtr classKeyMapper() const;
    // Whether cls is MMModel or a subclass.
    static bool isMMModelSubClass(const ObjCClass* cls);

    // --- export ----------------------------------------------------------------------------
    // JSON-ready dictionary of all (or the named) properties. Throws NSException "Value
    // transformer not found" for a property type with no conversion to JSON.
    Value toDictionary() const { return toDictionaryWithKeys(nullptr); }
    Value toDictionaryWithKeys(const std::vector<std::string>* propertyNames) const;
    // Compact JSON; nullopt when the export or the writing failed.
    std::optional<Value::Data> toJSONData(const std::vector<std::string>* propertyNames = nullptr) const;
    std::optional<std::string> toJSONString(const std::vector<std::string>* propertyNames = nullptr) const;

    // --- collections (class operations of cls) ------------------------------------------
    // Mutable array of models, or Null (with *error) when an element fails.
    static Value arrayOfModelsFromDictionaries(ObjCClass& cls, const Value& list, NSErrorPtr* error = nullptr);
    static Value arrayOfModelsFromDictionaries(ObjCClass& cls, Value&& list, NSErrorPtr* error = nullptr);
    static Value arrayOfModelsFromData(ObjCClass& cls, const Value::Data& data, NSErrorPtr* error = nullptr);
    static Value arrayOfModelsFromString(ObjCClass& cls, const std::string& text, NSErrorPtr* error = nullptr);
    // Mutable dictionary key -> model or array of models, or Null.
    static Value dictionaryOfModelsFromDictionary(ObjCClass& cls, const Value& dictionary,
                                                  NSErrorPtr* error = nullptr);
    static Value dictionaryOfModelsFromData(ObjCClass& cls, const Value::Data& data, NSErrorPtr* error = nullptr);
    static Value dictionaryOfModelsFromString(ObjCClass& cls, const std::string& text, NSErrorPtr* error = nullptr);
    // Each model's toDictionary; Null for a null input or when an element is not a model.
    static Value arrayOfDictionariesFromModels(const Value& models,
                                               const std::vector<std::string>* propertyNames = nullptr);
    static Value dictionaryOfDictionariesFromModels(const Value& models);
    static bool supportsSecureCoding() { return true; }

    // --- equality, order, description, copying, coding -----------------------------------
    // Same class and equal index values; without an index property, identity.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;
    NSComparisonResult compare(const MMModel& other) const;
    std::string description() const override;

    // A new model made by archiving this one's JSON text and reading it back; nullptr when the
    // text does not import.
    MMModelPtr copy() const;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // Per-class records (defined inside the library).
    struct ClassInfo;

private:
    struct ImportKeys;
    // The class's records; also hands out the class's JSON keys and mapper when asked.
    const ClassInfo& setup(std::shared_ptr<const ImportKeys>* keys = nullptr, MMKeyMapperPtr* mapper = nullptr) const;
    struct Found;  // an import's lookups (defined inside the library)
    // The cores of the import operations. They take the value over: what no other handle shares
    // (a caller that keeps the value passes a copy of its handle) may be moved out of it.
    bool importFrom(Value&& dictionary, NSErrorPtr* error);
    // Decodes UTF-8 JSON text and imports the dictionary it holds.
    bool initWithJSONText(std::string_view text, NSErrorPtr* error);
    static MMModelPtr modelFrom(ObjCClass& cls, Value&& dictionary, NSErrorPtr* error);
    static Value modelsFrom(ObjCClass& cls, Value&& list, NSErrorPtr* error);
    // Fills `found` and answers the class's records.
    const ClassInfo& lookUpProperties(const Value& dictionary, bool useKeyMapping, Found& found) const;
    bool importDictionary(const ClassInfo& info, Found& found, bool validation, NSErrorPtr* error);
    bool doesDictionaryMatchModel(const ClassInfo& info, const Found& found, NSErrorPtr* error) const;
    std::optional<Value> transform(Value&& value, const MMModelClassProperty& property,
                                   NSErrorPtr* error) const;
    bool customSetValue(const Value& value, const MMModelClassProperty& property);
    Value reverseTransform(const Value& value, const MMModelClassProperty& property) const;
    static std::string mapString(const std::string& name, const MMKeyMapperPtr& mapper);
};
