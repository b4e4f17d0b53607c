#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include <crash_core/CRReportStore.h>
#include <crash_reporting/ZPKCRJSONCodec.h>
#include <crash_reporting/ZUDDeepKeyPath.h>
#include <crash_reporting/ZUDMobiConfig.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_foundation/NSTimeZone.h>

namespace {

// C formatting of numbers and plain texts (the "%@" parts go through describe()).
std::string cformat(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string cformat(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

// "%@" of a value: texts unchanged, numbers in decimal, a missing value "(null)". The common
// kinds are written directly; the rest go through the platform's formatting.
std::string describe(const Value& value) {
    switch (value.type()) {
        case Value::Type::String: return value.asStdString();
        case Value::Type::Int: return std::to_string(value.asInt());
        case Value::Type::UInt: return std::to_string(value.asUInt());
        case Value::Type::Null: return "(null)";
        default: return NSStringWithFormat("%@", value);
    }
}

// "%d" / "%lu" of a number, appended.
void appendDecimal(std::string& out, uint64_t value) {
    char digits[24];
    char* p = digits + sizeof digits;
    do *--p = static_cast<char>('0' + value % 10), value /= 10;
    while (value);
    out.append(p, digits + sizeof digits);
}

void appendDecimal(std::string& out, int value) {
    if (value < 0) {
        out += '-';
        appendDecimal(out, 0 - static_cast<uint64_t>(static_cast<int64_t>(value)));
        return;
    }
    appendDecimal(out, static_cast<uint64_t>(value));
}

// "%#18lx": "0x" and the digits (zero alone as "0"), right-aligned in 18 columns.
void appendAlternateHex18(std::string& out, uint64_t value) {
    static const char kHex[] = "0123456789abcdef";
    char text[18];
    char* end = text + sizeof text;
    char* p = end;
    do *--p = kHex[value & 15], value >>= 4;
    while (value);
    if (end - p > 1 || *p != '0') *--p = 'x', *--p = '0';
    while (p > text) *--p = ' ';
    out.append(text, sizeof text);
}

// One line of text collected in a fixed buffer and appended to the whole text in one piece
// (a piece longer than the buffer goes straight through).
class LineWriter {
public:
    explicit LineWriter(std::string& out) : out_(out), start_(out.size()) {}
    void put(std::string_view text) {
        if (used_ + text.size() > sizeof buffer_) {
            flush();
            if (text.size() > sizeof buffer_) {
                out_.append(text);
                return;
            }
        }
        std::memcpy(buffer_ + used_, text.data(), text.size());
        used_ += text.size();
    }
    void spaces(std::size_t count) {
        while (count > 0) {
            if (used_ == sizeof buffer_) flush();
            std::size_t piece = std::min(count, sizeof buffer_ - used_);
            std::memset(buffer_ + used_, ' ', piece);
            used_ += piece;
            count -= piece;
        }
    }
    void decimal(uint64_t value) {
        char digits[24];
        char* end = digits + sizeof digits;
        char* p = end;
        do *--p = static_cast<char>('0' + value % 10), value /= 10;
        while (value);
        put(std::string_view(p, static_cast<std::size_t>(end - p)));
    }
    // "%0*lx" (width 0: "%lx"), width at most 16.
    void hex(uint64_t value, int width) {
        static const char kHex[] = "0123456789abcdef";
        char digits[16];
        char* end = digits + sizeof digits;
        char* p = end;
        do *--p = kHex[value & 15], value >>= 4;
        while (value);
        while (end - p < width) *--p = '0';
        put(std::string_view(p, static_cast<std::size_t>(end - p)));
    }
    // Bytes of the line so far.
    std::size_t length() const { return out_.size() - start_ + used_; }
    void finish() { flush(); }
    void discard() {
        used_ = 0;
        out_.resize(start_);
    }

private:
    void flush() {
        out_.append(buffer_, used_);
        used_ = 0;
    }
    std::string& out_;
    const std::size_t start_;
    char buffer_[256];
    std::size_t used_ = 0;
};

// Length in UTF-16 units of UTF-8 text: one per sequence, two for the four-byte ones.
std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++units;
        if (c >= 0xF0) ++units;
    }
    return units;
}

const Value& at(const Value& container, const char* key) { return container.objectForKey(Value(key)); }

bool present(const Value& value) { return !value.isNull(); }

// Texts and numbers as the platform's integer conversions read them.
uint64_t u64(const Value& value) { return static_cast<uint64_t>(value.integerValue()); }

// The last component of a path held as text.
std::string_view lastPathComponentOf(std::string_view text) {
    while (text.size() > 1 && text.back() == '/') text.remove_suffix(1);
    auto slash = text.rfind('/');
    return slash == std::string_view::npos || text.size() == 1 ? text : text.substr(slash + 1);
}

std::string lastPathComponent(const Value& path) {
    if (!path.isString()) return describe(path);
    return std::string(lastPathComponentOf(path.asString()));
}

const std::map<std::string, std::vector<std::string>>& registerOrders() {
    static const auto* orders = [] {
        auto* table = new std::map<std::string, std::vector<std::string>>;
        std::vector<std::string> arm = {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8",
                                        "r9", "r10", "r11", "ip", "sp", "lr", "pc", "cpsr"};
        std::vector<std::string> x86 = {"eax", "ebx", "ecx", "edx", "edi", "esi", "ebp", "esp",
                                        "ss", "eflags", "eip", "cs", "ds", "es", "fs", "gs"};
        std::vector<std::string> x86_64 = {"rax", "rbx", "rcx", "rdx", "rdi", "rsi", "rbp",
                                           "rsp", "r8",  "r9",  "r10", "r11", "r12", "r13",
                                           "r14", "r15", "rip", "rflags", "cs", "fs", "gs"};
        for (const char* name : {"arm", "armv6", "armv7", "armv7f", "armv7k", "armv7s"}) (*table)[name] = arm;
        for (const char* name : {"x86", "i386", "i486", "i686"}) (*table)[name] = x86;
        (*table)["x86_64"] = x86_64;
        return table;
    }();
    return *orders;
}

struct Formatters {
    NSDateFormatter display;
    NSDateFormatter timestamp;
    Formatters() {
        display.setDateFormat("yyyy-MM-dd HH:mm:ss.SSS ZZZ");
        display.setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"));
        display.setTimeZone(NSTimeZone::localTimeZone());
        timestamp.setDateFormat("yyyy'-'MM'-'dd'T'HH':'mm':'ss'.'SSSSSS'Z'");
        timestamp.setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"));
        timestamp.setTimeZone(NSTimeZone::timeZoneForSecondsFromGMT(0));
    }
};

Formatters& formatters() {
    static Formatters* shared = new Formatters;
    return *shared;
}

Value zudConfigOf(const Value& report) { return zud_objectForKeyPath(report, "user/ZUDConfig"); }

}  // namespace

