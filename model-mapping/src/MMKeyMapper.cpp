#include <model_mapping/MMKeyMapper.h>


#include <platform_foundation/NSCharacterSet.h>
#include <platform_foundation/NSStringCase.h>

MMKeyMapper::MMKeyMapper(Block modelToJSON) : modelToJSONKeyBlock_(std::move(modelToJSON)) {}

MMKeyMapperPtr MMKeyMapper::initWithModelToJSONBlock(Block modelToJSON) {
    return std::make_shared<MMKeyMapper>(std::move(modelToJSON));
}

MMKeyMapperPtr MMKeyMapper::initWithJSONToModelBlock(Block, Block modelToJSON) {
    return initWithModelToJSONBlock(std::move(modelToJSON));
}

MMKeyMapperPtr MMKeyMapper::initWithModelToJSONDictionary(const StringMap& modelToJSON) {
    return initWithModelToJSONBlock([map = modelToJSON](const std::string& name) {
        auto it = map.find(name);
        return it == map.end() ? name : it->second;
    });
}

MMKeyMapperPtr MMKeyMapper::initWithDictionary(const StringMap& jsonToModel) {
    return initWithModelToJSONDictionary(swapKeysAndValuesInDictionary(jsonToModel));
}

MMKeyMapper::StringMap MMKeyMapper::swapKeysAndValuesInDictionary(const StringMap& dictionary) {
    StringMap out;
    for (const auto& [k, v] : dictionary) out[v] = k;
    return out;
}

namespace {

// Decodes the UTF-8 sequence at i; advances i.
char32_t nextCodePoint(const std::string& s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (i + len > s.size()) len = 1;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    return cp;
}

std::string snakeCase(const std::string& name) {
    static const NSCharacterSet upper = NSCharacterSet::uppercaseLetterCharacterSet();
    static const NSCharacterSet digits = NSCharacterSet::decimalDigitCharacterSet();
    std::string out;
    out.reserve(name.size() + 8);
    bool inDigits = false;
    for (std::size_t i = 0; i < name.size();) {
        std::size_t start = i;
        char32_t cp = nextCodePoint(name, i);
        std::string ch = name.substr(start, i - start);
        if (upper.characterIsMember(cp)) {
            out += "_" + NSString::lowercaseString(ch);
            inDigits = false;
        } else if (digits.characterIsMember(cp)) {
            // Every run of digits gets one "_" in front of it.
            if (!inDigits) out += "_";
            out += ch;
            inDigits = true;
        } else {
            out += ch;
            inDigits = false;
        }
    }
    return out;
}

}  // namespace

MMKeyMapperPtr MMKeyMapper::mapperForSnakeCase() {
    return initWithModelToJSONBlock(snakeCase);
}

MMKeyMapperPtr MMKeyMapper::mapperForTitleCase() {
    return initWithModelToJSONBlock([](const std::string& name) {
        if (name.empty()) return name;
        std::size_t i = 0;
        nextCodePoint(name, i);
        return NSString::uppercaseString(name.substr(0, i)) + name.substr(i);
    });
}

MMKeyMapperPtr MMKeyMapper::mapperFromUpperCaseToLowerCase() {
    return initWithModelToJSONBlock([](const std::string& name) { return NSString::uppercaseString(name); });
}

MMKeyMapperPtr MMKeyMapper::mapper(const MMKeyMapperPtr& base, const StringMap& exceptions) {
    return baseMapper(base, swapKeysAndValuesInDictionary(exceptions));
}

MMKeyMapperPtr MMKeyMapper::baseMapper(const MMKeyMapperPtr& base, const StringMap& modelToJSONExceptions) {
    return initWithModelToJSONBlock([base, exceptions = modelToJSONExceptions](const std::string& name) {
        auto it = exceptions.find(name);
        if (it != exceptions.end()) return it->second;
        return base ? base->convertValue(name) : name;
    });
}
