#include <app_host/HostOptions.h>

#include <app_host/HostKeys.h>

#include <platform_net/NSURL.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

struct Choice {
    const char* flag;
    std::vector<std::string> values;  // empty: any value
};

}  // namespace

const char* HostOptions::usage() {
    return "usage: firmware-browser [options]\n"
           "  --catalogue-url URL --jailbreak-url URL   talk to these services (https), no local server\n"
           "                                           (also APP_CATALOGUE_BASE_URL, APP_JAILBREAK_BASE_URL)\n"
           "  --catalogue-root DIR        serve another catalogue folder\n"
           "  --sandbox DIR               the app's sandbox root\n"
           "  --os VERSION                the system version, e.g. 9.3.5\n"
           "  --device MODEL              the hardware model, e.g. iPhone12,1\n"
           "  --appearance light|dark\n"
           "  --notifications allow|deny\n"
           "  --background-refresh available|denied|restricted\n"
           "  --no-mail                   no mail account on the device\n"
           "  --offline                   airplane mode from the start\n"
           "  --present jailbreaks        push the jailbreak list on the first tab after launch\n"
           "  --print-screen              no drawing: wait until idle, print the screen, exit\n"
           "                              (view animations end at once: only the settled screen shows)\n"
           "  --keys \"Down Enter\"         keys (tmux names) to press after launch, each once idle\n"
           "  --help\n"
           "keys: arrows (k j) PgUp PgDn Home End move; Enter taps; 1 2 3 Tab tabs; Esc Backspace Left back;\n"
           "      * star; s send; r refresh; b background/foreground; f background fetch; a airplane mode;\n"
           "      d light/dark; m memory warning; q quit; ? help\n";
}

std::string checkServiceURL(const std::string& url) {
    auto parsed = NSURL::URLWithString(url);
    if (!parsed) return "not a URL: " + url;
    if (parsed->scheme() != "https") return "not an https URL: " + url;
    if (parsed->host().empty()) return "no host in " + url;
    return {};
}

HostArguments HostOptions::parse(const std::vector<std::string>& arguments) {
    HostArguments out;
    HostOptions& o = out.options;
    const std::map<std::string, Choice> valued{
        {"--catalogue-url", {"--catalogue-url", {}}},
        {"--jailbreak-url", {"--jailbreak-url", {}}},
        {"--catalogue-root", {"--catalogue-root", {}}},
        {"--sandbox", {"--sandbox", {}}},
        {"--os", {"--os", {}}},
        {"--device", {"--device", {}}},
        {"--appearance", {"--appearance", {"light", "dark"}}},
        {"--notifications", {"--notifications", {"allow", "deny"}}},
        {"--background-refresh", {"--background-refresh", {"available", "denied", "restricted"}}},
        {"--present", {"--present", {"jailbreaks"}}},
        {"--keys", {"--keys", {}}},
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            return out;
        }
        if (arg == "--no-mail") {
            o.noMail = true;
            continue;
        }
        if (arg == "--offline") {
            o.offline = true;
            continue;
        }
        if (arg == "--print-screen") {
            o.printScreen = true;
            continue;
        }
        auto found = valued.find(arg);
        if (found == valued.end()) {
            out.error = "unknown argument: " + arg;
            return out;
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            out.error = arg + " needs a value";
            return out;
        }
        const std::string& value = arguments[++i];
        const auto& allowed = found->second.values;
        if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
            std::string list;
            for (const auto& a : allowed) list += (list.empty() ? "" : "|") + a;
            out.error = arg + " takes " + list + ", not " + value;
            return out;
        }
        if (arg == "--catalogue-url") o.catalogueURL = value;
        else if (arg == "--jailbreak-url") o.jailbreakURL = value;
        else if (arg == "--catalogue-root") o.catalogueRoot = value;
        else if (arg == "--sandbox") o.sandbox = value;
        else if (arg == "--os") o.os = value;
        else if (arg == "--device") o.device = value;
        else if (arg == "--appearance") o.appearance = value;
        else if (arg == "--notifications") o.notifications = value;
        else if (arg == "--background-refresh") o.backgroundRefresh = value;
        else if (arg == "--present") o.present = value;
        else if (arg == "--keys") {
            std::size_t start = 0;
            while (start <= value.size()) {
                std::size_t end = value.find(' ', start);
                if (end == std::string::npos) end = value.size();
                std::string name = value.substr(start, end - start);
                if (!name.empty()) {
                    if (!hostKeyFromName(name)) {
                        out.error = "unknown key name in --keys: " + name;
                        return out;
                    }
                    o.keys.push_back(name);
                }
                start = end + 1;
            }
        }
    }
    if (!o.catalogueURL)
        if (const char* env = std::getenv(kCatalogueURLVariable); env && *env) o.catalogueURL = env;
    if (!o.jailbreakURL)
        if (const char* env = std::getenv(kJailbreakURLVariable); env && *env) o.jailbreakURL = env;
    for (const auto* url : {&o.catalogueURL, &o.jailbreakURL}) {
        if (!*url) continue;
        std::string why = checkServiceURL(**url);
        if (!why.empty()) {
            out.error = why;
            return out;
        }
    }
    if (o.catalogueRoot && !o.servesCatalogue()) {
        out.error = "--catalogue-root serves the local catalogue; it does not go with service URLs";
        return out;
    }
    return out;
}