std::shared_ptr<ZUDCrashReportFilterAppleFmt> ZUDCrashReportFilterAppleFmt::filterWithReportStyle(int32_t style) {
    return std::make_shared<ZUDCrashReportFilterAppleFmt>(style);
}

void ZUDCrashReportFilterAppleFmt::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    Value output = Value::mutableArray();
    for (const auto& report : reports.asArray()) {
        if (majorVersion(report) != 3) continue;
        std::string text = toAppleFormat(report);
        Value entry = Value::mutableDictionary();
        entry.setObject(report, Value("report"));
        entry.setObject(Value(std::move(text)), Value("appleReport"));
        output.addObject(entry);
    }
    crcrash_callCompletion(onCompletion, output, true, nullptr);
}

// --- lookups -------------------------------------------------------------------------------

int64_t ZUDCrashReportFilterAppleFmt::majorVersion(const Value& report) {
    Value version = at(infoReport(report), "version");
    if (version.isDictionary()) version = at(version, "major");
    if (version.isNumber()) return version.integerValue();
    if (version.isString()) return version.integerValue();
    return 0;
}

Value ZUDCrashReportFilterAppleFmt::crashedThread(const Value& report) {
    const Value& crash = crashReport(report);
    const Value& threads = at(crash, "threads");
    for (const auto& thread : threads.asArray())
        if (at(thread, "crashed").boolValue()) return thread;
    return at(crash, "crashed_thread");
}

Value ZUDCrashReportFilterAppleFmt::mainExecutableNameForReport(const Value& report) {
    return at(infoReport(report), "process_name");
}

std::string ZUDCrashReportFilterAppleFmt::cpuArchForReport(const Value& report) {
    const Value& system = systemReport(report);
    return CPUArchForMajor(at(system, "binary_cpu_type").intValue(), at(system, "binary_cpu_subtype").intValue());
}

