#pragma once
// The general-purpose report filters: pass-through, object for key, concatenate, subset,
// data to string and string to data. Each completes before returning, on the caller's
// thread. Key paths are "/"-separated (zud_objectForKeyPath); a path that does not resolve
// gives nothing.

#include <memory>
#include <string>
#include <vector>

#include <crash_reporting/CRCrashReportFilter.h>
#include <platform_runtime/ObjCDeclare.h>

// Hands the input on unchanged.
class ZPKCRCrashReportFilterPassthrough : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterPassthrough, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    static std::shared_ptr<ZPKCRCrashReportFilterPassthrough> filter();
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;
};

// The value of one key of each report (a text key as a key path, any other key by plain
// lookup). A missing value gives an empty dictionary when allowed, else ends the filter with
// the values found so far and "Key not found: <key>".
class ZPKCRCrashReportFilterObjectForKey : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterObjectForKey, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    static std::shared_ptr<ZPKCRCrashReportFilterObjectForKey> filterWithKey(Value key, bool allowNotFound);
    ZPKCRCrashReportFilterObjectForKey(Value key = {}, bool allowNotFound = false)
        : key_(std::move(key)), allowNotFound_(allowNotFound) {}
    const Value& key() const { return key_; }
    void setKey(Value key) { key_ = std::move(key); }
    bool allowNotFound() const { return allowNotFound_; }
    void setAllowNotFound(bool allow) { allowNotFound_ = allow; }
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

private:
    Value key_;
    bool allowNotFound_ = false;
};

// One text per report: the values of the key paths ("%@"; a missing one prints "(null)"),
// each after the first preceded by the separator format applied to its key path.
class ZPKCRCrashReportFilterConcatenate : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterConcatenate, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    // Key-path entries that are arrays contribute their elements (one level deep).
    static std::shared_ptr<ZPKCRCrashReportFilterConcatenate> filterWithSeparatorFmt(std::string separatorFmt,
                                                                                      const std::vector<Value>& keys);
    ZPKCRCrashReportFilterConcatenate(std::string separatorFmt = {}, const std::vector<Value>& keysArray = {});
    const std::string& separatorFmt() const { return separatorFmt_; }
    void setSeparatorFmt(std::string fmt) { separatorFmt_ = std::move(fmt); }
    const std::vector<Value>& keys() const { return keys_; }
    void setKeys(std::vector<Value> keys) { keys_ = std::move(keys); }
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

private:
    std::string separatorFmt_;
    std::vector<Value> keys_;
};

// One dictionary per report holding the value of each key path under the path's last
// component; a missing value ends the filter with "Report did not have key path <path>".
class ZPKCRCrashReportFilterSubset : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterSubset, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    static std::shared_ptr<ZPKCRCrashReportFilterSubset> filterWithKeys(const std::vector<Value>& keyPaths);
    explicit ZPKCRCrashReportFilterSubset(const std::vector<Value>& keysArray = {});
    const std::vector<Value>& keyPaths() const { return keyPaths_; }
    void setKeyPaths(std::vector<Value> keyPaths) { keyPaths_ = std::move(keyPaths); }
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

private:
    std::vector<Value> keyPaths_;
};

// Bytes to UTF-8 text; a byte outside a well-formed sequence becomes U+FFFD. Texts pass
// unchanged; any other kind of report ends the filter with "Report is not data".
class ZPKCRCrashReportFilterDataToString : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterDataToString, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    static std::shared_ptr<ZPKCRCrashReportFilterDataToString> filter();
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;
};

// Texts to their UTF-8 bytes; a report that is no well-formed text ends the filter with
// "Could not convert report to UTF-8".
class ZPKCRCrashReportFilterStringToData : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterStringToData, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    static std::shared_ptr<ZPKCRCrashReportFilterStringToData> filter();
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;
};

// Key-path lists flattened one level: array entries contribute their elements.
std::vector<Value> CRFlattenKeys(const std::vector<Value>& list);
