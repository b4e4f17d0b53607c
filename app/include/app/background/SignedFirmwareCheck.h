#pragma once
// How the background check reads a version 3 device document: the device object under its
// identifier, mapped into the model, and the number of its signed builds.
//
// Pure functions; any thread.

#include <memory>
#include <string>
#include <vector>

#include <app/models/IpswModel.h>
#include <platform_runtime/Value.h>

namespace SignedFirmwareCheck {

// The device under `identifier`, or nullptr when the document or that member is not a
// dictionary, or the member does not map.
std::shared_ptr<IpswModel> deviceInDocument(Value document, const std::string& identifier);
// How many of the builds are signed.
unsigned long signedCount(const std::vector<std::shared_ptr<FirmwaresItem>>& firmwares);

}  // namespace SignedFirmwareCheck
