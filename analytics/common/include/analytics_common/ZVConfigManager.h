#pragma once
// Collection permissions: the server switches header fields and inner data sources off
// through the imprint value "cfgfd" ("<n >= 1000>@<header mask>,<inner mask>"); the table
// of field -> YES/NO is kept in memory and in "zvconfig/serverConfig" under the layer's
// root, and answers isValidField. A field the table lacks is collectable. Any thread.

#include <mutex>
#include <string>

#include <platform_runtime/ObjCDeclare.h>

class ZVConfigManager : public NSObject {
    NS_CLASS(ZVConfigManager, NSObject)
public:
    ZVConfigManager();
    static std::shared_ptr<ZVConfigManager> shareInstance();
    static bool isValidField(const std::string& field);
    static void saveConfig(const Value& config, int64_t type);

    // Reads "cfgfd", stores what it parses and refreshes the singleton's server table.
    void updateServerConfig();
    // The table a "cfgfd" text describes; empty for malformed text.
    static Value parseConfigString(const Value& text);

    Value readLocalConfig() const;
    void saveLocalConfig(const Value& config) const;
    Value readServerConfig() const;
    void saveServerConfig(const Value& config) const;
    void doSaveConfig(const Value& config, int64_t type) const;
    bool doIsValidField(const std::string& field);
    Value serverConfig() const;
    Value localConfig() const;

private:
    mutable std::mutex mutex_;
    Value localConfig_ = Value::mutableDictionary();
    Value serverConfig_ = Value::mutableDictionary();
};
