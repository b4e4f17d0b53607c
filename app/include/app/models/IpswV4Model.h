#pragma once
// A device's firmware list as version 4 of the firmware-catalogue service answers it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>

// One firmware build of the device; the JSON key "signed" fills isSigned.
class FirmwareItem : public MMModel {
    NS_CLASS(FirmwareItem, MMModel)
    NS_PROPERTY(std::string, buildid, setBuildid, "&,N")
    NS_PROPERTY(std::string, identifier, setIdentifier, "&,N")
    NS_PROPERTY(std::string, md5sum, setMd5sum, "&,N")
    NS_PROPERTY(std::string, sha1sum, setSha1sum, "&,N")
    NS_PROPERTY(bool, isSigned, setIsSigned, "N")
    NS_PROPERTY(std::string, filesize, setFilesize, "&,N")
    NS_PROPERTY(std::string, uploaddate, setUploaddate, "&,N")
    NS_PROPERTY(std::string, url, setUrl, "&,N")
    NS_PROPERTY(std::string, version, setVersion, "&,N")
    NS_PROPERTY(std::optional<std::string>, releasedate, setReleasedate, "&,N", Optional)

public:
    // A new mapper sending isSigned to "signed" and every other property to its own name.
    static MMKeyMapperPtr keyMapper();

private:
    inline static const bool keyMapperHook_ = (MMModel::setKeyMapperHook(classObject(), &FirmwareItem::keyMapper), true);
};

class IpswV4Model : public MMModel {
    NS_CLASS(IpswV4Model, MMModel)
    NS_PROPERTY(std::string, boardconfig, setBoardconfig, "&,N")
    NS_PROPERTY(std::string, bdid, setBdid, "&,N")
    NS_PROPERTY(std::string, cpid, setCpid, "&,N")
    NS_PROPERTY(std::string, identifier, setIdentifier, "&,N")
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(std::string, platform, setPlatform, "&,N")
    NS_PROPERTY(std::vector<std::shared_ptr<FirmwareItem>>, firmwares, setFirmwares, "&,N")
};
