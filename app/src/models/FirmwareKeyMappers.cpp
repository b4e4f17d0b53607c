// The two firmware record classes read their signed flag from the JSON key "signed".

#include <app/models/IpswModel.h>
#include <app/models/IpswV4Model.h>

namespace {
// nameKey / sizeKey: the record's own name and size fields, which differ between versions.
MMKeyMapperPtr signedKeyMapper(const char* nameKey, const char* sizeKey) {
    return MMKeyMapper::initWithModelToJSONDictionary({
        {"buildid", "buildid"},
        {nameKey, nameKey},
        {"md5sum", "md5sum"},
        {"sha1sum", "sha1sum"},
        {"isSigned", "signed"},
        {sizeKey, sizeKey},
        {"uploaddate", "uploaddate"},
        {"url", "url"},
        {"version", "version"},
        {"releasedate", "releasedate"},
    });
}
}  // namespace

MMKeyMapperPtr FirmwareItem::keyMapper() { return signedKeyMapper("identifier", "filesize"); }

MMKeyMapperPtr FirmwaresItem::keyMapper() { return signedKeyMapper("filename", "size"); }
