#pragma once
// The jailbreak list of the jailbreak-list service.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>

// A range of operating-system versions.
class IosVersionItem : public MMModel {
    NS_CLASS(IosVersionItem, MMModel)
    NS_PROPERTY(std::string, start, setStart, "&,N")
    NS_PROPERTY(std::string, end, setEnd, "&,N")
};

// One jailbreak tool.
class JailbreaksItem : public MMModel {
    NS_CLASS(JailbreaksItem, MMModel)
    NS_PROPERTY(std::optional<std::string>, url, setUrl, "&,N", Optional)
    NS_PROPERTY(std::shared_ptr<IosVersionItem>, ios, setIos, "&,N")
    NS_PROPERTY(std::string, caveats, setCaveats, "&,N")
    NS_PROPERTY(bool, jailbroken, setJailbroken, "N")
    NS_PROPERTY(std::optional<std::string>, version, setVersion, "&,N", Optional)
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(Value::Array, platforms, setPlatforms, "&,N")
};

class JBInfoModel : public MMModel {
    NS_CLASS(JBInfoModel, MMModel)
    NS_PROPERTY(std::vector<std::shared_ptr<JailbreaksItem>>, jailbreaks, setJailbreaks, "&,N")
};
