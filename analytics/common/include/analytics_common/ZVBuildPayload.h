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

    // Merges a received imprint into the stored one and applies its immediate effects
    // (defence level, experiments, interval change, engine switches, observers, zvid).
    static void updateImprint(const std::shared_ptr<ZVTImprint>& received);
    // The answer of an envelope upload: accepted when it decodes with resp_code 1; grants the
    // zero key on the first answer whose imprint holds "iscfg" or "cfgfd".
    bool verifyResponseData(const Value::Data& answer);
    // The answer of a stateless upload; its imprint is never merged.
    bool verifySLResponseData(const Value::Data& answer);
    // Forwarded by name to the filter registry of the usage-analytics kit.
    static void setFilterImprintKey(const std::string& key, const Value& handler);
    static bool processFilterImprintKey(const std::string& key, const std::string& value);
    // "mode|weights or group|gate|threshold|kind|values" -> "zvExperimentGroupInfo" and
    // "zvExperimentRPT" / "zvExperimentDOM".
    static void configureExperimentWithString(const std::string& text);
    // 20 bits of the stored signature at the byte offset as a probability in [0, 1); 0 without one.
    static float calcProbWithSigIndex(std::size_t offset);

private:
    void store(const ZVTIdTracking& record) const;
    mutable std::mutex mutex_;
    std::shared_ptr<ZVTIdTracking> idTracking_;
};
