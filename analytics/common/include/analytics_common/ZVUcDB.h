#pragma once
// The upload cache: report bodies that cannot become envelope files yet wait in the SQLite
// database "uc.db" (table "__ct") under the layer's root and are replayed oldest first.
// Content and header are stored AES-128 encrypted (Base64 text) under a key derived from the
// "zvDBKey" setting; a key that no longer decrypts the stored "zvAESMsg" marker empties the
// table. This is obfuscation, not protection: the key material sits in the settings.
//
// One shared instance for the process. Every operation may be called from any thread: the
// main thread gets its own connection, all other threads share a second one; both are opened
// on first use in serialized mode with a 2 s busy timeout, and one lock orders opening,
// statements and resets. A database that reports corruption (or is no database at all) is
// deleted and recreated empty; one that cannot be opened is kept and opened again next time.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <platform_runtime/Value.h>

struct sqlite3;
void zvUcDBCloseForTesting();

class ZVUcDB {
public:
    static constexpr const char* kTable = "__ct";
    static ZVUcDB& sharedInstance();

    // The connection of the calling thread's kind, opened when missing (null when it failed).
    sqlite3* dbhandle();

    [[nodiscard]] bool insertToTable(const std::string& table, const std::string& context, const std::string& header,
                                     const std::string& type, const std::string& path, const std::string& version);
    // At most one dictionary: the oldest row ("id", "context", "header", "type", "path", "version").
    Value::Array loadEtTable(const std::string& table);
    // The row with this decimal id, or every row when `sid` is empty; a non-numeric id deletes nothing.
    [[nodiscard]] bool clearDataInTable(const std::string& table, const std::string& sid);
    int64_t rowCountInTable(const std::string& table);

    [[nodiscard]] bool runSql(const std::string& statement);
    void verifyCTTableWithName(const std::string& table);
    // Closes both connections, deletes the file and opens the non-main connection again.
    void resetDB();

    static std::string AESEncryptData(const std::string& text);
    static std::string AESDecryptData(const std::string& base64);
    // The 16-character key derived from "zvDBKey" (or the shared UDID when that is empty).
    static std::string getAESKey();
    static std::string isHas(const char* text) { return text ? std::string(text) : std::string(); }

    // The key derivation from a material text ("" when the material is empty).
    static std::string deriveKey(std::string material);

private:
    friend void zvUcDBCloseForTesting();
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    using Handle = std::unique_ptr<sqlite3, Closer>;

    ZVUcDB() = default;
    sqlite3* handleLocked();
    void initlizeDB(Handle& slot);
    void closeDB(Handle& slot);
    bool runSqlOn(sqlite3* db, const std::string& statement);
    void checkKey(sqlite3* db);

    std::recursive_mutex mutex_;
    Handle other_;  // every thread but the main thread
    Handle main_;
};