bool ZUDCrashReportFilterAppleFmt::isZombieNSException(const Value& report) {
    const Value& error = at(crashReport(report), "error");
    const Value& mach = at(error, "mach");
    if (at(mach, "exception_name") != Value("EXC_BAD_ACCESS")) return false;
    if (at(mach, "code_name") != Value("KERN_INVALID_ADDRESS")) return false;
    const Value& exception = at(processReport(report), "last_dealloced_nsexception");
    if (!present(exception)) return false;
    uint64_t address = u64(at(exception, "address"));
    const Value& registers = at(at(crashedThread(report), "registers"), "basic");
    if (!registers.isDictionary()) return false;
    for (const auto& [name, value] : registers.asDictionary())
        if (value.isNumber() && u64(value) == address) return true;
    return false;
}

// --- helpers -------------------------------------------------------------------------------

std::string ZUDCrashReportFilterAppleFmt::CPUType(const Value& cpuArch) {
    if (!cpuArch.isString()) return "ARM-64";
    std::string_view arch = cpuArch.asString();
    if (arch.starts_with("arm64")) return "ARM-64";
    if (arch.starts_with("arm")) return "ARM";
    if (arch == "x86") return "X86";
    if (arch == "x86_64") return "X86_64";
    return "Unknown";
}

std::string ZUDCrashReportFilterAppleFmt::CPUArchForMajor(int32_t cpuType, int32_t cpuSubtype) {
    switch (cpuType) {
        case 7: return "i386";
        case 12:
            switch (cpuSubtype) {
                case 6: return "armv6";
                case 9: return "armv7";
                case 10: return "armv7f";
                case 11: return "armv7s";
                case 12: return "armv7k";
                default: return "arm";
            }
        case 0x1000007: return "x86_64";
        case 0x100000C: return cpuSubtype == 2 ? "arm64e" : "arm64";
        default: return cformat("unknown(%d,%d)", cpuType, cpuSubtype);
    }
}

std::string ZUDCrashReportFilterAppleFmt::toCompactUUID(const Value& uuid) {
    if (!uuid.isString()) return describe(uuid);
    std::string compact;
    for (char c : uuid.asString())
        if (c != '-') compact += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return compact;
}

std::string ZUDCrashReportFilterAppleFmt::stringFromDate(const NSDate& date) {
    return formatters().display.stringFromDate(date);
}

std::optional<NSDate> ZUDCrashReportFilterAppleFmt::dateFromTimestamp(const Value& timestamp) {
    if (!timestamp.isString()) return std::nullopt;
    return formatters().timestamp.dateFromString(timestamp.asStdString());
}

std::string ZUDCrashReportFilterAppleFmt::JSONForObject(const Value& object) {
    NSErrorPtr error;
    auto data = ZPKCRJSONCodec::encode(object, ZPKCRJSONEncodeOptionPretty | ZPKCRJSONEncodeOptionSorted, &error);
    if (!data) return NSStringWithFormat("Error encoding JSON: %@", error);
    return std::string(data->begin(), data->end());
}

// --- whole text ----------------------------------------------------------------------------

std::string ZUDCrashReportFilterAppleFmt::toAppleFormat(const Value& report) const {
    std::string text;
    Value recrash = recrashReport(report);
    if (present(recrash)) {
        text = crashReportString(recrash) + recrashReportString(report);
    } else {
        text = crashReportString(report);
    }
    const Value& reportID = at(report, "report_id");
    if (reportID.isNumber()) {
        char* path = crcrs_getReportExtFilePath(reportID.integerValue());
        if (path) {
            std::string sidePath = path;
            std::free(path);
            if (NSFileManager::defaultManager()->fileExistsAtPath(sidePath)) {
                if (auto side = NSDataFile::stringWithContentsOfFile(sidePath))
                    text += "\nExt User Info:\n" + *side;
            }
        }
    }
    if (ZUDMobiConfig::sharedInstance()->enableDebugLog()) {
        ZUDReporterLog("[Reporter]-----------------last crash log start---------------------");
        ZUDReporterLog(text);
        ZUDReporterLog("[Reporter]-----------------last crash log end---------------------");
    }
    return text;
}

