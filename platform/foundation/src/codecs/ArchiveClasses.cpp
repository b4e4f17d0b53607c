#include "codecs/ArchiveClasses.h"

#include <map>

namespace codecs {

std::vector<std::string> builtinClassChain(const std::string& className) {
    static const std::map<std::string, std::vector<std::string>> chains = {
        {"NSArray", {"NSArray", "NSObject"}},
        {"NSMutableArray", {"NSMutableArray", "NSArray", "NSObject"}},
        {"NSDictionary", {"NSDictionary", "NSObject"}},
        {"NSMutableDictionary", {"NSMutableDictionary", "NSDictionary", "NSObject"}},
        {"NSSet", {"NSSet", "NSObject"}},
        {"NSMutableSet", {"NSMutableSet", "NSSet", "NSObject"}},
        {"NSString", {"NSString", "NSObject"}},
        {"NSMutableString", {"NSMutableString", "NSString", "NSObject"}},
        {"NSData", {"NSData", "NSObject"}},
        {"NSMutableData", {"NSMutableData", "NSData", "NSObject"}},
        {"NSDate", {"NSDate", "NSObject"}},
        {"NSNull", {"NSNull", "NSObject"}},
        {"NSNumber", {"NSNumber", "NSValue", "NSObject"}},
    };
    auto it = chains.find(className);
    return it == chains.end() ? std::vector<std::string>() : it->second;
}

}  // namespace codecs

#include <platform_runtime/ObjCClass.h>

namespace codecs {

std::vector<std::string> runtimeClassChain(const ObjCClass& cls) {
    std::vector<std::string> chain;
    for (const ObjCClass* c = &cls; c; c = c->superclass()) chain.push_back(c->name());
    return chain;
}

}  // namespace codecs
