#pragma once
// The crash side's one configuration: the host app's identity (name, version, build date,
// channel), device identifiers, switches (international host, encrypted uploads, usage
// statistics, debug console lines, SIGPIPE), the app group of the app extensions and the
// module filter of the upload sink.
//
// One shared instance per process, made once (thread-safe). Properties are plain fields:
// the set-up path writes them, the delivery queues read them without locking.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>

class ZUDMobiConfig : public NSObject {
    NS_CLASS(ZUDMobiConfig, NSObject)
    using OptString = std::optional<std::string>;
    using StringList = std::vector<std::string>;

public:
    NS_PROPERTY(OptString, appName, setAppName, "C,N")
    NS_PROPERTY(OptString, deviceUDID, setDeviceUDID, "C,N")
    NS_PROPERTY(OptString, zdid, setZdid, "C,N")
    NS_PROPERTY(OptString, sn, setSn, "C,N")
    // The stored build date, else the main bundle's CFBundleVersion.
    OptString buildDate() const;
    void setBuildDate(OptString value) { buildDate_ = std::move(value); }
    NS_PROPERTY_ACCESSORS(OptString, buildDate, "C,N", buildDate, setBuildDate)
    NS_PROPERTY(OptString, bid, setBid, "C,N")
    // Always the kit's version, whatever was stored.
    OptString k_crash_ver() const { return version(); }
    void setK_crash_ver(OptString) {}
    NS_PROPERTY_ACCESSORS(OptString, k_crash_ver, "C,N", k_crash_ver, setK_crash_ver)
    NS_PROPERTY(OptString, appVersion, setAppVersion, "C,N")
    NS_PROPERTY(OptString, appChannel, setAppChannel, "C,N")
    NS_PROPERTY(bool, intlDomain, setIntlDomain, "N")
    NS_PROPERTY(bool, encryptLog, setEncryptLog, "N")
    NS_PROPERTY(bool, enableWaStat, setEnableWaStat, "N")
    // The setter also switches the signal monitor's SIGPIPE handling.
    bool ignoreSignalPIPE() const { return ignoreSignalPIPE_; }
    void setIgnoreSignalPIPE(bool ignore);
    NS_PROPERTY_ACCESSORS(bool, ignoreSignalPIPE, "N", ignoreSignalPIPE, setIgnoreSignalPIPE)
    NS_PROPERTY(OptString, ZC_URL, setZC_URL, "C,N")
    NS_PROPERTY(OptString, ZC_DownloadBg, setZC_DownloadBg, "C,N")
    NS_PROPERTY(OptString, ZC_Extra, setZC_Extra, "C,N")
    NS_PROPERTY(OptString, ZC_ExtraInfo, setZC_ExtraInfo, "C,N")
    NS_PROPERTY(OptString, ZC_UserAction, setZC_UserAction, "C,N")
    NS_PROPERTY(OptString, appGroupIdentifier, setAppGroupIdentifier, "&,N")
    NS_PROPERTY(StringList, filterModules, setFilterModules, "&,N")
    NS_PROPERTY(bool, enableDebugLog, setEnableDebugLog, "N")

public:
    static std::shared_ptr<ZUDMobiConfig> sharedInstance();
    // The crash side's kit version, "1.3.5".
    static std::string version();

    // Reads (or creates) the persistent device identifier.
    ZUDMobiConfig();

    // Every property that holds a value, keyed by its name (booleans as numbers).
    Value toDict() const;
    // "Documents/zpkdata/myudid" of the home directory; written once with a new upper-case
    // UUID when it cannot be read.
    static std::string internalGetDeviceUDID();
    // Replaces the module filter by the string members of `modules`; Null changes nothing.
    void updateFilterModules(const Value& modules);

private:
    OptString buildDate_;
    bool ignoreSignalPIPE_ = false;
};

// Prints a "[Reporter]" console line on standard output when the configuration's debug log
// is on.
void ZUDReporterLog(const std::string& line);
