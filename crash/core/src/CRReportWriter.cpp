#include <crash_core/CRReportWriter.h>

#include <crash_core/CRCPU.h>
#include <crash_core/CRCachedData.h>
#include <crash_core/CRDynamicLinker.h>
#include <crash_core/CRFileUtils.h>
#include <crash_core/CRJSONCodec.h>
#include <crash_core/CRMachNames.h>
#include <crash_core/CRMemory.h>
#include <crash_core/CRObjC.h>
#include <crash_core/CRSignalInfo.h>
#include <crash_core/CRZombie.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <time.h>
#include <unistd.h>

namespace {

constexpr const char* kReportVersion = "3.3.0";
constexpr int kFileBufferSize = 1024;
constexpr int kOtherThreadsMaxDepth = 150;
constexpr int kMemoryObjectBudget = 15;
constexpr int kMaxIvars = 10;
constexpr int kStringValueBuffer = 200;
constexpr int kMaxStringLength = 500;
constexpr int kStackFreeSideBytes = 80;   // 10 words beyond the stack pointer
constexpr int kStackUsedSideBytes = 160;  // 20 words of the used stack
constexpr int kEmbedBufferSize = 64 * 1024;
constexpr int kPathLength = 500;

std::mutex gUserInfoMutex;
char* gUserInfoJSON = nullptr;
std::atomic<bool> gIntrospectMemory{true};
char** gDoNotIntrospect = nullptr;
int gDoNotIntrospectCount = 0;
std::atomic<CRReportWriteCallback> gUserSectionCallback{nullptr};
// Buffers of the minimal report's embedding (reserved at install).
char* gEmbedWindow = nullptr;
char* gEmbedStrings = nullptr;

struct WriterContext {
    CRJSONEncoder encoder;
    CRBufferedWriter file;
};

CRJSONEncoder* enc(const CRReportWriter* writer) { return &static_cast<WriterContext*>(writer->context)->encoder; }

// --- the writer record's operations ---

void addBooleanElement(const CRReportWriter* w, const char* name, bool value) {
    (void)crjson_addBooleanElement(enc(w), name, value);
}
void addFloatingPointElement(const CRReportWriter* w, const char* name, double value) {
    (void)crjson_addFloatingPointElement(enc(w), name, value);
}
void addIntegerElement(const CRReportWriter* w, const char* name, int64_t value) {
    (void)crjson_addIntegerElement(enc(w), name, value);
}
void addUIntegerElement(const CRReportWriter* w, const char* name, uint64_t value) {
    (void)crjson_addUIntegerElement(enc(w), name, value);
}
void addStringElement(const CRReportWriter* w, const char* name, const char* value) {
    (void)crjson_addStringElement(enc(w), name, value, -1);
}

void addTextFileElement(const CRReportWriter* w, const char* name, const char* filePath) {
    int fd = open(filePath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (crjson_beginStringElement(enc(w), name) == CRJSON_OK) {
        char buffer[512];
        for (;;) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            if (crjson_appendStringElement(enc(w), buffer, int(n)) != CRJSON_OK) break;
        }
        (void)crjson_endStringElement(enc(w));
    }
    close(fd);
}

void addTextFileLinesElement(const CRReportWriter* w, const char* name, const char* filePath) {
    char readBuffer[kFileBufferSize];
    CRBufferedReader reader;
    if (!crfu_openBufferedReader(&reader, filePath, readBuffer, sizeof readBuffer)) return;
    if (crjson_beginArray(enc(w), name) == CRJSON_OK) {
        char line[kFileBufferSize];
        for (;;) {
            int length = sizeof line;
            crfu_readBufferedReaderUntilChar(&reader, '\n', line, &length);
            if (length <= 0) break;
            if (line[length - 1] == '\n') length--;
            if (crjson_addStringElement(enc(w), nullptr, line, length) != CRJSON_OK) break;
        }
        (void)crjson_endContainer(enc(w));
    }
    crfu_closeBufferedReader(&reader);
}

void addJSONFileElement(const CRReportWriter* w, const char* name, const char* filePath, bool closeLastContainer) {
    (void)crjson_addJSONFromFile(enc(w), name, filePath, closeLastContainer);
}
void addDataElement(const CRReportWriter* w, const char* name, const char* value, int length) {
    (void)crjson_addDataElement(enc(w), name, value, length);
}
void beginDataElement(const CRReportWriter* w, const char* name) { (void)crjson_beginDataElement(enc(w), name); }
void appendDataElement(const CRReportWriter* w, const char* value, int length) {
    (void)crjson_appendDataElement(enc(w), value, length);
}
void endDataElement(const CRReportWriter* w) { (void)crjson_endDataElement(enc(w)); }

void formatUUID(const unsigned char* b, char* out37) {
    static const char kHex[] = "0123456789ABCDEF";
    int o = 0;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out37[o++] = '-';
        out37[o++] = kHex[b[i] >> 4];
        out37[o++] = kHex[b[i] & 15];
    }
    out37[o] = '\0';
}

