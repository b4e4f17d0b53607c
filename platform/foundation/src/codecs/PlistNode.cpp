#include "codecs/PlistNode.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <platform_runtime/CivilDate.h>

#include "codecs/PlistCheck.h"

namespace codecs {
namespace {

// libplist has no public constructor for a 16-byte unsigned integer or a date beyond the int32
// seconds range, but its XML reader creates both: build those rare nodes from a tiny document.
plist_t nodeFromXML(const std::string& element) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">" + element + "</plist>";
    plist_t node = nullptr;
    plist_from_xml(doc.data(), static_cast<uint32_t>(doc.size()), &node);
    return node;
}

std::string nodeAsXML(plist_t node) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    std::string out = xml ? std::string(xml, length) : std::string();
    if (xml) plist_to_xml_free(xml);
    return out;
}

constexpr int64_t kSecondsFrom1970To2001 = 978307200;

}  // namespace

PlistPtr parsePlist(std::string_view bytes, NSPropertyListFormat* format, std::string* why) {
    if (bytes.size() > std::numeric_limits<uint32_t>::max()) {
        if (why) *why = "property list too large";
        return nullptr;
    }
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), "bplist00", 8) == 0) {
        if (format) *format = NSPropertyListBinaryFormat_v1_0;
        if (std::string problem = checkBinaryPlist(bytes); !problem.empty()) {
            if (why) *why = std::move(problem);
            return nullptr;
        }
        plist_from_bin(bytes.data(), length, &root);
        if (!root && why) *why = "corrupt binary property list";
        return PlistPtr(root);
    }
    std::size_t i = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < bytes.size() && std::strchr(" \t\r\n", bytes[i]) && bytes[i] != '\0') ++i;
    if (i < bytes.size() && bytes[i] == '<') {
        if (format) *format = NSPropertyListXMLFormat_v1_0;
        if (std::string problem = checkXMLPlist(bytes); !problem.empty()) {
            if (why) *why = std::move(problem);
            return nullptr;
        }
        plist_from_xml(bytes.data(), length, &root);
        if (!root && why) *why = "corrupt XML property list";
        return PlistPtr(root);
    }
    if (why) *why = bytes.empty() ? "empty data" : "not an XML or binary property list";
    return nullptr;
}

Value::Data serializePlist(plist_t node, NSPropertyListFormat format) {
    char* out = nullptr;
    uint32_t length = 0;
    Value::Data data;
    if (format == NSPropertyListBinaryFormat_v1_0) {
        plist_to_bin(node, &out, &length);
        if (out) {
            data.assign(out, out + length);
            plist_to_bin_free(out);
        }
    } else {
        plist_to_xml(node, &out, &length);
        if (out) {
            data.assign(out, out + length);
            plist_to_xml_free(out);
        }
    }
    return data;
}

plist_t newIntNode(int64_t v) { return plist_new_uint(static_cast<uint64_t>(v)); }

plist_t newUIntNode(uint64_t v) {
    if (v <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return plist_new_uint(v);
    char buf[48];
    std::snprintf(buf, sizeof buf, "<integer>%" PRIu64 "</integer>", v);
    return nodeFromXML(buf);
}

Value integerValue(plist_t node) {
    uint64_t u = 0;
    plist_get_uint_val(node, &u);
    if (u <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return Value(static_cast<int64_t>(u));
    // Same bits, two meanings: a plain 8-byte node is a negative integer, the 16-byte form an unsigned.
    PlistPtr plain(plist_new_uint(u));
    if (plist_compare_node_value(node, plain.get())) return Value(static_cast<int64_t>(u));
    return Value(u);
}

plist_t newDateNode(double t) {
    if (!std::isfinite(t)) return nullptr;
    const double whole = std::floor(t);
    auto usec = static_cast<int64_t>(std::llround((t - whole) * 1e6));
    auto sec = static_cast<int64_t>(whole);
    if (usec >= 1000000) {
        sec += 1;
        usec -= 1000000;
    }
    if (sec > std::numeric_limits<int32_t>::min() && sec <= std::numeric_limits<int32_t>::max())
        return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>(usec));
    // Far dates (distant past / future): whole seconds are all the XML form carries.
    const int64_t unix = sec + kSecondsFrom1970To2001;
    int64_t days = unix / 86400, rem = unix % 86400;
    if (rem < 0) {
        rem += 86400;
        days -= 1;
    }
    int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    if (y < 0 || y > 9999) return nullptr;
    char buf[64];
    std::snprintf(buf, sizeof buf, "<date>%04" PRId64 "-%02u-%02uT%02d:%02d:%02dZ</date>", y, m, d,
                  static_cast<int>(rem / 3600), static_cast<int>(rem / 60 % 60), static_cast<int>(rem % 60));
    return nodeFromXML(buf);
}

double dateValue(plist_t node) {
    int32_t sec = 0, usec = 0;
    plist_get_date_val(node, &sec, &usec);
    if (sec != std::numeric_limits<int32_t>::min()) {
        if (usec == 0) return sec;
        // Before the reference date the seconds are truncated toward zero but the microseconds
        // come back unsigned: tell sec + usec from sec - usec by rebuilding the first.
        PlistPtr later(plist_new_date(sec, usec));
        if (plist_compare_node_value(node, later.get())) return sec + usec / 1e6;
        return sec - usec / 1e6;
    }
    // Out of the API's 32-bit range: read the date back from its XML text.
    const std::string xml = nodeAsXML(node);
    const auto open = xml.find("<date>");
    if (open == std::string::npos) return sec + usec / 1e6;
    long long y = 0;
    unsigned mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(xml.c_str() + open + 6, "%lld-%u-%uT%u:%u:%uZ", &y, &mo, &d, &h, &mi, &s) != 6)
        return sec + usec / 1e6;
    const int64_t days = daysFromCivil(y, mo, d);
    return static_cast<double>(days * 86400 + h * 3600 + mi * 60 + s - kSecondsFrom1970To2001);
}

std::string dictKey(plist_t item) {
    // libplist's own key getter aborts on a key with an embedded NUL (legal in binary plists);
    // its XML writer does not, so read the key back from its XML text.
    const std::string xml = nodeAsXML(plist_dict_item_get_key(item));
    const auto open = xml.find("<key>");
    const auto close = xml.rfind("</key>");
    if (open == std::string::npos || close == std::string::npos || close < open) return std::string();
    std::string out;
    for (std::size_t i = open + 5; i < close; ++i) {
        if (xml[i] != '&') {
            out += xml[i];
            continue;
        }
        const auto semi = xml.find(';', i);
        if (semi == std::string::npos || semi > close) {
            out += xml[i];
            continue;
        }
        const std::string entity = xml.substr(i + 1, semi - i - 1);
        if (entity == "amp") out += '&';
        else if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else out += "&" + entity + ";";
        i = semi;
    }
    return out;
}

std::string stringValue(plist_t node) {
    uint64_t length = 0;
    const char* p = plist_get_string_ptr(node, &length);
    if (p && plist_get_node_type(node) == PLIST_STRING) return std::string(p, length);
    return std::string();
}

}  // namespace codecs
