#include <crash_core/CRAppState.h>

#include <crash_core/CRFileUtils.h>
#include <crash_core/CRJSONCodec.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kMaxStateFileSize = 50000;
constexpr int kDecodeBufferSize = 1000;
constexpr int kFormatVersion = 1;

CRAppState gState;
char* gStateFilePath = nullptr;
std::atomic<bool> gEnabled{false};
double (*gClock)() = nullptr;

double now() {
    if (gClock) return gClock();
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec / 1000) / 1e6;
}

double timeSinceTransition() { return now() - gState.appStateTransitionTime; }

// --- loading ---

int onBoolean(const char* name, bool value, void*) {
    if (std::strcmp(name, "crashedLastLaunch") == 0) gState.crashedLastLaunch = value;
    return CRJSON_OK;
}
int onFloatingPoint(const char* name, double value, void*) {
    if (std::strcmp(name, "activeDurationSinceLastCrash") == 0) gState.activeDurationSinceLastCrash = value;
    if (std::strcmp(name, "backgroundDurationSinceLastCrash") == 0) gState.backgroundDurationSinceLastCrash = value;
    return CRJSON_OK;
}
int onInteger(const char* name, int64_t value, void* user) {
    if (std::strcmp(name, "version") == 0) return value == kFormatVersion ? CRJSON_OK : CRJSON_ERROR_INVALID_DATA;
    if (std::strcmp(name, "launchesSinceLastCrash") == 0) gState.launchesSinceLastCrash = int(value);
    if (std::strcmp(name, "sessionsSinceLastCrash") == 0) gState.sessionsSinceLastCrash = int(value);
    return onFloatingPoint(name, double(value), user);
}
int onNull(const char*, void*) { return CRJSON_OK; }
int onString(const char*, const char*, void*) { return CRJSON_OK; }
int onBegin(const char*, void*) { return CRJSON_OK; }
int onEnd(void*) { return CRJSON_OK; }

const CRJSONDecodeCallbacks kCallbacks = {onBoolean, onFloatingPoint, onInteger, onNull, onString,
                                          onBegin,   onBegin,         onEnd,     onEnd};

void load() {
    char* data = nullptr;
    int length = 0;
    if (!crfu_readEntireFile(gStateFilePath, &data, &length, kMaxStateFileSize)) return;
    char buffer[kDecodeBufferSize];
    int errorOffset = 0;
    (void)crjson_decode(data, length, buffer, kDecodeBufferSize, &kCallbacks, nullptr, &errorOffset);
    std::free(data);
}

// --- saving (also on the crash path: a stack-only encoder writing to the descriptor) ---

int writeToFD(const char* data, int length, void* user) {
    return crfu_writeBytesToFD(*static_cast<int*>(user), data, length) ? CRJSON_OK : CRJSON_ERROR_CANNOT_ADD_DATA;
}

void save() {
    if (!gStateFilePath) return;
    int fd = open(gStateFilePath, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    CRJSONEncoder encoder;
    crjson_beginEncode(&encoder, true, writeToFD, &fd);
    int result = crjson_beginObject(&encoder, nullptr);
    if (!result) result = crjson_addIntegerElement(&encoder, "version", kFormatVersion);
    // What the next launch reads as "crashed last launch" is this launch's crash.
    if (!result) result = crjson_addBooleanElement(&encoder, "crashedLastLaunch", gState.crashedThisLaunch);
    if (!result)
        result = crjson_addFloatingPointElement(&encoder, "activeDurationSinceLastCrash",
                                                gState.activeDurationSinceLastCrash);
    if (!result)
        result = crjson_addFloatingPointElement(&encoder, "backgroundDurationSinceLastCrash",
                                                gState.backgroundDurationSinceLastCrash);
    if (!result) result = crjson_addIntegerElement(&encoder, "launchesSinceLastCrash", gState.launchesSinceLastCrash);
    if (!result) result = crjson_addIntegerElement(&encoder, "sessionsSinceLastCrash", gState.sessionsSinceLastCrash);
    if (!result) (void)crjson_endEncode(&encoder);
    close(fd);
}

void updateDurations() {
    double elapsed = timeSinceTransition();
    if (gState.applicationIsActive) {
        gState.activeDurationSinceLaunch += elapsed;
        gState.activeDurationSinceLastCrash += elapsed;
    } else if (!gState.applicationIsInForeground) {
        gState.backgroundDurationSinceLaunch += elapsed;
        gState.backgroundDurationSinceLastCrash += elapsed;
    }
    gState.appStateTransitionTime = now();
}

void setEnabled(bool enabled) {
    if (enabled == gEnabled.load()) return;
    gEnabled.store(enabled);
    if (!enabled) return;
    gState.sessionsSinceLaunch = 1;
    gState.activeDurationSinceLaunch = 0;
    gState.backgroundDurationSinceLaunch = 0;
    if (gState.crashedLastLaunch) {
        gState.activeDurationSinceLastCrash = 0;
        gState.backgroundDurationSinceLastCrash = 0;
        gState.launchesSinceLastCrash = 1;
        gState.sessionsSinceLastCrash = 1;
    } else {
        gState.launchesSinceLastCrash++;
        gState.sessionsSinceLastCrash++;
    }
    gState.crashedThisLaunch = false;
    gState.applicationIsInForeground = true;
    save();
}

bool isEnabled() { return gEnabled.load(); }

void addContextualInfo(CRCrashEventContext* event) {
    if (!gEnabled.load()) return;
    updateDurations();
    event->AppState = gState;
}

const CRMonitorAPI kAPI = {setEnabled, isEnabled, nullptr, addContextualInfo, nullptr};

}  // namespace

extern "C" {

void crcrashstate_notifyObjCLoad(void) {
    std::memset(&gState, 0, sizeof gState);
    gState.applicationIsActive = true;
    gState.appStateTransitionTime = now();
}

void crcrashstate_initialize(const char* stateFilePath) {
    char* copy = stateFilePath ? strdup(stateFilePath) : nullptr;
    std::free(gStateFilePath);
    gStateFilePath = copy;
    if (gStateFilePath) load();
}

void crcrashstate_notifyAppActive(bool isActive) {
    if (!gEnabled.load()) return;
    gState.applicationIsActive = isActive;
    if (isActive) {
        gState.appStateTransitionTime = now();
    } else {
        double elapsed = timeSinceTransition();
        gState.activeDurationSinceLaunch += elapsed;
        gState.activeDurationSinceLastCrash += elapsed;
    }
}

void crcrashstate_notifyAppInForeground(bool isInForeground) {
    if (!gEnabled.load()) return;
    gState.applicationIsInForeground = isInForeground;
    if (isInForeground) {
        double elapsed = timeSinceTransition();
        gState.backgroundDurationSinceLaunch += elapsed;
        gState.backgroundDurationSinceLastCrash += elapsed;
        gState.sessionsSinceLastCrash++;
        gState.sessionsSinceLaunch++;
    } else {
        gState.appStateTransitionTime = now();
        save();
    }
}

void crcrashstate_notifyAppTerminate(void) {
    if (!gEnabled.load()) return;
    updateDurations();
    save();
}

void crcrashstate_notifyAppCrash(void) {
    if (!gEnabled.load()) return;
    updateDurations();
    gState.crashedThisLaunch = true;
    save();
}

const CRAppState* crcrashstate_currentState(void) { return &gState; }
const CRMonitorAPI* crcm_appstate_getAPI(void) { return &kAPI; }
void crcrashstate_setClockForTesting(double (*clock)(void)) { gClock = clock; }

}  // extern "C"