std::string ZUDCrashReportFilterAppleFmt::crashReportString(const Value& report) const {
    Value mainExecutable = mainExecutableNameForReport(report);
    std::string text = headerStringForReport(report);
    text += errorInfoStringForReport(report);
    appendThreadList(text, report, mainExecutable);
    text += crashedThreadCPUStateStringForReport(report, cpuArchForReport(report));
    text += binaryImagesStringForReport(report);
    text += memoryStringForReport(report);
    text += storageStringForReport(report);
    text += extraInfoStringForReport(report, mainExecutable);
    text += ucUserActionStringForReport(report);
    text += customUserInfoStringForReport(report);
    text += customCrashInfoStringForReport(report);
    return text;
}

std::string ZUDCrashReportFilterAppleFmt::recrashReportString(const Value& report) const {
    Value embedded = recrashReport(report);
    std::string text = "\nHandler crashed while reporting:\n";
    text += errorInfoStringForReport(report);
    const Value& crash = crashReport(report);
    Value mainExecutable(lastPathComponent(at(systemReport(embedded), "CFBundleExecutablePath")));
    text += threadStringForThread(at(crash, "crashed_thread"), mainExecutable);
    text += crashedThreadCPUStateStringForReport(report, cpuArchForReport(embedded));
    const Value& diagnosis = at(crash, "diagnosis");
    if (present(diagnosis)) text += "\nRecrash Diagnosis: " + describe(diagnosis);
    return text;
}

// --- header --------------------------------------------------------------------------------

std::string ZUDCrashReportFilterAppleFmt::headerStringForReport(const Value& report) const {
    const Value& system = systemReport(report);
    const Value& info = infoReport(report);
    std::string crashTime = "(null)";
    if (auto date = dateFromTimestamp(at(info, "timestamp"))) crashTime = stringFromDate(*date);
    return headerStringForSystemInfo(system, at(info, "id"), crashTime, report, zudConfigOf(report));
}

std::string ZUDCrashReportFilterAppleFmt::headerStringForSystemInfo(const Value& system, const Value& reportID,
                                                                    const std::string& crashTime,
                                                                    const Value& report,
                                                                    const Value& zudConfig) const {
    std::string text;
    const Value& channel = at(zudConfig, "appChannel");
    if (channel.isString() && !channel.asString().empty())
        text += "ExtraInfo:           {\"subVer\":\"" + describe(channel) + "\"}\n";
    text += "Incident Identifier: " + describe(reportID) + "\n";
    text += "CrashReporter Key:   " + describe(at(system, "device_app_hash")) + "\n";
    text += "Hardware Model:      " + describe(at(system, "machine")) + "\n";
    text += "Process:         " + describe(at(system, "process_name")) + " [" + describe(at(system, "process_id")) +
            "]\n";
    text += "Path:            " + describe(at(system, "CFBundleExecutablePath")) + "\n";
    text += "Identifier:      " + describe(at(system, "CFBundleIdentifier")) + "\n";
    const Value& appVersion = at(zudConfig, "appVersion");
    bool ownVersion = appVersion.isString() && !appVersion.asString().empty();
    text += "Version:         " + describe(ownVersion ? appVersion : at(system, "CFBundleShortVersionString")) + "\n";
    text += "BundleVersion:    " + describe(at(system, "CFBundleVersion")) + "\n";
    const Value& kitVersion = at(zudConfig, "k_crash_ver");
    if (present(kitVersion)) text += "k_crash_ver:    " + describe(kitVersion) + "\n";
    const Value& error = at(crashReport(report), "error");
    if (at(error, "type") == Value("user")) {
        const Value& name = at(at(error, "user_reported"), "name");
        text += std::string("k_ct:    ") + (name == Value("block") ? "block" : "exception") + "\n";
        text += "k_ac:    " + describe(name) + "\n";
    }
    const Value& extVersion = at(system, "APPEXT_CFBundleShortVersionString");
    if (present(extVersion)) text += "App Extension Version:         " + describe(extVersion) + "\n";
    const Value& extBundleVersion = at(system, "APPEXT_CFBundleVersion");
    if (present(extBundleVersion)) text += "App Extension BundleVersion:    " + describe(extBundleVersion) + "\n";
    if (present(zudConfig)) text += customHeaderStringForReport(report);
    text += "Code Type:       " + CPUType(at(system, "cpu_arch")) + "\n";
    text += "Parent Process:  ? [" + describe(at(system, "parent_process_id")) + "]\n";
    text += "\n";
    text += "Date/Time:       " + crashTime + "\n";
    text += "OS Version:      " + describe(at(system, "system_name")) + " " + describe(at(system, "system_version")) +
            " (" + describe(at(system, "os_version")) + ")\n";
    text += "Report Version:  104\n";
    return text;
}

