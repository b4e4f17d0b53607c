#include <platform_runtime/ObjCDeclare.h>

namespace objc_detail {

std::vector<std::string> parseMarkers(const char* text) {
    std::vector<std::string> out;
    std::string current;
    auto flush = [&] {
        if (!current.empty()) out.push_back(current);
        current.clear();
    };
    for (const char* p = text ? text : ""; *p; ++p) {
        char c = *p;
        if (c == ',') flush();
        else if (c != ' ' && c != '"' && c != '\t') current.push_back(c);
    }
    flush();
    return out;
}

std::string propertyAttributes(const std::string& encoding, const std::vector<std::string>& markers,
                               const char* attrs, const char* ivarName) {
    std::string enc = encoding;
    if (!markers.empty() && !enc.empty() && enc[0] == '@' && enc != "@?") {
        std::string protocols;
        for (const auto& m : markers) protocols += "<" + m + ">";
        if (enc == "@") enc = "@\"" + protocols + "\"";
        else enc.insert(enc.size() - 1, protocols);
    }
    std::string out = "T" + enc;
    if (attrs && *attrs) out += std::string(",") + attrs;
    if (ivarName) out += std::string(",V_") + ivarName;
    return out;
}

bool declareProtocols(ObjCClass& cls, std::initializer_list<const char*> protocols) {
    for (const char* p : protocols) cls.addProtocol(p);
    return true;
}

bool declareSelectors(ObjCClass& cls, std::initializer_list<const char*> selectors) {
    cls.addInstanceSelectors(std::vector<std::string>(selectors.begin(), selectors.end()));
    return true;
}

bool declareAffectingKeys(ObjCClass& cls, const char* key, std::initializer_list<const char*> keyPaths) {
    cls.setKeyPathsForValuesAffectingKey(key, std::set<std::string>(keyPaths.begin(), keyPaths.end()));
    return true;
}

}  // namespace objc_detail
