#include <crash_reporting/ZPKCRCrashDoctor.h>

#include <platform_runtime/NSException.h>
#include <platform_runtime/ValueClasses.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <dlfcn.h>

namespace {

// Reading a report the way the platform's containers answer: a missing step is nothing,
// but a value of the wrong kind receives a message it does not understand.
[[noreturn]] void unrecognized(const Value& receiver, const char* selector) {
    NSException::raise(NSInvalidArgumentException, "-[" + classForValue(receiver).name() + " " + selector +
                                                       "]: unrecognized selector sent to instance");
}

Value at(const Value& container, const char* key) {
    if (container.isNull()) return Value();
    if (!container.isDictionary()) unrecognized(container, "objectForKey:");
    return container.objectForKey(key);
}

const Value::Array& elements(const Value& container) {
    static const Value::Array none;
    if (container.isNull()) return none;
    if (!container.isArray()) unrecognized(container, "countByEnumeratingWithState:objects:count:");
    return container.asArray();
}

std::optional<std::string> text(const Value& value, const char* selector) {
    if (value.isNull()) return std::nullopt;
    if (!value.isString()) unrecognized(value, selector);
    return value.asStdString();
}

bool isString(const Value& value, const char* expected) {
    auto s = text(value, "isEqualToString:");
    return s && *s == expected;
}

bool boolOf(const Value& value) {
    if (value.isNull()) return false;
    if (!value.isNumber() && !value.isString()) unrecognized(value, "boolValue");
    return value.boolValue();
}

uint64_t addressOf(const Value& value) {
    if (value.isNull()) return 0;
    if (!value.isNumber() && !value.isString()) unrecognized(value, "unsignedLongLongValue");
    return value.unsignedLongLongValue();
}

// "%@" of a value: nothing prints as "(null)".
std::string object(const Value& value) { return value.isNull() ? "(null)" : value.description(); }
std::string object(const std::optional<std::string>& value) { return value ? *value : "(null)"; }

// "%p" as the platform prints it.
std::string pointer(uint64_t address) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%" PRIx64, address);
    return buffer;
}

bool contains(const std::string& haystack, const char* needle) { return haystack.find(needle) != std::string::npos; }

const std::vector<const char*>& parameterRegisters(ZPKCRCPUFamily family) {
    static const std::vector<const char*> none;
    static const std::vector<const char*> arm{"r0", "r1", "r2", "r3"};
    static const std::vector<const char*> x86{"edi", "esi", "edx", "ecx"};
    static const std::vector<const char*> x86_64{"rdi", "rsi", "rdx", "rcx"};
    switch (family) {
        case ZPKCRCPUFamilyArm: return arm;
        case ZPKCRCPUFamilyX86: return x86;
        case ZPKCRCPUFamilyX86_64: return x86_64;
        default: return none;
    }
}

std::vector<std::string> callStackSymbols(const NSException& exception) {
    std::vector<std::string> symbols;
    int index = 0;
    for (uintptr_t address : exception.callStackReturnAddresses()) {
        Dl_info info{};
        std::string image = "???", symbol = "???";
        uintptr_t offset = 0;
        if (dladdr(reinterpret_cast<void*>(address), &info)) {
            if (info.dli_fname) {
                image = info.dli_fname;
                image = image.substr(image.find_last_of('/') + 1);
            }
            if (info.dli_sname) {
                symbol = info.dli_sname;
                offset = address - reinterpret_cast<uintptr_t>(info.dli_saddr);
            }
        }
        char line[1024];
        std::snprintf(line, sizeof line, "%-4d%-35s 0x%016" PRIxPTR " %s + %" PRIuPTR, index++, image.c_str(), address,
                      symbol.c_str(), offset);
        symbols.emplace_back(line);
    }
    return symbols;
}

}  // namespace

// ---- function call ------------------------------------------------------------------------