std::string ZUDCrashReportFilterAppleFmt::customHeaderStringForReport(const Value& report) const {
    static const std::pair<const char*, const char*> lines[] = {
        {"SN:       ", "sn"},          {"UDID:      ", "deviceUDID"},      {"Zdid:     ", "zdid"},
        {"URL:       ", "ZC_URL"},     {"DownloadBg:       ", "ZC_DownloadBg"}, {"Extra:       ", "ZC_Extra"},
        {"ExtraInfo:       ", "ZC_ExtraInfo"},
    };
    Value config = zudConfigOf(report);
    std::string text;
    for (const auto& [label, key] : lines) {
        const Value& value = at(config, key);
        if (present(value)) text += label + describe(value) + "\n";
    }
    return text;
}

// --- error information ---------------------------------------------------------------------

std::string ZUDCrashReportFilterAppleFmt::stringWithUncaughtExceptionName(const Value& name, const Value& reason) {
    return "\nApplication Specific Information:\n*** Terminating app due to uncaught exception '" + describe(name) +
           "', reason: '" + describe(reason) + "'\n";
}

std::string ZUDCrashReportFilterAppleFmt::stringWithUncaughtExceptionName(const Value& name, const Value& reason,
                                                                          bool terminateProgram) {
    return std::string("\nApplication Specific Information:\n*** ") +
           (terminateProgram ? "Terminating app due to " : "") + "uncaught exception '" + describe(name) +
           "', reason: '" + describe(reason) + "'\n";
}

std::string ZUDCrashReportFilterAppleFmt::userExceptionTrace(const Value& userReported) const {
    std::string trace;
    const Value& line = at(userReported, "line_of_code");
    if (present(line)) trace += "Line: " + describe(line) + "\n";
    for (const auto& entry : at(userReported, "backtrace").asArray()) trace += describe(entry) + "\n";
    if (trace.empty()) return trace;
    return "Custom Backtrace:\n" + trace;
}

std::string ZUDCrashReportFilterAppleFmt::errorInfoStringForReport(const Value& report) const {
    const Value& error = at(crashReport(report), "error");
    Value thread = crashedThread(report);
    std::string text = "\n";
    const Value& type = at(error, "type");
    if (type.isString() && !type.asString().empty()) text += "Exception Category: " + describe(type) + "\n";

    const Value& mach = at(error, "mach");
    const Value& machNameValue = at(mach, "exception_name");
    std::string machName = present(machNameValue) ? describe(machNameValue) : "0";
    const Value& signal = at(error, "signal");
    std::optional<std::string> signalName;
    if (present(at(signal, "name")))
        signalName = describe(at(signal, "name"));
    else if (present(signal))
        signalName = describe(at(signal, "signal"));
    if (machName == "0" && signalName == "0") {
        text += "Exception Type:  ZCFakeCrash\n";
        text += "Exception Codes: ZC_CUSTOM at 0x0\n";
    } else {
        text += "Exception Type:  " + machName + " (" + signalName.value_or("(null)") + ")\n";
        const Value& codeName = at(mach, "code_name");
        text += "Exception Codes: " + (present(codeName) ? describe(codeName) : std::string("0x00000000")) +
                cformat(" at 0x%016lx\n", static_cast<unsigned long>(u64(at(error, "address"))));
    }
    text += cformat("Crashed Thread:  %d\n", at(thread, "index").intValue());

    const Value& nsexception = at(error, "nsexception");
    const Value& userReported = at(error, "user_reported");
    if (present(nsexception)) {
        text += stringWithUncaughtExceptionName(at(nsexception, "name"), at(error, "reason"));
    } else if (isZombieNSException(report)) {
        const Value& last = at(processReport(report), "last_dealloced_nsexception");
        text += stringWithUncaughtExceptionName(at(last, "name"), at(last, "reason"));
        text += "NOTE: This exception has been deallocated! Stack trace is crash from attempting to access this "
                "zombie exception.\n";
    } else if (present(userReported)) {
        text += stringWithUncaughtExceptionName(at(userReported, "name"), at(error, "reason"),
                                                at(userReported, "terminate_programe").boolValue());
        std::string trace = userExceptionTrace(userReported);
        if (!trace.empty()) text += "\n" + trace + "\n";
    } else if (type == Value("cpp_exception")) {
        text += stringWithUncaughtExceptionName(at(at(error, "cpp_exception"), "name"), at(error, "reason"));
    }
    if (type == Value("deadlock")) text += "\nApplication main thread deadlocked\n";
    return text;
}

