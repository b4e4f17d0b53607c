#include <app/background/SignedFirmwareCheck.h>

namespace SignedFirmwareCheck {

std::shared_ptr<IpswModel> deviceInDocument(Value document, const std::string& identifier) {
    if (!document.isDictionary()) return nullptr;
    Value member = document.objectForKey(Value(identifier));
    if (!member.isDictionary()) return nullptr;
    NSErrorPtr error;
    return MMModel::modelWithDictionary<IpswModel>(std::move(member), &error);
}

unsigned long signedCount(const std::vector<std::shared_ptr<FirmwaresItem>>& firmwares) {
    unsigned long count = 0;
    for (const auto& firmware : firmwares)
        if (firmware && firmware->isSigned()) ++count;
    return count;
}

}  // namespace SignedFirmwareCheck