namespace {

std::optional<std::string> messageSendDescription(const ZPKCRCrashDoctorFunctionCall& call) {
    if (call.name != "objc_msgSend") return std::nullopt;
    if (call.params.size() < 2)
        NSException::raise(NSRangeException, "index 1 beyond bounds of the call's parameters");
    const auto& receiverParam = *call.params[0];
    std::string receiver = receiverParam.previousClassName ? *receiverParam.previousClassName
                           : receiverParam.className      ? *receiverParam.className
                                                          : "id";
    const auto& selectorParam = *call.params[1];
    if (selectorParam.type != "string") return std::nullopt;
    std::vector<std::string> parts;
    std::string selector = selectorParam.value.value_or("");
    size_t start = 0;
    while (true) {
        size_t colon = selector.find(':', start);
        parts.push_back(selector.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    std::string out = "-[" + receiver + " " + parts[0];
    for (size_t part = 1; part < parts.size(); ++part) {
        size_t argument = part - 1;
        out += ":";
        if (argument >= 2 || 2 + argument >= call.params.size()) {
            out += "?";
        } else {
            const auto& p = *call.params[2 + argument];
            if (p.value) {
                out += p.type == "string" ? "\"" + *p.value + "\"" : *p.value;
            } else if (p.previousClassName) {
                out += *p.previousClassName;
            } else if (p.className) {
                out += *p.className + " (" + (p.isInstance ? "instance" : "class") + ")";
            } else {
                out += "?";
            }
        }
        if (part + 1 < parts.size()) out += " ";
    }
    return out + "]";
}

}  // namespace

std::string ZPKCRCrashDoctorFunctionCall::descriptionWithParamCount(int count) const {
    if (auto send = messageSendDescription(*this)) return *send;
    std::string out = "Function: " + object(name) + "\n";
    size_t shown = std::min<size_t>(size_t(std::max(count, 0)), params.size());
    for (size_t i = 0; i < shown; ++i) {
        const auto& p = *params[i];
        if (i > 0) out += "\n";
        out += "Param " + std::to_string(i + 1) + ":  ";
        if (p.className) out += *p.className + " (" + (p.isInstance ? "instance" : "class") + ") ";
        if (p.value) out += *p.value + " ";
        if (p.previousClassName) out += "(was " + *p.previousClassName + ")";
    }
    return out;
}

// ---- accessors ----------------------------------------------------------------------------

std::shared_ptr<ZPKCRCrashDoctor> ZPKCRCrashDoctor::doctor() { return std::make_shared<ZPKCRCrashDoctor>(); }

Value ZPKCRCrashDoctor::recrashReport(const Value& report) const { return at(report, "recrash_report"); }
Value ZPKCRCrashDoctor::systemReport(const Value& report) const { return at(report, "system"); }
Value ZPKCRCrashDoctor::crashReport(const Value& report) const { return at(report, "crash"); }
Value ZPKCRCrashDoctor::infoReport(const Value& report) const { return at(report, "report"); }
Value ZPKCRCrashDoctor::errorReport(const Value& report) const { return at(crashReport(report), "error"); }
Value ZPKCRCrashDoctor::mainExecutableNameForReport(const Value& report) const {
    return at(infoReport(report), "process_name");
}
Value ZPKCRCrashDoctor::backtraceFromThreadReport(const Value& thread) const {
    return at(at(thread, "backtrace"), "contents");
}
Value ZPKCRCrashDoctor::basicRegistersFromThreadReport(const Value& thread) const {
    return at(at(thread, "registers"), "basic");
}

// ---- rules --------------------------------------------------------------------------------

Value ZPKCRCrashDoctor::crashedThreadReport(const Value& report) const {
    Value crash = crashReport(report);
    Value crashed = at(crash, "crashed_thread");
    if (!crashed.isNull()) return crashed;
    for (const Value& thread : elements(at(crash, "threads")))
        if (boolOf(at(thread, "crashed"))) return thread;
    return Value();
}

Value ZPKCRCrashDoctor::lastStackEntry(const Value& report) const {
    const auto& frames = elements(backtraceFromThreadReport(crashedThreadReport(report)));
    return frames.empty() ? Value() : frames.front();
}

Value ZPKCRCrashDoctor::lastInAppStackEntry(const Value& report) const {
    auto executable = text(mainExecutableNameForReport(report), "isEqualToString:");
    for (const Value& frame : elements(backtraceFromThreadReport(crashedThreadReport(report)))) {
        auto objectName = text(at(frame, "object_name"), "isEqualToString:");
        if (objectName && executable && *objectName == *executable) return frame;
    }
    return Value();
}

ZPKCRCPUFamily ZPKCRCrashDoctor::cpuFamily(const Value& report) const {
    auto arch = text(at(systemReport(report), "cpu_arch"), "hasPrefix:");
    if (!arch) return ZPKCRCPUFamilyUnknown;
    if (arch->rfind("arm", 0) == 0) return ZPKCRCPUFamilyArm;
    if (arch->rfind("i", 0) == 0 && arch->size() >= 4 && arch->compare(2, 2, "86") == 0) return ZPKCRCPUFamilyX86;
    std::string lower = *arch;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (contains(lower, "x86_64")) return ZPKCRCPUFamilyX86_64;
    return ZPKCRCPUFamilyUnknown;
}

bool ZPKCRCrashDoctor::isDeadlock(const Value& report) const {
    return isString(at(errorReport(report), "type"), "deadlock");
}

bool ZPKCRCrashDoctor::isStackOverflow(const Value& crashedThread) const {
    return boolOf(at(at(crashedThread, "stack"), "overflow"));
}

bool ZPKCRCrashDoctor::isInvalidAddress(const Value& error) const {
    Value mach = at(error, "mach");
    if (!mach.isNull()) return isString(at(mach, "exception_name"), "EXC_BAD_ACCESS");
    return isString(at(at(error, "signal"), "name"), "SIGSEGV");
}

bool ZPKCRCrashDoctor::isMathError(const Value& error) const {
    Value mach = at(error, "mach");
    if (!mach.isNull()) return isString(at(mach, "exception_name"), "EXC_ARITHMETIC");
    return isString(at(at(error, "signal"), "name"), "SIGFPE");
}

bool ZPKCRCrashDoctor::isMemoryCorruption(const Value& report) const {
    Value thread = crashedThreadReport(report);
    Value notable = at(thread, "notable_addresses");
    if (!notable.isNull() && !notable.isDictionary()) unrecognized(notable, "objectEnumerator");
    if (notable.isDictionary()) {
        for (const auto& [key, entry] : notable.asDictionary()) {
            if (!isString(at(entry, "type"), "string")) continue;
            auto value = text(at(entry, "value"), "rangeOfString:");
            if (!value) continue;
            if ((contains(*value, "autorelease pool page") && contains(*value, "corrupted")) ||
                contains(*value, "incorrect checksum for freed object"))
                return true;
        }
    }
    for (const Value& frame : elements(backtraceFromThreadReport(thread))) {
        auto symbol = text(at(frame, "symbol_name"), "isEqualToString:");
        if (!symbol) continue;
        if (*symbol == "objc_autoreleasePoolPush" || *symbol == "free_list_checksum_botch" ||
            *symbol == "szone_malloc_should_clear")
            return true;
        if (*symbol == "lookUpMethod" && isString(at(frame, "object_name"), "libobjc.A.dylib")) return true;
    }
    return false;
}

std::shared_ptr<ZPKCRCrashDoctorFunctionCall> ZPKCRCrashDoctor::lastFunctionCall(const Value& report) const {
    auto call = std::make_shared<ZPKCRCrashDoctorFunctionCall>();
    call->name = text(at(lastStackEntry(report), "symbol_name"), "copy");
    Value thread = crashedThreadReport(report);
    Value registers = basicRegistersFromThreadReport(thread);
    Value notable = at(thread, "notable_addresses");
    for (const char* name : parameterRegisters(cpuFamily(report))) {
        auto param = std::make_shared<ZPKCRCrashDoctorParam>();
        param->address = addressOf(at(registers, name));
        Value entry = at(notable, name);
        if (!entry.isNull()) {
            param->type = text(at(entry, "type"), "isEqualToString:");
            if (param->type == "string") {
                param->value = text(at(entry, "value"), "copy");
            } else if (param->type == "objc_object") {
                param->className = text(at(entry, "class"), "copy");
                param->isInstance = true;
            } else if (param->type == "objc_class") {
                param->className = text(at(entry, "class"), "copy");
                param->isInstance = false;
            }
            param->previousClassName = text(at(entry, "last_deallocated_obj"), "copy");
        } else {
            param->value = pointer(param->address);
        }
        call->params.push_back(std::move(param));
    }
    return call;
}

std::optional<std::string> ZPKCRCrashDoctor::zombieCall(const ZPKCRCrashDoctorFunctionCall& call) const {
    bool hasPrevious = !call.params.empty() && call.params[0]->previousClassName.has_value();
    if (call.name == "objc_msgSend" && hasPrevious) return call.descriptionWithParamCount(4);
    if (call.name == "objc_retain" && hasPrevious) return call.descriptionWithParamCount(1);
    return std::nullopt;
}

std::string ZPKCRCrashDoctor::appendOriginatingCall(std::string text,
                                                    const std::optional<std::string>& callName) const {
    if (callName && *callName != "main") text += "\nOriginated at or in a subcall of " + *callName;
    return text;
}

std::optional<std::string> ZPKCRCrashDoctor::diagnose(const Value& report) const {
    Value callNameValue = at(lastInAppStackEntry(report), "symbol_name");
    std::optional<std::string> callName;
    if (!callNameValue.isNull()) callName = text(callNameValue, "isEqualToString:");
    Value crashedThread = crashedThreadReport(report);
    Value error = errorReport(report);

    if (isDeadlock(report)) return "Main thread deadlocked in " + object(callName);
    if (isStackOverflow(crashedThread)) return "Stack overflow in " + object(callName);
    if (isString(at(error, "type"), "nsexception")) {
        Value exception = at(error, "nsexception");
        Value reason = at(exception, "reason");
        if (reason.isNull()) reason = at(error, "reason");
        return appendOriginatingCall(
            "Application threw exception " + object(at(exception, "name")) + ": " + object(reason), callName);
    }
    if (isMemoryCorruption(report)) return std::string("Rogue memory write has corrupted memory.");
    if (isMathError(error)) return appendOriginatingCall("Math error (usually caused from division by 0).", callName);
    if (auto zombie = zombieCall(*lastFunctionCall(report)))
        return appendOriginatingCall("Possible zombie in call: " + *zombie, callName);
    if (isInvalidAddress(error)) {
        uint64_t address = addressOf(at(error, "address"));
        if (address != 0)
            return appendOriginatingCall("Attempted to dereference garbage pointer " + pointer(address) + ".",
                                         callName);
        return appendOriginatingCall("Attempted to dereference null pointer.", callName);
    }
    return std::nullopt;
}

std::optional<std::string> ZPKCRCrashDoctor::diagnoseCrash(const Value& report) const {
    try {
        return diagnose(report);
    } catch (const NSException& e) {
        std::vector<std::string> symbols = callStackSymbols(e);
        if (symbols.empty())
            return "No diagnosis due to exception " + e.description() + "\nPlease file a bug report.";
        Value::Array lines(symbols.begin(), symbols.end());
        return "No diagnosis due to exception " + e.description() + ":\n" + Value(lines).description() +
               "\nPlease file a bug report.";
    } catch (const std::exception& e) {
        return "No diagnosis due to exception " + std::string(e.what()) + "\nPlease file a bug report.";
    }
}