// --- threads -------------------------------------------------------------------------------

std::string ZUDCrashReportFilterAppleFmt::threadListStringForReport(const Value& report,
                                                                    const Value& mainExecutableName) const {
    std::string text;
    appendThreadList(text, report, mainExecutableName);
    return text;
}

void ZUDCrashReportFilterAppleFmt::appendThreadList(std::string& text, const Value& report,
                                                   const Value& mainExecutableName) const {
    const Value& threads = at(crashReport(report), "threads");
    // Room for lines of about a hundred bytes, twenty per thread.
    text.reserve(text.size() + threads.count() * 2048);
    for (const auto& thread : threads.asArray())
        if (thread.isDictionary()) appendThread(text, thread, mainExecutableName);
    const Value& extError = at(report, "app_ext_error");
    if (present(extError)) text += "\nThread 0 Crashed:\n" + describe(extError) + "\n";
}

std::string ZUDCrashReportFilterAppleFmt::threadStringForThread(const Value& thread,
                                                                const Value& mainExecutableName) const {
    std::string text;
    appendThread(text, thread, mainExecutableName);
    return text;
}

void ZUDCrashReportFilterAppleFmt::appendThread(std::string& text, const Value& thread,
                                               const Value& mainExecutableName) const {
    int index = at(thread, "index").intValue();
    text += "\n";
    const Value& name = at(thread, "name");
    const Value& queue = at(thread, "dispatch_queue");
    if (present(name))
        text += cformat("Thread %d name:  ", index) + describe(name) + "\n";
    else if (present(queue))
        text += cformat("Thread %d name:  Dispatch queue: ", index) + describe(queue) + "\n";
    text += "Thread ";
    appendDecimal(text, index);
    text += at(thread, "crashed").boolValue() ? " Crashed:\n" : ":\n";
    appendBacktrace(text, at(thread, "backtrace"), reportStyle_, mainExecutableName);
}

std::string ZUDCrashReportFilterAppleFmt::backtraceString(const Value& backtrace, int32_t reportStyle,
                                                          const Value& mainExecutableName) const {
    std::string text;
    appendBacktrace(text, backtrace, reportStyle, mainExecutableName);
    return text;
}

void ZUDCrashReportFilterAppleFmt::appendBacktrace(std::string& text, const Value& backtrace, int32_t reportStyle,
                                                  const Value& mainExecutableName) const {
    int n = 0;
    for (const auto& frame : at(backtrace, "contents").asArray()) {
        // One pass over the frame's fields instead of a lookup per field.
        static const Value kAbsent;
        const Value* pcValue = &kAbsent;
        const Value* objectAddressValue = pcValue;
        const Value* symbolAddressValue = pcValue;
        const Value* objectName = pcValue;
        const Value* symbolValue = pcValue;
        if (frame.isDictionary()) {
            for (const auto& [key, value] : frame.asDictionary()) {
                if (!key.isString()) continue;
                std::string_view name = key.asString();
                if (name == "instruction_addr") pcValue = &value;
                else if (name == "object_addr") objectAddressValue = &value;
                else if (name == "symbol_addr") symbolAddressValue = &value;
                else if (name == "object_name") objectName = &value;
                else if (name == "symbol_name") symbolValue = &value;
            }
        }
        uint64_t pc = u64(*pcValue);
        uint64_t objectAddress = u64(*objectAddressValue);
        uint64_t symbolAddress = u64(*symbolAddressValue);
        // The image: the last component of a path, another value's text, "(null)" when absent.
        std::string imageOwned;
        std::string_view imageText;
        if (objectName->isString()) {
            imageText = lastPathComponentOf(objectName->asString());
        } else {
            imageOwned = describe(*objectName);
            imageText = imageOwned;
        }
        const Value& symbol = *symbolValue;

        int32_t style = reportStyle;
        if (style == 1)
            style = (mainExecutableName.isString() && present(*objectName) &&
                     imageText == mainExecutableName.asString())
                        ? 0
                        : 3;

        // "%-4d", the image name padded to 35 UTF-16 units (never cut), " 0x%016lx".
        LineWriter line(text);
        line.decimal(static_cast<uint64_t>(n));
        if (line.length() < 4) line.spaces(4 - line.length());
        std::size_t units = utf16Length(imageText);
        line.put(imageText);
        if (units < 35) line.spaces(35 - units);
        line.put(" 0x");
        line.hex(pc, 16);

        bool symbolic = symbol.isString();
        auto appendPlain = [&] {
            line.put(" 0x");
            line.hex(objectAddress, 0);
            line.put(" + ");
            line.decimal(pc - objectAddress);
        };
        auto appendSymbol = [&] {
            if (symbolic) line.put(symbol.asString());
            else line.put(describe(symbol));
            line.put(" + ");
            line.decimal(pc - symbolAddress);
        };
        switch (style) {
            case 0:
            case 1: appendPlain(); break;
            case 2:
                appendPlain();
                if (symbolic) {
                    line.put(" (");
                    appendSymbol();
                    line.put(")");
                }
                break;
            case 3:
                if (symbolic && symbol.asString() != "<redacted>") {
                    line.put(" ");
                    appendSymbol();
                } else {
                    appendPlain();
                }
                break;
            default:
                line.discard();  // no line for an unknown style
                ++n;
                continue;
        }
        line.put("\n");
        line.finish();
        ++n;
    }
}