void addUUIDElement(const CRReportWriter* w, const char* name, const unsigned char* value) {
    if (!value) {
        (void)crjson_addNullElement(enc(w), name);
        return;
    }
    char text[37];
    formatUUID(value, text);
    (void)crjson_addStringElement(enc(w), name, text, -1);
}

void addJSONElement(const CRReportWriter* w, const char* name, const char* json, bool closeLastContainer) {
    int result = crjson_addJSONElement(enc(w), name, json, json ? int(std::strlen(json)) : 0, closeLastContainer);
    if (result != CRJSON_OK) {
        char error[100];
        std::snprintf(error, sizeof error, "Invalid JSON data: %s", crjson_stringForError(result));
        (void)crjson_beginObject(enc(w), name);
        (void)crjson_addStringElement(enc(w), "error", error, -1);
        (void)crjson_addStringElement(enc(w), "json_data", json, -1);
        (void)crjson_endContainer(enc(w));
    }
}
void beginObject(const CRReportWriter* w, const char* name) { (void)crjson_beginObject(enc(w), name); }
void beginArray(const CRReportWriter* w, const char* name) { (void)crjson_beginArray(enc(w), name); }
void endContainer(const CRReportWriter* w) { (void)crjson_endContainer(enc(w)); }

void prepareWriter(CRReportWriter* writer, WriterContext* context) {
    writer->addBooleanElement = addBooleanElement;
    writer->addFloatingPointElement = addFloatingPointElement;
    writer->addIntegerElement = addIntegerElement;
    writer->addUIntegerElement = addUIntegerElement;
    writer->addStringElement = addStringElement;
    writer->addTextFileElement = addTextFileElement;
    writer->addTextFileLinesElement = addTextFileLinesElement;
    writer->addJSONFileElement = addJSONFileElement;
    writer->addDataElement = addDataElement;
    writer->beginDataElement = beginDataElement;
    writer->appendDataElement = appendDataElement;
    writer->endDataElement = endDataElement;
    writer->addUUIDElement = addUUIDElement;
    writer->addJSONElement = addJSONElement;
    writer->beginObject = beginObject;
    writer->beginArray = beginArray;
    writer->endContainer = endContainer;
    writer->context = context;
}

int addJSONData(const char* data, int length, void* user) {
    auto* file = static_cast<CRBufferedWriter*>(user);
    return crfu_writeBufferedWriter(file, data, length) ? CRJSON_OK : CRJSON_ERROR_CANNOT_ADD_DATA;
}

void flush(WriterContext* context) { crfu_flushBufferedWriter(&context->file); }

// --- memory introspection ---

bool isRestrictedClass(const char* name) {
    if (!name) return false;
    for (int i = 0; i < gDoNotIntrospectCount; ++i)
        if (gDoNotIntrospect[i] && std::strcmp(name, gDoNotIntrospect[i]) == 0) return true;
    return false;
}

bool isValidString(const void* address) {
    if (!address) return false;
    if (reinterpret_cast<uintptr_t>(address) > UINTPTR_MAX - kMaxStringLength) return false;
    return crstring_isNullTerminatedUTF8String(address, 4, kMaxStringLength);
}

bool isNotableAddress(uintptr_t address) {
    if (address == 0) return false;
    const void* p = reinterpret_cast<const void*>(address);
    if (crobjc_isTaggedPointer(p) && !crobjc_isValidTaggedPointer(p)) return false;
    if (crzombie_className(p)) return true;
    if (crobjc_objectType(p) != CRObjCTypeUnknown) return true;
    return isValidString(p);
}

void writeMemoryContents(const CRReportWriter* w, const char* name, uintptr_t address, int* limit);

