#include <analytics_common/ZVUcDB.h>

#include <cctype>
#include <charconv>
#include <unistd.h>

#include <sqlite3.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVUtils.h>
#include <platform_dispatch/NSThread.h>

namespace {

constexpr char kKeyMaterial[] = "zvDBKey";
constexpr char kMarkerKey[] = "zvAESMsg";
constexpr char kMarker[] = "zavez+";
// Threads of the work queue vary; a writer of the other connection holds the lock briefly.
constexpr int kBusyTimeoutMs = 2000;
// Key material shorter than this is padded with "0" (the usage store derives the same way).
constexpr std::size_t kMaterialLength = 9;

struct StatementCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

Statement prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (!db || sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return nullptr;
    }
    return Statement(raw);
}

bool bindText(sqlite3_stmt* s, int index, const std::string& text) {
    return sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

std::string columnText(sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(s, column))) : std::string();
}

std::string settingString(const char* key) {
    const Value v = ZVConfigureCache::objectWithKey(key);
    return v.isString() ? v.asStdString() : std::string();
}

bool isCorrupt(int code) { return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB; }

}  // namespace

void ZVUcDB::Closer::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

ZVUcDB& ZVUcDB::sharedInstance() {
    static ZVUcDB* instance = new ZVUcDB();  // lives for the process
    return *instance;
}

sqlite3* ZVUcDB::dbhandle() {
    std::lock_guard lock(mutex_);
    return handleLocked();
}

sqlite3* ZVUcDB::handleLocked() {
    Handle& slot = NSThread::isMainThread() ? main_ : other_;
    if (!slot) initlizeDB(slot);
    return slot.get();
}

void ZVUcDB::initlizeDB(Handle& slot) {
    if (slot) {
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error7");
        return;
    }
    const std::string path = ZVFileUtility::ucDBFilePath();
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                   nullptr);
    Handle db(raw);
    if (rc != SQLITE_OK) {
        // Kept on disk: a missing descriptor or an unwritable folder says nothing about the
        // parked reports. The next use tries again.
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error6");
        return;
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    char* message = nullptr;
    const int walRc = sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL; ", nullptr, nullptr, &message);
    sqlite3_free(message);
    if (isCorrupt(walRc)) {
        // Not a database (or a damaged one): start over with an empty file, once.
        db.reset();
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error6");
        if (::unlink(path.c_str()) == 0) initlizeDB(slot);
        return;
    }
    if (walRc != SQLITE_OK) {
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error6");
        return;
    }
    slot = std::move(db);
    verifyCTTableWithName(kTable);
    if (slot) checkKey(slot.get());
}

void ZVUcDB::closeDB(Handle& slot) { slot.reset(); }

void zvUcDBCloseForTesting() {
    ZVUcDB& db = ZVUcDB::sharedInstance();
    std::lock_guard lock(db.mutex_);
    db.closeDB(db.other_);
    db.closeDB(db.main_);
}

void ZVUcDB::verifyCTTableWithName(const std::string& table) {
    std::lock_guard lock(mutex_);
    const std::string sql = "CREATE TABLE IF NOT EXISTS " + table +
                            " (id INTEGER, __c TEXT, __h TEXT, __t TEXT, __s BIGINT, __x TEXT, __y TEXT, __z TEXT, "
                            "PRIMARY KEY (id))";
    if (!runSql(sql)) ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error10", Value(table));
}

void ZVUcDB::checkKey(sqlite3* db) {
    const std::string material = settingString(kKeyMaterial);
    const std::string marker = AESDecryptData(settingString(kMarkerKey));
    const bool matches = marker == kMarker;
    if ((!material.empty() && !matches) || (material.empty() && marker.empty()))
        (void)runSqlOn(db, std::string("DELETE FROM ") + kTable);
    if (material.empty() || !matches) {
        ZVConfigureCache::setObject(Value(ZVUtils::sharedUDIDString()), kKeyMaterial);
        ZVConfigureCache::setObject(Value(AESEncryptData(kMarker)), kMarkerKey);
    }
}

bool ZVUcDB::runSql(const std::string& statement) {
    std::lock_guard lock(mutex_);
    return runSqlOn(handleLocked(), statement);
}

bool ZVUcDB::runSqlOn(sqlite3* db, const std::string& statement) {
    if (!db) return false;
    char* message = nullptr;
    const int rc = sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return true;
    ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error9", Value(statement),
                 Value(message ? message : sqlite3_errstr(rc)), Value(static_cast<int64_t>(rc)));
    sqlite3_free(message);
    if (isCorrupt(rc)) resetDB();
    return false;
}

void ZVUcDB::resetDB() {
    std::lock_guard lock(mutex_);
    closeDB(other_);
    closeDB(main_);
    const std::string path = ZVFileUtility::ucDBFilePath();
    for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
    initlizeDB(other_);
}