std::string ZUDCrashReportFilterAppleFmt::crashedThreadCPUStateStringForReport(const Value& report,
                                                                               const std::string& cpuArch) const {
    Value thread = crashedThread(report);
    if (!present(thread)) return {};
    std::string text = cformat("\nThread %d crashed with ", at(thread, "index").intValue()) + CPUType(Value(cpuArch)) +
                       " Thread State:\n";
    const Value& registers = at(at(thread, "registers"), "basic");
    std::vector<std::string> order;
    auto known = registerOrders().find(cpuArch);
    if (known != registerOrders().end()) {
        order = known->second;
    } else {
        for (const auto& [name, value] : registers.asDictionary()) order.push_back(name.stringValue());
        std::sort(order.begin(), order.end());
    }
    std::size_t column = 0;
    for (const auto& name : order) {
        text += cformat("%6s: 0x%016lx ", name.c_str(),
                        static_cast<unsigned long>(u64(registers.objectForKey(Value(name)))));
        if (++column == 4) {
            text += "\n";
            column = 0;
        }
    }
    if (column != 0) text += "\n";
    return text;
}

// --- images, memory, storage ---------------------------------------------------------------

std::string ZUDCrashReportFilterAppleFmt::binaryImagesStringForReport(const Value& report) const {
    const Value& images = binaryImagesReport(report);
    if (!present(images)) return {};
    // Each image's address read once; an image without one keeps its place against any other.
    struct Entry {
        const Value* image;
        bool hasAddress;
        uint64_t address;
    };
    std::vector<Entry> sorted;
    sorted.reserve(images.count());
    for (const auto& image : images.asArray()) {
        const Value& address = at(image, "image_addr");
        sorted.push_back({&image, present(address), present(address) ? u64(address) : 0});
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) {
        if (!a.hasAddress || !b.hasAddress) return false;
        return a.address < b.address;
    });
    const Value& executablePath = at(systemReport(report), "CFBundleExecutablePath");
    std::string text = "\nBinary Images:\n";
    for (const auto& entry : sorted) {
        // One pass over the image's fields instead of a lookup per field.
        static const Value kAbsent;
        const Value* addressValue = &kAbsent;
        const Value* sizeValue = &kAbsent;
        const Value* nameValue = &kAbsent;
        const Value* cpuTypeValue = &kAbsent;
        const Value* cpuSubtypeValue = &kAbsent;
        const Value* uuidValue = &kAbsent;
        if (entry.image->isDictionary()) {
            for (const auto& [key, value] : entry.image->asDictionary()) {
                if (!key.isString()) continue;
                std::string_view field = key.asString();
                if (field == "image_addr") addressValue = &value;
                else if (field == "image_size") sizeValue = &value;
                else if (field == "name") nameValue = &value;
                else if (field == "cpu_type") cpuTypeValue = &value;
                else if (field == "cpu_subtype") cpuSubtypeValue = &value;
                else if (field == "uuid") uuidValue = &value;
            }
        }
        uint64_t address = u64(*addressValue);
        uint64_t size = u64(*sizeValue);
        const Value& name = *nameValue;
        appendAlternateHex18(text, address);
        text += " - ";
        appendAlternateHex18(text, address + size - 1);
        text += ' ';
        text += (present(name) && name == executablePath) ? "+" : " ";
        if (name.isString()) text += lastPathComponentOf(name.asString());
        else text += describe(name);
        text += ' ';
        text += CPUArchForMajor(cpuTypeValue->intValue(), cpuSubtypeValue->intValue());
        text += "  <";
        text += toCompactUUID(*uuidValue);
        text += "> ";
        if (name.isString()) text += name.asString();
        else text += describe(name);
        text += '\n';
    }
    return text;
}