void writeIvars(const CRReportWriter* w, const void* object, const void* cls, int* limit) {
    CRObjCIvar ivars[kMaxIvars];
    int count = crobjc_ivarList(cls, ivars, kMaxIvars);
    *limit -= count;
    w->beginObject(w, "ivars");
    for (int i = 0; i < count; ++i) {
        const CRObjCIvar& ivar = ivars[i];
        if (!ivar.name || !ivar.type) continue;
        uint64_t raw = 0;
        if (!crobjc_ivarValue(object, ivar.index, &raw)) continue;
        switch (ivar.type[0]) {
        case 'c': w->addIntegerElement(w, ivar.name, int8_t(raw)); break;
        case 's': w->addIntegerElement(w, ivar.name, int16_t(raw)); break;
        case 'i':
        case 'l': w->addIntegerElement(w, ivar.name, int32_t(raw)); break;
        case 'q': w->addIntegerElement(w, ivar.name, int64_t(raw)); break;
        case 'C': w->addUIntegerElement(w, ivar.name, uint8_t(raw)); break;
        case 'S': w->addUIntegerElement(w, ivar.name, uint16_t(raw)); break;
        case 'I':
        case 'L': w->addUIntegerElement(w, ivar.name, uint32_t(raw)); break;
        case 'Q': w->addUIntegerElement(w, ivar.name, raw); break;
        case 'f': {
            float f;
            std::memcpy(&f, &raw, sizeof f);
            w->addFloatingPointElement(w, ivar.name, f);
            break;
        }
        case 'd': {
            double d;
            std::memcpy(&d, &raw, sizeof d);
            w->addFloatingPointElement(w, ivar.name, d);
            break;
        }
        case 'B': w->addBooleanElement(w, ivar.name, (raw & 0xFF) != 0); break;
        case '@':
        case '#':
        case ':':
        case '*':
            if (*limit > 0) writeMemoryContents(w, ivar.name, uintptr_t(raw), limit);
            break;
        default: break;
        }
    }
    w->endContainer(w);
}

// False when the address is no object of the runtime.
bool writeObjCObject(const CRReportWriter* w, uintptr_t address, int* limit) {
    const void* p = reinterpret_cast<const void*>(address);
    if (crobjc_isTaggedPointer(p) && crobjc_isValidTaggedPointer(p)) {
        w->addStringElement(w, "type", "objc_object");
        w->addStringElement(w, "class", crobjc_objectClassName(p));
        w->beginObject(w, "ivars");
        w->addIntegerElement(w, "tagged_payload", int64_t(crobjc_taggedPointerPayload(p)));
        w->endContainer(w);
        return true;
    }
    switch (crobjc_objectType(p)) {
    case CRObjCTypeClass:
        w->addStringElement(w, "type", "objc_class");
        w->addStringElement(w, "class", crobjc_className(p));
        return true;
    case CRObjCTypeBlock:
        w->addStringElement(w, "type", "objc_block");
        w->addStringElement(w, "class", crobjc_objectClassName(p));
        return true;
    case CRObjCTypeObject: {
        w->addStringElement(w, "type", "objc_object");
        const char* className = crobjc_objectClassName(p);
        w->addStringElement(w, "class", className);
        if (isRestrictedClass(className)) return true;
        switch (crobjc_objectClassType(p)) {
        case CRObjCClassTypeString:
        case CRObjCClassTypeURL: {
            char text[kStringValueBuffer];
            if (crobjc_copyStringContents(p, text, sizeof text) > 0) w->addStringElement(w, "value", text);
            break;
        }
        case CRObjCClassTypeDate: w->addFloatingPointElement(w, "value", crobjc_dateContents(p)); break;
        case CRObjCClassTypeNumber: w->addFloatingPointElement(w, "value", crobjc_numberAsFloat(p)); break;
        case CRObjCClassTypeArray: {
            uintptr_t first = 0;
            if (*limit > 0 && crobjc_arrayContents(p, &first, 1) == 1) writeMemoryContents(w, "first_object", first, limit);
            break;
        }
        default:
            if (*limit > 0) {
                (*limit)--;
                writeIvars(w, p, crobjc_isaPointer(p), limit);
            }
            break;
        }
        return true;
    }
    default:
        return false;
    }
}

void writeMemoryContents(const CRReportWriter* w, const char* name, uintptr_t address, int* limit) {
    (*limit)--;
    const void* p = reinterpret_cast<const void*>(address);
    w->beginObject(w, name);
    w->addUIntegerElement(w, "address", address);
    if (const char* zombie = crzombie_className(p)) w->addStringElement(w, "last_deallocated_obj", zombie);
    if (!writeObjCObject(w, address, limit)) {
        if (address == 0) {
            w->addStringElement(w, "type", "null_pointer");
        } else if (isValidString(p)) {
            char text[kMaxStringLength + 1];
            size_t n = crmem_copyMaxPossible(p, text, kMaxStringLength);
            text[n < kMaxStringLength ? n : kMaxStringLength] = '\0';
            w->addStringElement(w, "type", "string");
            w->addStringElement(w, "value", text);
        } else {
            w->addStringElement(w, "type", "unknown");
        }
    }
    w->endContainer(w);
}