bool ZVUcDB::insertToTable(const std::string& table, const std::string& context, const std::string& header,
                           const std::string& type, const std::string& path, const std::string& version) {
    std::lock_guard lock(mutex_);
    sqlite3* db = handleLocked();
    const Statement s = prepare(db, "INSERT INTO " + table + " (__c, __h, __t,__s,__x,__y) VALUES (?, ?, ?, ?, ?, ?)");
    int rc = SQLITE_ERROR;
    if (s) {
        bindText(s.get(), 1, AESEncryptData(context));
        bindText(s.get(), 2, AESEncryptData(header));
        bindText(s.get(), 3, type);
        sqlite3_bind_int64(s.get(), 4, static_cast<sqlite3_int64>(ZVUtils::UTCIntervalMS()));
        bindText(s.get(), 5, path);
        bindText(s.get(), 6, version);
        rc = sqlite3_step(s.get());
    }
    if (rc == SQLITE_DONE) return true;
    ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error13", Value(table));
    if (db && isCorrupt(sqlite3_errcode(db))) resetDB();
    return false;
}

Value::Array ZVUcDB::loadEtTable(const std::string& table) {
    std::lock_guard lock(mutex_);
    sqlite3* db = handleLocked();
    // Rows of one millisecond come back in insertion order.
    const Statement s =
        prepare(db, "SELECT id, __c, __h, __t, __x, __y FROM " + table + " ORDER BY __s, id LIMIT 1");
    if (!s) {
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error12", Value(db ? sqlite3_errmsg(db) : "no database"));
        return {};
    }
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE && isCorrupt(rc)) resetDB();
        return {};
    }
    Value::Dictionary row;
    row[Value("id")] = Value(std::to_string(sqlite3_column_int64(s.get(), 0)));
    row[Value("context")] = Value(AESDecryptData(columnText(s.get(), 1)));
    row[Value("header")] = Value(AESDecryptData(columnText(s.get(), 2)));
    row[Value("type")] = Value(columnText(s.get(), 3));
    row[Value("path")] = Value(columnText(s.get(), 4));
    row[Value("version")] = Value(columnText(s.get(), 5));
    return {Value(row)};
}

bool ZVUcDB::clearDataInTable(const std::string& table, const std::string& sid) {
    std::lock_guard lock(mutex_);
    sqlite3* db = handleLocked();
    if (sid.empty()) {
        if (runSqlOn(db, "DELETE FROM " + table)) return true;
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error11", Value(table));
        return false;
    }
    int64_t id = 0;
    const auto [end, ec] = std::from_chars(sid.data(), sid.data() + sid.size(), id);
    if (ec != std::errc() || end != sid.data() + sid.size()) return false;  // deletes nothing
    const Statement s = prepare(db, "DELETE FROM " + table + " WHERE id=?");
    const int rc = s ? (sqlite3_bind_int64(s.get(), 1, id), sqlite3_step(s.get())) : SQLITE_ERROR;
    if (rc == SQLITE_DONE) return true;
    ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error11", Value(table));
    if (db && isCorrupt(sqlite3_errcode(db))) resetDB();
    return false;
}

int64_t ZVUcDB::rowCountInTable(const std::string& table) {
    std::lock_guard lock(mutex_);
    sqlite3* db = handleLocked();
    const Statement s = prepare(db, "SELECT COUNT(*) FROM " + table);
    if (!s) {
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error12", Value(db ? sqlite3_errmsg(db) : "no database"));
        if (db && isCorrupt(sqlite3_errcode(db))) resetDB();
        return 0;
    }
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW) return sqlite3_column_int64(s.get(), 0);
    if (isCorrupt(rc)) resetDB();
    return 0;
}

std::string ZVUcDB::deriveKey(std::string material) {
    if (material.empty()) return {};
    if (material.size() < kMaterialLength) material.append(kMaterialLength - material.size(), '0');
    std::string head = material.substr(1, 8);
    for (char& c : head)
        if (c >= '1' && c <= '9') c = static_cast<char>('0' + (10 - (c - '0')));
    return head + std::string(head.rbegin(), head.rend());
}

std::string ZVUcDB::getAESKey() {
    std::string material = settingString(kKeyMaterial);
    if (material.empty()) material = ZVUtils::sharedUDIDString();
    return deriveKey(std::move(material));
}

std::string ZVUcDB::AESEncryptData(const std::string& text) {
    const std::string key = getAESKey();
    const auto cipher = ZVUtils::AES128EncryptData(
        Value::Data(text.begin(), text.end()),
        std::span(reinterpret_cast<const uint8_t*>(key.data()), key.size()));
    return cipher ? ZVUtils::encodeBase64(*cipher) : std::string();
}

std::string ZVUcDB::AESDecryptData(const std::string& base64) {
    if (base64.empty()) return {};
    const std::string key = getAESKey();
    const auto plain = ZVUtils::AES128DecryptData(
        ZVUtils::decodeBase64(base64), std::span(reinterpret_cast<const uint8_t*>(key.data()), key.size()));
    if (!plain || plain->empty()) return {};
    return std::string(plain->begin(), plain->end());
}
