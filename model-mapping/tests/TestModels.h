#pragma once
// Model classes shared by the model-mapping tests.

#include <optional>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_runtime/ObjCRuntime.h>

#include <stdexcept>

class MMTTag : public MMModel {
    NS_CLASS(MMTTag, MMModel)
    NS_PROPERTY(std::string, label, setLabel, "&,N", Index)
    NS_PROPERTY(int64_t, weight, setWeight, "N")
};

class MMTAddress : public MMModel {
    NS_CLASS(MMTAddress, MMModel)
    NS_PROPERTY(std::string, city, setCity, "&,N")
    NS_PROPERTY(std::optional<std::string>, street, setStreet, "&,N", Optional)
};

class MMTPerson : public MMModel {
    NS_CLASS(MMTPerson, MMModel)
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(int64_t, age, setAge, "N")
    NS_PROPERTY(bool, isActive, setIsActive, "N")
    NS_PROPERTY(std::optional<std::string>, nickname, setNickname, "&,N", Optional)
    NS_PROPERTY(std::shared_ptr<MMTAddress>, address, setAddress, "&,N", Optional)
    NS_PROPERTY(std::vector<std::shared_ptr<MMTTag>>, tags, setTags, "&,N", Optional)
};

// Every property optional through the class hook; one property per conversion.
class MMTTypes : public MMModel {
    NS_CLASS(MMTTypes, MMModel)
    NS_PROPERTY(std::string, text, setText, "&,N")
    NS_PROPERTY(NSNumberValue, number, setNumber, "&,N")
    NS_PROPERTY(bool, flag, setFlag, "N")
    NS_PROPERTY(int32_t, count, setCount, "N")
    NS_PROPERTY(double, ratio, setRatio, "N")
    NS_PROPERTY(std::shared_ptr<NSURL>, url, setUrl, "&,N")
    NS_PROPERTY(std::optional<NSDate>, date, setDate, "&,N")
    NS_PROPERTY(std::optional<NSDecimal>, decimal, setDecimal, "&,N")
    NS_PROPERTY(NSSetValue, set, setSet, "&,N")
    NS_PROPERTY(NSMutableSetValue, mutableSet, setMutableSet, "&,N")
    NS_PROPERTY(NSMutableArrayValue, mutableList, setMutableList, "&,N")
    NS_PROPERTY(NSMutableDictionaryValue, mutableDict, setMutableDict, "&,N")
    NS_PROPERTY(NSMutableStringValue, mutableText, setMutableText, "&,N")
    NS_PROPERTY(Value::Dictionary, dict, setDict, "&,N")
    NS_PROPERTY(std::shared_ptr<NSTimeZone>, zone, setZone, "&,N")
    NS_PROPERTY(Value, any, setAny, "&,N", Optional)
    NS_PROPERTY(CGPoint, point, setPoint, "N")
};

// Firmware-like record whose flag is read from the key "signed".
class MMTBuild : public MMModel {
    NS_CLASS(MMTBuild, MMModel)
    NS_PROPERTY(std::string, buildid, setBuildid, "&,N")
    NS_PROPERTY(bool, isSigned, setIsSigned, "N")
};

class MMTCatalogue : public MMModel {
    NS_CLASS(MMTCatalogue, MMModel)
    NS_PROPERTY(std::vector<std::shared_ptr<MMTBuild>>, builds, setBuilds, "&,N")
    NS_PROPERTY(Value::Dictionary, byName, setByName, "&,N", MMTBuild, Optional)
};

inline void installTestHooks() {
    static const bool done = [] {
        MMModel::setPropertyIsOptionalHook(MMTTypes::classObject(), [](const std::string&) { return true; });
        MMModel::setKeyMapperHook(MMTBuild::classObject(), [] {
            return MMKeyMapper::initWithModelToJSONDictionary({{"buildid", "buildid"}, {"isSigned", "signed"}});
        });
        return true;
    }();
    (void)done;
}

inline Value json(const std::string& text) {
    NSErrorPtr error;
    Value v = NSJSONSerialization::JSONObjectWithData(text, 0, &error);
    if (error) throw std::runtime_error("bad test JSON: " + text);
    return v;
}

inline std::string keyPathOf(const NSErrorPtr& error) {
    auto mm = std::dynamic_pointer_cast<MMModelError>(error);
    return mm && mm->keyPath() ? *mm->keyPath() : std::string("<none>");
}
