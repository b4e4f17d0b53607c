#include <crash_core/CRReportStore.h>

#include <crash_core/CRFileUtils.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxCreateTries = 1000;

std::mutex gMutex;
char gAppName[CRCRS_MAX_PATH_LENGTH];
char gReportsPath[CRCRS_MAX_PATH_LENGTH];
std::atomic<int> gMaxReportCount{5};
int64_t gIDHigh = 0;
std::atomic<uint32_t> gIDLow{0};

void reportPath(char* buffer, int64_t id) {
    std::snprintf(buffer, CRCRS_MAX_PATH_LENGTH, "%s/%s-report-%016" PRIx64 ".json", gReportsPath, gAppName,
                  static_cast<uint64_t>(id));
}

void extPath(char* buffer, int64_t id) {
    std::snprintf(buffer, CRCRS_MAX_PATH_LENGTH, "%s/%s-ext-%016" PRIx64 ".txt", gReportsPath, gAppName,
                  static_cast<uint64_t>(id));
}

// The id of a report file's name, or 0.
int64_t reportIDOf(const char* name) {
    size_t appLength = std::strlen(gAppName);
    if (std::strncmp(name, gAppName, appLength) != 0) return 0;
    const char* rest = name + appLength;
    static const char kInfix[] = "-report-";
    if (std::strncmp(rest, kInfix, sizeof kInfix - 1) != 0) return 0;
    // The whole name: a report moved aside (".old") is no report.
    unsigned long long id = 0;
    int end = 0;
    if (std::sscanf(rest + sizeof kInfix - 1, "%llx.json%n", &id, &end) != 1 || end == 0 ||
        rest[sizeof kInfix - 1 + size_t(end)] != '\0')
        return 0;
    return static_cast<int64_t>(id);
}

std::vector<int64_t> listIDs() {
    std::vector<int64_t> ids;
    DIR* dir = opendir(gReportsPath);
    if (!dir) return ids;
    while (struct dirent* entry = readdir(dir)) {
        int64_t id = reportIDOf(entry->d_name);
        if (id > 0) ids.push_back(id);
    }
    closedir(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

void deleteReport(int64_t id) {
    char path[CRCRS_MAX_PATH_LENGTH];
    reportPath(path, id);
    crfu_removeFile(path, false);
    extPath(path, id);
    crfu_removeFile(path, false);
}

void prune() {
    auto ids = listIDs();
    int max = gMaxReportCount.load();
    if (int(ids.size()) <= max) return;
    for (size_t i = 0; i < ids.size() - size_t(max < 0 ? 0 : max); ++i) deleteReport(ids[i]);
}

void seedIDs() {
    time_t now = time(nullptr);
    struct tm t {};
    gmtime_r(&now, &t);
    uint64_t base = static_cast<uint64_t>(t.tm_sec) + static_cast<uint64_t>(t.tm_min) * 61 +
                    static_cast<uint64_t>(t.tm_hour) * 3660 + static_cast<uint64_t>(t.tm_yday) * 87840 +
                    static_cast<uint64_t>(t.tm_year) * 32149440;
    base <<= 23;
    gIDHigh = static_cast<int64_t>(base & 0xFFFFFFFF00000000ull);
    gIDLow.store(static_cast<uint32_t>(base & 0xFFFFFFFFu));
}

int64_t nextID() { return gIDHigh + static_cast<int64_t>(gIDLow.fetch_add(1)); }

}  // namespace

extern "C" {

void crcrs_initialize(const char* appName, const char* reportsPath) {
    std::lock_guard lock(gMutex);
    std::snprintf(gAppName, sizeof gAppName, "%s", appName ? appName : "");
    std::snprintf(gReportsPath, sizeof gReportsPath, "%s", reportsPath ? reportsPath : "");
    crfu_makePath(gReportsPath);
    prune();
    seedIDs();
}

int64_t crcrs_nextReportPath(char* pathBuffer) {
    int64_t id = nextID();
    if (pathBuffer) reportPath(pathBuffer, id);
    return id;
}

int crcrs_createNextReportFile(char* pathBuffer, int64_t* reportID) {
    for (int i = 0; i < kMaxCreateTries; ++i) {
        int64_t id = crcrs_nextReportPath(pathBuffer);
        int fd = open(pathBuffer, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) {
            if (reportID) *reportID = id;
            return fd;
        }
    }
    return -1;
}

int crcrs_getReportCount(void) {
    std::lock_guard lock(gMutex);
    return int(listIDs().size());
}

int crcrs_getReportIDs(int64_t* reportIDs, int count) {
    std::lock_guard lock(gMutex);
    auto ids = listIDs();
    int n = std::min(count, int(ids.size()));
    for (int i = 0; i < n; ++i) reportIDs[i] = ids[size_t(i)];
    return n;
}

char* crcrs_readReport(int64_t reportID) {
    std::lock_guard lock(gMutex);
    char path[CRCRS_MAX_PATH_LENGTH];
    reportPath(path, reportID);
    struct stat st {};
    // Read whole: the tail of a large report never parses.
    if (stat(path, &st) != 0 || st.st_size > CRCRS_MAX_REPORT_SIZE) return nullptr;
    char* data = nullptr;
    if (!crfu_readEntireFile(path, &data, nullptr, 0)) return nullptr;
    return data;
}

char* crcrs_getReportExtFilePath(int64_t reportID) {
    char* path = static_cast<char*>(std::malloc(CRCRS_MAX_PATH_LENGTH));
    if (path) extPath(path, reportID);
    return path;
}

void crcrs_deleteReportWithID(int64_t reportID) { deleteReport(reportID); }

void crcrs_deleteAllReports(void) {
    std::lock_guard lock(gMutex);
    crfu_deleteContentsOfPath(gReportsPath);
}

void crcrs_setMaxReportCount(int maxReportCount) { gMaxReportCount.store(maxReportCount); }

}  // extern "C"