void writeMemoryContentsIfNotable(const CRReportWriter* w, const char* name, uintptr_t address) {
    if (!isNotableAddress(address)) return;
    int limit = kMemoryObjectBudget;
    writeMemoryContents(w, name, address, &limit);
}

// An address in a text (a reason naming an object) described as "referenced_object".
void writeAddressReferencedByString(const CRReportWriter* w, const char* name, const char* text) {
    uint64_t address = 0;
    if (!text || !crstring_extractHexValue(text, int(std::strlen(text)), &address)) return;
    int limit = kMemoryObjectBudget;
    writeMemoryContents(w, name, uintptr_t(address), &limit);
}

// --- sections ---

void writeReportInfo(const CRReportWriter* w, const char* type, const CRCrashEventContext* event) {
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    int64_t micros = int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
    w->beginObject(w, "report");
    w->addStringElement(w, "version", kReportVersion);
    w->addStringElement(w, "id", event->eventID);
    w->addStringElement(w, "process_name", event->System.processName);
    w->addIntegerElement(w, "timestamp", micros);
    w->addStringElement(w, "type", type);
    w->endContainer(w);
}

void writeBinaryImages(const CRReportWriter* w) {
    w->beginArray(w, "binary_images");
    uint32_t count = crdl_imageCount();
    for (uint32_t i = 0; i < count; ++i) {
        CRBinaryImage image;
        if (!crdl_getBinaryImage(int(i), &image)) continue;
        w->beginObject(w, nullptr);
        w->addUIntegerElement(w, "image_addr", image.address);
        w->addUIntegerElement(w, "image_vmaddr", image.vmAddress);
        w->addUIntegerElement(w, "image_size", image.size);
        w->addStringElement(w, "name", image.name);
        w->addUUIDElement(w, "uuid", image.uuid);
        w->addIntegerElement(w, "cpu_type", image.cpuType);
        w->addIntegerElement(w, "cpu_subtype", image.cpuSubType);
        w->addUIntegerElement(w, "major_version", image.majorVersion);
        w->addUIntegerElement(w, "minor_version", image.minorVersion);
        w->addUIntegerElement(w, "revision_version", image.revisionVersion);
        if (image.crashInfoMessage) w->addStringElement(w, "crash_info_message", image.crashInfoMessage);
        if (image.crashInfoMessage2) w->addStringElement(w, "crash_info_message2", image.crashInfoMessage2);
        w->endContainer(w);
    }
    w->endContainer(w);
}

void writeProcessState(const CRReportWriter* w, const CRCrashEventContext* event) {
    w->beginObject(w, "process");
    if (event->ZombieException.address != 0) {
        w->beginObject(w, "last_dealloced_nsexception");
        w->addUIntegerElement(w, "address", event->ZombieException.address);
        w->addStringElement(w, "name", event->ZombieException.name);
        w->addStringElement(w, "reason", event->ZombieException.reason);
        writeAddressReferencedByString(w, "referenced_object", event->ZombieException.reason);
        w->endContainer(w);
    }
    w->endContainer(w);
}

