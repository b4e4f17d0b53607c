#pragma once
// A device's firmware list as version 3 of the firmware-catalogue service answers it (the
// value under the device identifier).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>

// One firmware build in version 3; the JSON key "signed" fills isSigned.
class FirmwaresItem : public MMModel {
    NS_CLASS(FirmwaresItem, MMModel)
    NS_PROPERTY(std::string, buildid, setBuildid, "&,N")
    NS_PROPERTY(std::string, filename, setFilename, "&,N")
    NS_PROPERTY(std::string, md5sum, setMd5sum, "&,N")
    NS_PROPERTY(std::string, sha1sum, setSha1sum, "&,N")
    NS_PROPERTY(bool, isSigned, setIsSigned, "N")
    NS_PROPERTY(std::string, size, setSize, "&,N")
    NS_PROPERTY(std::string, uploaddate, setUploaddate, "&,N")
    NS_PROPERTY(std::string, url, setUrl, "&,N")
    NS_PROPERTY(std::string, version, setVersion, "&,N")
    NS_PROPERTY(std::optional<std::string>, releasedate, setReleasedate, "&,N", Optional)

public:
    // A new mapper sending isSigned to "signed" and every other property to its own name.
    static MMKeyMapperPtr keyMapper();

private:
    inline static const bool keyMapperHook_ = (MMModel::setKeyMapperHook(classObject(), &FirmwaresItem::keyMapper), true);
};

class IpswModel : public MMModel {
    NS_CLASS(IpswModel, MMModel)
    NS_PROPERTY(std::string, BoardConfig, setBoardConfig, "&,N")
    NS_PROPERTY(std::string, bdid, setBdid, "&,N")
    NS_PROPERTY(std::string, cpid, setCpid, "&,N")
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(std::string, platform, setPlatform, "&,N")
    NS_PROPERTY(std::vector<std::shared_ptr<FirmwaresItem>>, firmwares, setFirmwares, "&,N")
};