std::string ZUDCrashReportFilterAppleFmt::memoryStringForReport(const Value& report) const {
    const Value& memory = at(systemReport(report), "memory");
    if (!present(memory) || memory.count() == 0) return {};
    return "\nMemory Status(bytes):\nsize: " + describe(at(memory, "size")) + "\nfree: " + describe(at(memory, "free")) +
           "\nusable: " + describe(at(memory, "usable")) + "\n";
}

std::string ZUDCrashReportFilterAppleFmt::storageStringForReport(const Value& report) const {
    const Value& system = systemReport(report);
    return "\nStorage Status(bytes):\nsize: " + describe(at(system, "storage")) +
           "\nfree: " + describe(at(system, "free_storage")) + "\n";
}

// --- extra information and the kit's sections ----------------------------------------------

std::string ZUDCrashReportFilterAppleFmt::extraInfoStringForReport(const Value& report,
                                                                   const Value& mainExecutableName) const {
    std::string text = "\nExtra Information:\n";
    const Value& crash = crashReport(report);
    const Value& error = at(crash, "error");
    const Value& referenced = at(at(error, "nsexception"), "referenced_object");
    if (present(referenced)) text += "Object referenced by NSException:\n" + JSONForObject(referenced) + "\n";

    Value thread = crashedThread(report);
    if (present(thread)) {
        const Value& stack = at(thread, "stack");
        if (present(stack)) {
            const Value& start = at(stack, "dump_start");
            const Value& end = at(stack, "dump_end");
            text += cformat("\nStack Dump (0x%016lx-0x%016lx):\n\n",
                            static_cast<unsigned long>(start.isNumber() ? u64(start) : 0),
                            static_cast<unsigned long>(end.isNumber() ? u64(end) : 0)) +
                    describe(at(stack, "contents")) + "\n";
        }
        const Value& notable = at(thread, "notable_addresses");
        if (present(notable)) text += "\nNotable Addresses:\n" + JSONForObject(notable) + "\n";
    }

    const Value& last = at(processReport(report), "last_dealloced_nsexception");
    if (present(last)) {
        text += cformat("\nLast deallocated NSException (0x%016lx): ", static_cast<unsigned long>(u64(at(last, "address")))) +
                describe(at(last, "name")) + ": " + describe(at(last, "reason")) + "\n";
        const Value& lastReferenced = at(last, "referenced_object");
        if (present(lastReferenced)) text += "Referenced object:\n" + JSONForObject(lastReferenced) + "\n";
        text += backtraceString(at(last, "backtrace"), reportStyle_, mainExecutableName);
    }

    const Value& stats = at(systemReport(report), "application_stats");
    if (present(stats)) text += "\nApplication Stats:\n" + JSONForObject(stats) + "\n";
    const Value& diagnosis = at(crash, "diagnosis");
    if (present(diagnosis)) text += "\nCrash Diagnosis: " + describe(diagnosis) + "\n";
    return text;
}

std::string ZUDCrashReportFilterAppleFmt::ucUserActionStringForReport(const Value& report) const {
    const Value& action = at(zudConfigOf(report), "ZC_UserAction");
    if (!present(action)) return {};
    return "\nUser Action:       \n" + describe(action) + "\n";
}

std::string ZUDCrashReportFilterAppleFmt::customUserInfoStringForReport(const Value& report) const {
    Value info = zud_objectForKeyPath(report, "user/CustomUserInfo");
    if (!present(info)) return {};
    return "\nUser Info:       \n" + JSONForObject(info) + "\n";
}

std::string ZUDCrashReportFilterAppleFmt::customCrashInfoStringForReport(const Value& report) const {
    Value info = zud_objectForKeyPath(report, "user/CustomCrashInfo");
    if (!present(info)) return {};
    return "\nCustom Crash Info:       \n" + JSONForObject(info) + "\n";
}