void writeSystemInfo(const CRReportWriter* w, const CRCrashEventContext* event) {
    const auto& s = event->System;
    const auto& a = event->AppState;
    w->beginObject(w, "system");
    w->addStringElement(w, "system_name", s.systemName);
    w->addStringElement(w, "system_version", s.systemVersion);
    w->addStringElement(w, "machine", s.machine);
    w->addStringElement(w, "model", s.model);
    w->addStringElement(w, "kernel_version", s.kernelVersion);
    w->addStringElement(w, "os_version", s.osVersion);
    w->addStringElement(w, "boot_time", s.bootTime);
    w->addStringElement(w, "app_start_time", s.appStartTime);
    w->addStringElement(w, "CFBundleExecutablePath", s.executablePath);
    w->addStringElement(w, "CFBundleExecutable", s.executableName);
    w->addStringElement(w, "CFBundleIdentifier", s.bundleID);
    w->addStringElement(w, "CFBundleName", s.bundleName);
    w->addStringElement(w, "CFBundleVersion", s.bundleVersion);
    w->addStringElement(w, "CFBundleShortVersionString", s.bundleShortVersion);
    w->addStringElement(w, "app_uuid", s.appID);
    w->addStringElement(w, "cpu_arch", s.cpuArchitecture);
    w->addIntegerElement(w, "cpu_type", s.cpuType);
    w->addIntegerElement(w, "cpu_subtype", s.cpuSubType);
    w->addIntegerElement(w, "binary_cpu_type", s.binaryCPUType);
    w->addIntegerElement(w, "binary_cpu_subtype", s.binaryCPUSubType);
    w->addStringElement(w, "time_zone", s.timezone);
    w->addStringElement(w, "process_name", s.processName);
    w->addIntegerElement(w, "process_id", s.processID);
    w->addIntegerElement(w, "parent_process_id", s.parentProcessID);
    w->addStringElement(w, "device_app_hash", s.deviceAppHash);
    w->addStringElement(w, "build_type", s.buildType);
    w->addIntegerElement(w, "storage", int64_t(s.storageSize));
    w->addIntegerElement(w, "free_storage", int64_t(s.freeStorageSize));
    w->beginObject(w, "memory");
    w->addUIntegerElement(w, "size", s.memorySize);
    w->addUIntegerElement(w, "usable", s.usableMemory);
    w->addUIntegerElement(w, "free", s.freeMemory);
    w->endContainer(w);
    w->beginObject(w, "application_stats");
    w->addBooleanElement(w, "application_active", a.applicationIsActive);
    w->addBooleanElement(w, "application_in_foreground", a.applicationIsInForeground);
    w->addIntegerElement(w, "launches_since_last_crash", a.launchesSinceLastCrash);
    w->addIntegerElement(w, "sessions_since_last_crash", a.sessionsSinceLastCrash);
    w->addFloatingPointElement(w, "active_time_since_last_crash", a.activeDurationSinceLastCrash);
    w->addFloatingPointElement(w, "background_time_since_last_crash", a.backgroundDurationSinceLastCrash);
    w->addIntegerElement(w, "sessions_since_launch", a.sessionsSinceLaunch);
    w->addFloatingPointElement(w, "active_time_since_launch", a.activeDurationSinceLaunch);
    w->addFloatingPointElement(w, "background_time_since_launch", a.backgroundDurationSinceLaunch);
    w->endContainer(w);
    w->endContainer(w);
}

void writeError(const CRReportWriter* w, const CRCrashEventContext* event) {
    w->beginObject(w, "error");
    w->beginObject(w, "mach");
    w->addUIntegerElement(w, "exception", uint64_t(unsigned(event->mach.type)));
    if (const char* name = crmach_exceptionName(event->mach.type)) w->addStringElement(w, "exception_name", name);
    uint64_t code = uint64_t(event->mach.code) & 0xFFFFFFFFu;
    w->addUIntegerElement(w, "code", code);
    if (code != 0)
        if (const char* name = crmach_kernelReturnCodeName(int64_t(code))) w->addStringElement(w, "code_name", name);
    w->addUIntegerElement(w, "subcode", uint64_t(event->mach.subcode));
    w->endContainer(w);

    w->beginObject(w, "signal");
    w->addUIntegerElement(w, "signal", uint64_t(unsigned(event->signal.signum)));
    if (const char* name = crsignal_signalName(event->signal.signum)) w->addStringElement(w, "name", name);
    w->addUIntegerElement(w, "code", uint64_t(unsigned(event->signal.sigcode)));
    if (const char* name = crsignal_signalCodeName(event->signal.signum, event->signal.sigcode))
        w->addStringElement(w, "code_name", name);
    w->endContainer(w);

    w->addUIntegerElement(w, "address", event->faultAddress);
    if (event->crashReason) w->addStringElement(w, "reason", event->crashReason);

    switch (event->crashType) {
    case CRCrashMonitorTypeMachException: w->addStringElement(w, "type", "mach"); break;
    case CRCrashMonitorTypeSignal: w->addStringElement(w, "type", "signal"); break;
    case CRCrashMonitorTypeCPPException:
        w->addStringElement(w, "type", "cpp_exception");
        w->beginObject(w, "cpp_exception");
        w->addStringElement(w, "name", event->CPPException.name);
        w->endContainer(w);
        break;
    case CRCrashMonitorTypeNSException:
        w->addStringElement(w, "type", "nsexception");
        w->beginObject(w, "nsexception");
        w->addStringElement(w, "name", event->NSException.name);
        w->addStringElement(w, "userInfo", event->NSException.userInfo);
        writeAddressReferencedByString(w, "referenced_object", event->crashReason);
        w->endContainer(w);
        break;
    case CRCrashMonitorTypeMainThreadDeadlock: w->addStringElement(w, "type", "deadlock"); break;
    case CRCrashMonitorTypeUserReported:
        w->addStringElement(w, "type", "user");
        w->beginObject(w, "user_reported");
        w->addStringElement(w, "name", event->userException.name);
        if (event->userException.language) w->addStringElement(w, "language", event->userException.language);
        if (event->userException.lineOfCode) w->addStringElement(w, "line_of_code", event->userException.lineOfCode);
        if (event->userException.customStackTrace)
            w->addJSONElement(w, "backtrace", event->userException.customStackTrace, true);
        w->addBooleanElement(w, "terminate_programe", event->terminateProgram);
        w->endContainer(w);
        break;
    default: break;
    }
    w->endContainer(w);
}

