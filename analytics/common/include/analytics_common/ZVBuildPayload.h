#pragma once
// The payload singleton: the record of the device's identifiers (one snapshot per domain
// and a journal of changes since the last accepted upload, stored under "zvIDTracking"),
// the base header of every ordinary report, and the readers of the stored imprint with its
// checksum. The record is guarded by the singleton's lock; any thread.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <analytics_common/ZVTIdTracking.h>
#include <analytics_common/ZVTImprint.h>
#include <platform_runtime/ObjCDeclare.h>

class ZVBuildPayload : public NSObject {
    NS_CLASS(ZVBuildPayload, NSObject)
public:
    static std::shared_ptr<ZVBuildPayload> sharedInstance();

    // --- ID tracking ---
    // Refreshes and stores the record (only once the zero key is granted).
    void buildIdTracking();
    std::shared_ptr<ZVTIdTracking> generateIdTracking() const;
    // Clears the journal and stores the record (when it has snapshots).
    void saveIdTracking();
    std::shared_ptr<ZVTIdTracking> idTracking() const;
    // The keychain-kept install identifier ("" when neither it nor a device id exists).
    static std::string saveZVKid();
    // The identifier domains in tracking order and their current identities.
    static const std::vector<std::string>& trackedDomains();
    static std::string currentIdentity(const std::string& domain);

    // --- base header ---
    // Empties the dictionary, then (with the zero key) fills it with the header entries.
    static void buildBaseheader(Value& header);

    // --- imprint ---
    static std::string generateImprintChecksum(const ZVTImprint& imprint);
    static bool validateImprintChecksum(const std::shared_ptr<ZVTImprint>& imprint);
    // The value of a key of an encoded imprint; nothing for no data or an absent key (a
    // damaged encoding answers from what could be read).
    static std::optional<std::string> imprintWithData(const Value::Data* data, const std::string& key);

private:
    void store(const ZVTIdTracking& record) const;
    mutable std::mutex mutex_;
    std::shared_ptr<ZVTIdTracking> idTracking_;
};
