#include <analytics_common/ZVBuildPayload.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include <thrift/TApplicationException.h>
#include <thrift/Thrift.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVThriftCodec.h>
#include <platform_system/CommonDigest.h>

namespace {

int caseInsensitiveCompare(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

}  // namespace

std::string ZVBuildPayload::generateImprintChecksum(const ZVTImprint& imprint) {
    std::vector<std::pair<std::string, std::shared_ptr<ZVTImprintValue>>> entries;
    for (const auto& [key, value] : imprint.property().asDictionary())
        entries.emplace_back(std::string(key.asString()), value.objectAs<ZVTImprintValue>());
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return caseInsensitiveCompare(a.first, b.first) < 0; });
    std::string text;
    char number[32];
    for (const auto& [key, value] : entries) {
        text += key;
        if (!value) continue;
        if (value->value().isString()) text += std::string(value->value().asString());
        std::snprintf(number, sizeof number, "%" PRId64, value->ts());
        text += number;
        text += value->guid().isString() ? std::string(value->guid().asString()) : std::string();
    }
    std::snprintf(number, sizeof number, "%d", imprint.version());
    text += number;
    return CCMD5Hex(text, HexCase::Lower);
}

bool ZVBuildPayload::validateImprintChecksum(const std::shared_ptr<ZVTImprint>& imprint) {
    if (!imprint || !imprint->property().isDictionary()) return false;
    return imprint->checksum().isString() && generateImprintChecksum(*imprint) == imprint->checksum().asString();
}

std::optional<std::string> ZVBuildPayload::imprintWithData(const Value::Data* data, const std::string& key) {
    if (!data) return std::nullopt;
    ZVTImprint imprint;
    try {
        ZVThriftCodec::decode(*data, imprint);
    } catch (const apache::thrift::TException& e) {
        ZVLOG_COMMON(ZVLogFlagDebug, "Exception occurred: %@, %@", Value(e.what()), Value());
    }
    auto entry = imprint.property().objectForKey(key).objectAs<ZVTImprintValue>();
    if (!entry || !entry->value().isString()) return std::nullopt;
    return std::string(entry->value().asString());
}