void writeBacktrace(const CRReportWriter* w, CRStackCursor* cursor) {
    w->beginObject(w, "backtrace");
    w->beginArray(w, "contents");
    while (cursor && cursor->advanceCursor(cursor)) {
        w->beginObject(w, nullptr);
        if (cursor->symbolicate(cursor)) {
            if (cursor->stackEntry.imageName)
                w->addStringElement(w, "object_name", crfu_lastPathEntry(cursor->stackEntry.imageName));
            w->addUIntegerElement(w, "object_addr", cursor->stackEntry.imageAddress);
            if (cursor->stackEntry.symbolName) w->addStringElement(w, "symbol_name", cursor->stackEntry.symbolName);
            w->addUIntegerElement(w, "symbol_addr", cursor->stackEntry.symbolAddress);
        }
        w->addUIntegerElement(w, "instruction_addr", cursor->stackEntry.address);
        w->endContainer(w);
    }
    w->endContainer(w);
    w->addIntegerElement(w, "skipped", 0);
    w->endContainer(w);
}

// The CPU layer's name of a register, else "r" and its index.
const char* registerName(const char* known, int index, char (&buffer)[30]) {
    if (known) return known;
    std::snprintf(buffer, sizeof buffer, "r%d", index);
    return buffer;
}

void writeRegisters(const CRReportWriter* w, const CRMachineContext* context) {
    char name[30];
    w->beginObject(w, "registers");
    w->beginObject(w, "basic");
    for (int i = 0; i < crcpu_numRegisters(); ++i)
        w->addUIntegerElement(w, registerName(crcpu_registerName(i), i, name), crcpu_registerValue(context, i));
    w->endContainer(w);
    if (crmc_hasValidExceptionRegisters(context)) {
        w->beginObject(w, "exception");
        for (int i = 0; i < crcpu_numExceptionRegisters(); ++i)
            w->addUIntegerElement(w, registerName(crcpu_exceptionRegisterName(i), i, name),
                                  crcpu_exceptionRegisterValue(context, i));
        w->endContainer(w);
    }
    w->endContainer(w);
}

void stackRange(const CRMachineContext* context, uintptr_t* start, uintptr_t* end) {
    uintptr_t sp = crcpu_stackPointer(context);
    int d = crcpu_stackGrowDirection();
    uintptr_t a = sp + uintptr_t(intptr_t(kStackFreeSideBytes) * d);
    uintptr_t b = sp - uintptr_t(intptr_t(kStackUsedSideBytes) * d);
    *start = a < b ? a : b;
    *end = a < b ? b : a;
}

void writeStackContents(const CRReportWriter* w, const CRMachineContext* context, bool isStackOverflow) {
    uintptr_t sp = crcpu_stackPointer(context);
    if (sp == 0) return;
    uintptr_t start, end;
    stackRange(context, &start, &end);
    w->beginObject(w, "stack");
    w->addStringElement(w, "grow_direction", crcpu_stackGrowDirection() > 0 ? "+" : "-");
    w->addUIntegerElement(w, "dump_start", start);
    w->addUIntegerElement(w, "dump_end", end);
    w->addUIntegerElement(w, "stack_pointer", sp);
    w->addBooleanElement(w, "overflow", isStackOverflow);
    char bytes[kStackFreeSideBytes + kStackUsedSideBytes];
    if (crmem_copySafely(reinterpret_cast<const void*>(start), bytes, end - start))
        w->addDataElement(w, "contents", bytes, int(end - start));
    else
        w->addStringElement(w, "error", "Stack contents not accessible");
    w->endContainer(w);
}

void writeNotableAddresses(const CRReportWriter* w, const CRMachineContext* context) {
    w->beginObject(w, "notable_addresses");
    char name[30];
    for (int i = 0; i < crcpu_numRegisters(); ++i)
        writeMemoryContentsIfNotable(w, registerName(crcpu_registerName(i), i, name), crcpu_registerValue(context, i));
    if (crcpu_stackPointer(context) != 0) {
        uintptr_t start, end;
        stackRange(context, &start, &end);
        for (uintptr_t word = start; word + sizeof(uintptr_t) <= end; word += sizeof(uintptr_t)) {
            uintptr_t value = 0;
            if (!crmem_copySafely(reinterpret_cast<const void*>(word), &value, sizeof value)) continue;
            if (!isNotableAddress(value)) continue;
            std::snprintf(name, sizeof name, "stack@%p", reinterpret_cast<void*>(word));
            writeMemoryContentsIfNotable(w, name, value);
        }
    }
    w->endContainer(w);
}

