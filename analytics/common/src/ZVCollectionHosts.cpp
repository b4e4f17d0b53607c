#include <analytics_common/ZVCollectionHosts.h>

#include <cstdlib>

namespace {

struct Hosts {
    std::string primary = "ulog.zavez.invalid", secondary = "ulog2.zavez.invalid", domain;
};

const Hosts& hosts() {
    static const Hosts h = [] {
        Hosts out;
        if (const char* env = std::getenv(ZVCollectionHosts::kEnvironmentVariable); env && *env) {
            const std::string text(env);
            const auto comma = text.find(',');
            const std::string first = text.substr(0, comma);
            const std::string second = comma == std::string::npos ? std::string() : text.substr(comma + 1);
            // A half-given pair keeps the built-in host of the missing half.
            if (!first.empty()) out.primary = first;
            if (!second.empty()) out.secondary = second;
        }
        std::string name = out.primary.substr(0, out.primary.rfind(':') == std::string::npos ||
                                                          out.primary.find(']') != std::string::npos
                                                      ? out.primary.size()
                                                      : out.primary.rfind(':'));
        const auto dot = name.find('.');
        out.domain = dot == std::string::npos ? name : name.substr(dot + 1);
        return out;
    }();
    return h;
}

}  // namespace

const std::string& ZVCollectionHosts::primary() { return hosts().primary; }
const std::string& ZVCollectionHosts::secondary() { return hosts().secondary; }
const std::string& ZVCollectionHosts::primaryDomain() { return hosts().domain; }
