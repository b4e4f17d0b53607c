#pragma once
// The app's persistent key-value preferences (standard and named suites, app-group suites
// shared between processes), kept as binary property-list files in the sandbox.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

class UserDefaultsDomain;

class NSUserDefaults : public NSObject {
public:
    // The app's defaults: "<bundle identifier>.plist" (the process name without one) in the
    // sandbox's Library/Preferences. A new sandbox root gives the store found there.
    static std::shared_ptr<NSUserDefaults> standardUserDefaults();
    // Writes pending changes of every open store and forgets them all (registered defaults
    // included), so the next use reads the files again, as a new process would.
    static void resetStandardUserDefaults();

    // A named store: "<suite>.plist" in Library/Preferences, or, for an app-group identifier
    // ("group.…"), in that group's container, where every process of the group reads it.
    // nullopt gives the app's own defaults. nullptr for a name that cannot be a file name,
    // "NSGlobalDomain" or the app's own bundle identifier. Instances of one suite share their
    // contents.
    static std::shared_ptr<NSUserDefaults> initWithSuiteName(const std::optional<std::string>& suiteName);

    std::string className() const override { return "NSUserDefaults"; }

    // The stored value, else the registered default, else Null.
    Value objectForKey(const std::string& key) const;
    // Strings as they are, numbers as their text; otherwise nullopt.
    std::optional<std::string> stringForKey(const std::string& key) const;
    // Numbers and numeric strings; 0 otherwise.
    int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    float floatForKey(const std::string& key) const;
    // Numbers != 0; strings "YES"/"true" (any case) or a non-zero number; NO otherwise.
    bool boolForKey(const std::string& key) const;
    // The value when it has that kind; Null otherwise.
    Value arrayForKey(const std::string& key) const;
    Value dictionaryForKey(const std::string& key) const;
    Value dataForKey(const std::string& key) const;

    // Stores a property-list value (string, number, bool, date, data, array, dictionary with
    // string keys); Null removes the key. Anything else raises NSInvalidArgumentException, as
    // the platform does. Posts NSUserDefaultsDidChangeNotification.
    void setObject(const Value& value, const std::string& key);
    void setInteger(int64_t value, const std::string& key) { setObject(Value(value), key); }
    void setBool(bool value, const std::string& key) { setObject(Value(value), key); }
    void setDouble(double value, const std::string& key) { setObject(Value(value), key); }
    void setFloat(float value, const std::string& key) { setObject(Value(value), key); }
    void removeObjectForKey(const std::string& key);

    // Defaults answered for keys without a stored value; kept in memory only.
    void registerDefaults(const Value::Dictionary& registrationDictionary);
    // Registered defaults overlaid with the stored values.
    Value::Dictionary dictionaryRepresentation() const;

    // Writes pending changes (atomically: a temporary file renamed over the old one) and
    // takes in changes another process wrote since; this store's own pending changes win.
    // Changes are also written shortly after they are made, and at exit. False when the
    // file cannot be written.
    bool synchronize();

    // The file behind this store.
    std::string filePath() const;
    // The last failure: a corrupt file set aside (renamed with ".corrupt"), or a write that
    // failed. nullptr when there was none.
    NSErrorPtr lastError() const;

    explicit NSUserDefaults(std::shared_ptr<UserDefaultsDomain> domain);  // use the factories

private:
    void postDidChange();
    std::shared_ptr<UserDefaultsDomain> domain_;
};

using NSUserDefaultsPtr = std::shared_ptr<NSUserDefaults>;
