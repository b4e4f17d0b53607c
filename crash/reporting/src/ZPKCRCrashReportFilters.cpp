#include <crash_reporting/ZPKCRCrashReportFilters.h>

#include <crash_reporting/ZUDData.h>
#include <crash_reporting/ZUDDeepKeyPath.h>
#include <crash_reporting/ZUDErrors.h>
#include <platform_foundation/NSStringFormat.h>

std::vector<Value> CRFlattenKeys(const std::vector<Value>& list) {
    std::vector<Value> keys;
    for (const auto& entry : list) {
        if (entry.isArray())
            keys.insert(keys.end(), entry.asArray().begin(), entry.asArray().end());
        else
            keys.push_back(entry);
    }
    return keys;
}

namespace {

Value lookUp(const Value& report, const Value& key) {
    if (key.isString()) return zud_objectForKeyPath(report, key.asString());
    return report.objectForKey(key);
}

}  // namespace

// --- pass-through ---

std::shared_ptr<ZPKCRCrashReportFilterPassthrough> ZPKCRCrashReportFilterPassthrough::filter() {
    return std::make_shared<ZPKCRCrashReportFilterPassthrough>();
}

void ZPKCRCrashReportFilterPassthrough::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    crcrash_callCompletion(onCompletion, reports, true, nullptr);
}

// --- object for key ---

std::shared_ptr<ZPKCRCrashReportFilterObjectForKey> ZPKCRCrashReportFilterObjectForKey::filterWithKey(
    Value key, bool allowNotFound) {
    return std::make_shared<ZPKCRCrashReportFilterObjectForKey>(std::move(key), allowNotFound);
}

void ZPKCRCrashReportFilterObjectForKey::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    Value output = Value::mutableArray();
    for (const auto& report : reports.asArray()) {
        Value value = lookUp(report, key_);
        if (value.isNull()) {
            if (!allowNotFound_)
                return crcrash_callCompletion(onCompletion, output, false,
                                        zud_errorWithDomain(className(), 0, "Key not found: %@", key_));
            value = Value::mutableDictionary();
        }
        output.addObject(value);
    }
    crcrash_callCompletion(onCompletion, output, true, nullptr);
}

// --- concatenate ---

ZPKCRCrashReportFilterConcatenate::ZPKCRCrashReportFilterConcatenate(std::string separatorFmt,
                                                                     const std::vector<Value>& keysArray)
    : separatorFmt_(std::move(separatorFmt)), keys_(CRFlattenKeys(keysArray)) {}

std::shared_ptr<ZPKCRCrashReportFilterConcatenate> ZPKCRCrashReportFilterConcatenate::filterWithSeparatorFmt(
    std::string separatorFmt, const std::vector<Value>& keys) {
    return std::make_shared<ZPKCRCrashReportFilterConcatenate>(std::move(separatorFmt), keys);
}

void ZPKCRCrashReportFilterConcatenate::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    Value output = Value::mutableArray();
    for (const auto& report : reports.asArray()) {
        std::string text;
        bool first = true;
        for (const auto& key : keys_) {
            if (!first) text += NSStringWithFormat(separatorFmt_, key);
            first = false;
            text += NSStringWithFormat("%@", zud_objectForKeyPath(report, key.stringValue()));
        }
        output.addObject(Value(std::move(text)));
    }
    crcrash_callCompletion(onCompletion, output, true, nullptr);
}

// --- subset ---

ZPKCRCrashReportFilterSubset::ZPKCRCrashReportFilterSubset(const std::vector<Value>& keysArray)
    : keyPaths_(CRFlattenKeys(keysArray)) {}

std::shared_ptr<ZPKCRCrashReportFilterSubset> ZPKCRCrashReportFilterSubset::filterWithKeys(
    const std::vector<Value>& keyPaths) {
    return std::make_shared<ZPKCRCrashReportFilterSubset>(keyPaths);
}

void ZPKCRCrashReportFilterSubset::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    Value output = Value::mutableArray();
    for (const auto& report : reports.asArray()) {
        Value subset = Value::mutableDictionary();
        for (const auto& keyPath : keyPaths_) {
            std::string path = keyPath.stringValue();
            Value value = zud_objectForKeyPath(report, path);
            if (value.isNull())
                return crcrash_callCompletion(onCompletion, output, false,
                                        zud_errorWithDomain(className(), 0, "Report did not have key path %@", keyPath));
            auto slash = path.rfind('/');
            subset.setObject(value, Value(slash == std::string::npos ? path : path.substr(slash + 1)));
        }
        output.addObject(subset);
    }
    crcrash_callCompletion(onCompletion, output, true, nullptr);
}

// --- data to string / string to data ---

std::shared_ptr<ZPKCRCrashReportFilterDataToString> ZPKCRCrashReportFilterDataToString::filter() {
    return std::make_shared<ZPKCRCrashReportFilterDataToString>();
}

void ZPKCRCrashReportFilterDataToString::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    Value output = Value::mutableArray();
    for (const auto& report : reports.asArray()) {
        if (report.isString()) {
            output.addObject(report);
        } else if (report.isData()) {
            output.addObject(Value(zud_stringFromUTF8Replacing(report.asData())));
        } else {
            return crcrash_callCompletion(onCompletion, output, false,
                                    zud_errorWithDomain(className(), 0, "Report is not data"));
        }
    }
    crcrash_callCompletion(onCompletion, output, true, nullptr);
}

std::shared_ptr<ZPKCRCrashReportFilterStringToData> ZPKCRCrashReportFilterStringToData::filter() {
    return std::make_shared<ZPKCRCrashReportFilterStringToData>();
}

void ZPKCRCrashReportFilterStringToData::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    Value output = Value::mutableArray();
    for (const auto& report : reports.asArray()) {
        if (!report.isString() || !zud_isValidUTF8(report.asString()))
            return crcrash_callCompletion(onCompletion, output, false,
                                    zud_errorWithDomain(className(), 0, "Could not convert report to UTF-8"));
        std::string_view text = report.asString();
        output.addObject(Value::data(text.data(), text.size()));
    }
    crcrash_callCompletion(onCompletion, output, true, nullptr);
}
