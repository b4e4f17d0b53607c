#pragma once
// Maps a model property name to the JSON key (or dotted key path) it is read from and written to.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <platform_runtime/NSObject.h>

class MMKeyMapper;
using MMKeyMapperPtr = std::shared_ptr<MMKeyMapper>;

class MMKeyMapper : public NSObject {
public:
    // Property name -> JSON key.
    using Block = std::function<std::string(const std::string&)>;
    using StringMap = std::map<std::string, std::string>;

    explicit MMKeyMapper(Block modelToJSON);

    static MMKeyMapperPtr initWithModelToJSONBlock(Block modelToJSON);
    // The JSON-to-model block is accepted and ignored: every mapping runs model -> JSON.
    static MMKeyMapperPtr initWithJSONToModelBlock(Block jsonToModel, Block modelToJSON);
    // Property name -> JSON key; names without an entry map to themselves.
    static MMKeyMapperPtr initWithModelToJSONDictionary(const StringMap& modelToJSON);
    // JSON key -> property name (swapped, then as above).
    static MMKeyMapperPtr initWithDictionary(const StringMap& jsonToModel);

    static MMKeyMapperPtr mapperForSnakeCase();
    static MMKeyMapperPtr mapperFromUnderscoreCaseToCamelCase() { return mapperForSnakeCase(); }
    static MMKeyMapperPtr mapperForTitleCase();
    static MMKeyMapperPtr mapperFromUpperCaseToLowerCase();
    // Exceptions given JSON key -> property name.
    static MMKeyMapperPtr mapper(const MMKeyMapperPtr& baseMapper, const StringMap& exceptions);
    // Exceptions given property name -> JSON key.
    static MMKeyMapperPtr baseMapper(const MMKeyMapperPtr& baseMapper, const StringMap& modelToJSONExceptions);
    // Keys and values exchanged; of two keys sharing a value one pair survives.
    static StringMap swapKeysAndValuesInDictionary(const StringMap& dictionary);

    std::string convertValue(const std::string& name) const { return modelToJSONKeyBlock_(name); }
    std::string convertValue(const std::string& name, bool /*isImportingToModel*/) const { return convertValue(name); }

    const Block& modelToJSONKeyBlock() const { return modelToJSONKeyBlock_; }
    // Always empty.
    Block JSONToModelKeyBlock() const { return nullptr; }

    std::string className() const override { return "MMKeyMapper"; }

private:
    Block modelToJSONKeyBlock_;
};
