#pragma once
// A watch device's firmware list (version 4); declared for completeness, not loaded by the app.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>

class FirmwareWatchItem : public MMModel {
    NS_CLASS(FirmwareWatchItem, MMModel)
    NS_PROPERTY(std::string, buildid, setBuildid, "&,N")
    NS_PROPERTY(std::string, identifier, setIdentifier, "&,N")
    NS_PROPERTY(std::string, marketingversion, setMarketingversion, "&,N")
    NS_PROPERTY(std::string, prerequisitebuildid, setPrerequisitebuildid, "&,N")
    NS_PROPERTY(std::string, prerequisiteversion, setPrerequisiteversion, "&,N")
    NS_PROPERTY(std::string, filesize, setFilesize, "&,N")
    NS_PROPERTY(std::string, uploaddate, setUploaddate, "&,N")
    NS_PROPERTY(std::string, url, setUrl, "&,N")
    NS_PROPERTY(std::string, version, setVersion, "&,N")
    NS_PROPERTY(std::optional<std::string>, releasedate, setReleasedate, "&,N", Optional)
};

class IpswWatchV4Model : public MMModel {
    NS_CLASS(IpswWatchV4Model, MMModel)
    NS_PROPERTY(std::string, boardconfig, setBoardconfig, "&,N")
    NS_PROPERTY(std::string, bdid, setBdid, "&,N")
    NS_PROPERTY(std::string, cpid, setCpid, "&,N")
    NS_PROPERTY(std::string, identifier, setIdentifier, "&,N")
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(std::string, platform, setPlatform, "&,N")
    NS_PROPERTY(std::vector<std::shared_ptr<FirmwareWatchItem>>, firmwares, setFirmwares, "&,N")
};
