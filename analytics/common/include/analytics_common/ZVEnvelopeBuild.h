#pragma once
// The envelope builder: turns one report body (header + content) into one envelope file
// (JSON, zlib, optional AES-128, a Thrift ZVEnvelope record) under a name carrying type and
// versions, and reads single values of the stored server imprint. The singleton is created
// once; its fields are atomic or locked. Builds run on the work queue (one at a time, under
// the build lock); the readers may be called from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <platform_dispatch/NSOperationQueue.h>
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

    // --- send trigger (work queue, except where noted) ---
    static constexpr std::size_t kMaxRootFiles = 100;
    // YES when a new report may be assembled now: no upload job runs, the network is usable
    // and no envelope file waits (waiting files start a job instead).
    bool isReadyBuild();
    // Queues the send step on the main queue: it trims the root folder to 100 files and
    // starts one upload job with every waiting file (unless the app is in the background and
    // the engine's backstate is 1).
    void preparePerformLog();
    // Drops paths with no file and sorts the rest oldest first.
    static void validateEnvelopeFiles(Value& paths);
    // The files of the declared sub-folders, each trimmed to its declared count (the oldest
    // go), in the registry's order.
    static Value envelopeFilesForSubFolders();
    // The upload queue (width 1) that runs the upload jobs.
    const std::shared_ptr<NSOperationQueue>& networkerQueue() const { return networkerQueue_; }

    // Result codes under "exception" of a body whose build failed.
    static constexpr int64_t kSaveFailed = 101, kNoJSON = 110, kEncodeFailed = 111, kCompressFailed = 112,
                             kJSONTooLong = 113, kFileTooLong = 114;
    static constexpr std::size_t kMaxJSONBytes = 2097152, kMaxFileBytes = 204800;

    // Rebuilds the base header, then answers the byte budget of one report body.
    int64_t maxDataSpace();
    // Public builds behind the zero-key gate: with the zero key and an empty upload cache
    // they build at once, otherwise the report is parked in the cache (behind older ones)
    // and the replay is asked to run.
    Value buildEnvelopeWithExtHeader(const Value& extHeader, const Value& content);
    Value buildEnvelopeWithExtHeader(const Value& extHeader, const Value& content, const std::string& pathURL,
                                     const std::string& type, const std::string& version);
    Value buildEnvelopeWithExtHeaderSubFolder(const Value& extHeader, const Value& content, const Value& subFolder);

    // Parks a report in the upload cache (never one of type "i"). Answers {"header", content
    // keys}; when the row could not be stored, also "exception" 101 so that callers keep
    // their data.
    Value insertToCacheTable(Value& header, const Value& content, std::string type, const std::string& path,
                             const std::string& version);
    // Replays the oldest parked report once the zero key is granted; work event 5 asks for
    // the next one.
    void loadCacheData();
    void buildCacheData(const Value& header, const Value& content, const std::string& type, const std::string& sid,
                        const std::string& path, const std::string& version);

    // Core build of any type; with a URL path the file is a stateless one. Answers the body
    // ({"header": ..., content keys...}, plus "exception" on failure).
    Value buildEnvelopeWithHeader(const Value& extHeader, const Value& content, const std::string& pathURL,
                                  const std::string& type, const std::string& version);
    // Build into a declared sub-folder; an empty name answers an empty dictionary.
    Value buildEnvelopeWithHeaderSubFolder(const Value& extHeader, const Value& content, const std::string& subFolder);
    // The zero envelope: only the extra header is sent.
    Value buildZeroEnvelopeWithExtHeader(const Value& extHeader, const Value& content);
    // {"inner": {"by", "sd", "sinfo", "mem"}} once the zero key is granted, else {"inner": {}}.
    static Value buildInternalData();
    // The encoded ZVEnvelope of a compressed entity; nothing when encoding failed.
    std::optional<Value::Data> toEnvelopeWithEntity(const Value::Data& compressed, int32_t rawLen, int32_t serNum);
    // A copy of the current base header.
    Value header() const;

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
    Value::Data guidFor(const Value::Data* signature) const;
    // Steps shared by every build: serial, JSON, compression, envelope, save, size check.
    Value build(Value body, const Value& content, const std::string& prefix, const std::string& pathURL,
                const std::string& subFolder);
    Value buildFile(Value body, const Value& content, const std::string& prefix, const std::string& pathURL,
                    const std::string& subFolder, std::string& path);

    // Step 12 / 14 of a successful build: upload a stateless file at once, or start the send
    // step for ordinary files.
    void afterBuild(const Value& body, const std::string& path, const std::string& pathURL);

    std::shared_ptr<NSOperationQueue> networkerQueue_;
    mutable std::mutex buildMutex_;  // one build at a time; guards the build state below
    Value header_ = Value::mutableDictionary();
    std::array<uint8_t, 16> identityMD5_{}, entityMD5_{};
    int32_t timestamp_ = 0;
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