void writeThread(const CRReportWriter* w, const char* name, const CRCrashEventContext* event,
                 const CRMachineContext* context, CRStackCursor* cursor, int index, bool writeNotable) {
    bool isCrashed = crmc_isCrashedContext(context);
    CRThread thread = crmc_getThreadFromContext(context);
    w->beginObject(w, name);
    writeBacktrace(w, cursor);
    if (crmc_canHaveCPUState(context)) writeRegisters(w, context);
    w->addIntegerElement(w, "index", index);
    if (const char* threadName = crccd_getThreadName(thread)) w->addStringElement(w, "name", threadName);
    if (const char* queueName = crccd_getQueueName(thread)) w->addStringElement(w, "dispatch_queue", queueName);
    w->addBooleanElement(w, "crashed", isCrashed);
    w->addBooleanElement(w, "current_thread", thread == crthread_self());
    if (isCrashed) {
        writeStackContents(w, context, context->isStackOverflow);
        if (writeNotable) writeNotableAddresses(w, context);
    }
    w->endContainer(w);
    (void)event;
}

void writeAllThreads(const CRReportWriter* w, const CRCrashEventContext* event, bool writeNotable) {
    const CRMachineContext* crashed = event->offendingMachineContext;
    if (!crashed) return;
    CRThread crashedThread = crmc_getThreadFromContext(crashed);
    w->beginArray(w, "threads");
    for (int i = 0; i < crmc_getThreadCount(crashed); ++i) {
        CRThread thread = crmc_getThreadAtIndex(crashed, i);
        if (thread == crashedThread) {
            writeThread(w, nullptr, event, crashed, event->stackCursor, i, writeNotable);
        } else {
            CRMachineContext context;
            crmc_getContextForThread(thread, &context, false);
            CRStackCursor cursor;
            crsc_initWithMachineContext(&cursor, kOtherThreadsMaxDepth, &context);
            writeThread(w, nullptr, event, &context, &cursor, i, false);
        }
    }
    w->endContainer(w);
}

bool writesProcessSections(const CRCrashEventContext* event) {
    return event->crashType != CRCrashMonitorTypeUserReported || event->logAllThreads;
}

void writeUserSection(const CRReportWriter* w, const CRCrashEventContext* event) {
    CRJSONEncoder* encoder = enc(w);
    int level = encoder->containerLevel;
    const char* json = gUserInfoJSON;
    if (json) {
        int result = crjson_addJSONElement(encoder, "user", json, int(std::strlen(json)), false);
        // What the text opened beyond "user" itself is closed; "user" stays open.
        while (encoder->containerLevel > level + 1) (void)crjson_endContainer(encoder);
        if (encoder->containerLevel == level) (void)crjson_beginObject(encoder, "user");
        if (result != CRJSON_OK) {
            char error[100];
            std::snprintf(error, sizeof error, "Invalid JSON data: %s", crjson_stringForError(result));
            w->addStringElement(w, "error", error);
            w->addStringElement(w, "json_data", json);
        }
    } else {
        w->beginObject(w, "user");
    }
    flush(static_cast<WriterContext*>(w->context));
    CRReportWriteCallback callback = gUserSectionCallback.load();
    if (callback && !event->currentSnapshotUserReported) callback(w);
    while (encoder->containerLevel > level) (void)crjson_endContainer(encoder);
}

void writeDebugInfo(const CRReportWriter* w, const CRCrashEventContext* event) {
    w->beginObject(w, "debug");
    if (event->consoleLogPath) w->addTextFileLinesElement(w, "console_log", event->consoleLogPath);
    w->endContainer(w);
}

void writeStandard(const CRCrashEventContext* event, int fd) {
    char buffer[kFileBufferSize];
    WriterContext context;
    context.file = CRBufferedWriter{buffer, kFileBufferSize, 0, fd};
    CRReportWriter writer;
    prepareWriter(&writer, &context);
    const CRReportWriter* w = &writer;

    crccd_freeze();
    crjson_beginEncode(&context.encoder, true, addJSONData, &context.file);
    w->beginObject(w, nullptr);
    writeReportInfo(w, "standard", event);
    flush(&context);
    if (writesProcessSections(event)) {
        writeBinaryImages(w);
        flush(&context);
        writeProcessState(w, event);
        flush(&context);
    }
    writeSystemInfo(w, event);
    flush(&context);
    w->beginObject(w, "crash");
    writeError(w, event);
    flush(&context);
    if (writesProcessSections(event)) writeAllThreads(w, event, gIntrospectMemory.load());
    flush(&context);
    w->endContainer(w);
    flush(&context);
    writeUserSection(w, event);
    flush(&context);
    writeDebugInfo(w, event);
    (void)crjson_endEncode(&context.encoder);
    crfu_closeBufferedWriter(&context.file);
    crccd_unfreeze();
}

}  // namespace

