#pragma once
// The envelope builder's state and its readers of the stored server imprint. (Building and
// sending envelopes belongs to the layer above; this is what the common layer reads.)
// The singleton is created once; its fields are atomic or locked, any thread.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <platform_runtime/ObjCDeclare.h>

class ZVEnvelopeBuild : public NSObject {
    NS_CLASS(ZVEnvelopeBuild, NSObject)
public:
    ZVEnvelopeBuild();
    static std::shared_ptr<ZVEnvelopeBuild> sharedInstance();

    // The value of one key of the stored imprint ("zvImprint"); nothing when absent.
    static std::optional<std::string> imprintProperty(const std::string& key);
    // The imprint's "integrated_test" has the integer value 1.
    static bool isIntegratedTestModel();
    static void setEnvelopeSubFolder(const std::string& name, uint64_t maxCount);

    int32_t defcon() const { return defcon_.load(); }
    void setDefcon(int32_t v) { defcon_.store(v); }
    bool jobRunning() const { return jobRunning_.load(); }
    void setJobRunning(bool v) { jobRunning_.store(v); }
    // The installation's 32 signature bytes; empty when none is stored.
    Value::Data signature() const;
    void setSignature(Value::Data v);
    Value::Data guid() const;
    void setGuid(Value::Data v);

private:
    std::atomic<int32_t> defcon_{0};
    std::atomic<bool> jobRunning_{false};
    mutable std::mutex mutex_;
    Value::Data signature_, guid_;
};

// Declared envelope sub-folders and the greatest number of files each may hold.
class ZVEnvelopeSubFolder : public NSObject {
    NS_CLASS(ZVEnvelopeSubFolder, NSObject)
public:
    static std::shared_ptr<ZVEnvelopeSubFolder> sharedInstance();
    void setEnvelopeSubFolder(const std::string& name, uint64_t maxCount);
    std::map<std::string, uint64_t> envelopeSubFolderDic() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, uint64_t> folders_;
};
