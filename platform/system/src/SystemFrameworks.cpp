#include <platform_system/SystemFrameworks.h>

#include <string_view>

bool loadSystemFramework(const std::string& path) {
    std::string_view p(path);
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    return p == "/System/Library/Frameworks/CoreTelephony.framework" ||
           p == "/System/Library/Frameworks/AdSupport.framework";
}