extern "C" {

void crcrashreport_prepare(void) {
    if (!gEmbedWindow) gEmbedWindow = static_cast<char*>(std::malloc(kEmbedBufferSize));
    if (!gEmbedStrings) gEmbedStrings = static_cast<char*>(std::malloc(kEmbedBufferSize));
}

void crcrashreport_writeStandardReport(const CRCrashEventContext* event, const char* path) {
    int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return;
    writeStandard(event, fd);
}

void crcrashreport_writeStandardReportToDescriptor(const CRCrashEventContext* event, int fd) {
    if (fd < 0) return;
    writeStandard(event, fd);
}

void crcrashreport_writeRecrashReport(const CRCrashEventContext* event, const char* path) {
    char oldPath[kPathLength];
    size_t length = std::strlen(path);
    if (length > 490) length = 490;
    std::memcpy(oldPath, path, length);
    oldPath[length] = '\0';
    bool haveOld = false;
    if (length >= 5 && std::strcmp(oldPath + length - 5, ".json") == 0) {
        std::memcpy(oldPath + length - 5, ".old", 5);
        haveOld = rename(path, oldPath) == 0;
    }

    char buffer[kFileBufferSize];
    WriterContext context;
    if (!crfu_openBufferedWriter(&context.file, path, buffer, kFileBufferSize)) return;
    CRReportWriter writer;
    prepareWriter(&writer, &context);
    const CRReportWriter* w = &writer;
    crccd_freeze();
    crjson_beginEncode(&context.encoder, true, addJSONData, &context.file);
    w->beginObject(w, nullptr);
    if (haveOld) {
        char smallWindow[1000];
        char smallStrings[500];
        bool reserved = gEmbedWindow && gEmbedStrings;
        (void)crjson_addJSONFromFileWithBuffers(&context.encoder, "recrash_report", oldPath, true,
                                                reserved ? gEmbedWindow : smallWindow,
                                                reserved ? kEmbedBufferSize : int(sizeof smallWindow),
                                                reserved ? gEmbedStrings : smallStrings,
                                                reserved ? kEmbedBufferSize : int(sizeof smallStrings));
        flush(&context);
        crfu_removeFile(oldPath, false);
    }
    writeReportInfo(w, "minimal", event);
    flush(&context);
    w->beginObject(w, "crash");
    writeError(w, event);
    flush(&context);
    if (const CRMachineContext* crashed = event->offendingMachineContext) {
        int index = crmc_indexOfThread(crashed, crmc_getThreadFromContext(crashed));
        writeThread(w, "crashed_thread", event, crashed, event->stackCursor, index, false);
    }
    w->endContainer(w);
    (void)crjson_endEncode(&context.encoder);
    crfu_closeBufferedWriter(&context.file);
    crccd_unfreeze();
}

void crcrashreport_setUserInfoJSON(const char* userInfoJSON) {
    char* copy = userInfoJSON ? strdup(userInfoJSON) : nullptr;
    char* previous;
    {
        std::lock_guard lock(gUserInfoMutex);
        previous = gUserInfoJSON;
        gUserInfoJSON = copy;
    }
    std::free(previous);
}

void crcrashreport_setIntrospectMemory(bool shouldIntrospectMemory) { gIntrospectMemory.store(shouldIntrospectMemory); }

void crcrashreport_setDoNotIntrospectClasses(const char** classes, int length) {
    char** previous = gDoNotIntrospect;
    int previousCount = gDoNotIntrospectCount;
    char** copy = nullptr;
    int count = 0;
    if (classes && length > 0) {
        copy = static_cast<char**>(std::calloc(size_t(length), sizeof(char*)));
        if (copy) {
            for (int i = 0; i < length; ++i) copy[i] = classes[i] ? strdup(classes[i]) : nullptr;
            count = length;
        }
    }
    gDoNotIntrospect = copy;
    gDoNotIntrospectCount = count;
    for (int i = 0; i < previousCount; ++i) std::free(previous[i]);
    std::free(previous);
}

void crcrashreport_setUserSectionWriteCallback(CRReportWriteCallback callback) { gUserSectionCallback.store(callback); }

}  // extern "C"
