#pragma once
// The crash doctor: a fixed chain of rules over a decoded crash report (nested
// dictionaries and arrays) that gives a one-paragraph diagnosis, or nothing when no rule
// matches. Stateless; any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

// One parameter of the call a crashed thread was making, read from its registers and the
// report's notable addresses. Absent texts are nullopt.
class ZPKCRCrashDoctorParam : public NSObject {
    NS_CLASS(ZPKCRCrashDoctorParam, NSObject)
public:
    std::optional<std::string> className;
    std::optional<std::string> previousClassName;
    std::optional<std::string> type;
    bool isInstance = false;
    uint64_t address = 0;
    std::optional<std::string> value;
};

// The call at the innermost frame of the crashed thread, with its parameters.
class ZPKCRCrashDoctorFunctionCall : public NSObject {
    NS_CLASS(ZPKCRCrashDoctorFunctionCall, NSObject)
public:
    std::optional<std::string> name;
    std::vector<std::shared_ptr<ZPKCRCrashDoctorParam>> params;

    // A message send as "-[Receiver sel:arg]" when the call is objc_msgSend with a string
    // selector; otherwise "Function: name" and the first `count` parameters.
    std::string descriptionWithParamCount(int count) const;
};

enum ZPKCRCPUFamily { ZPKCRCPUFamilyUnknown = 0, ZPKCRCPUFamilyArm = 1, ZPKCRCPUFamilyX86 = 2, ZPKCRCPUFamilyX86_64 = 3 };

class ZPKCRCrashDoctor : public NSObject {
    NS_CLASS(ZPKCRCrashDoctor, NSObject)
public:
    static std::shared_ptr<ZPKCRCrashDoctor> doctor();

    // The diagnosis, or nullopt when no rule matches. An exception while diagnosing (a
    // value of an unexpected kind) becomes a "No diagnosis due to exception" text.
    std::optional<std::string> diagnoseCrash(const Value& report) const;

    // Report accessors (Null when absent).
    Value recrashReport(const Value& report) const;
    Value systemReport(const Value& report) const;
    Value crashReport(const Value& report) const;
    Value infoReport(const Value& report) const;
    Value errorReport(const Value& report) const;
    Value mainExecutableNameForReport(const Value& report) const;
    Value backtraceFromThreadReport(const Value& thread) const;
    Value basicRegistersFromThreadReport(const Value& thread) const;

    // Building blocks of the rules.
    Value crashedThreadReport(const Value& report) const;
    Value lastStackEntry(const Value& report) const;
    Value lastInAppStackEntry(const Value& report) const;
    ZPKCRCPUFamily cpuFamily(const Value& report) const;
    bool isDeadlock(const Value& report) const;
    bool isStackOverflow(const Value& crashedThread) const;
    bool isInvalidAddress(const Value& error) const;
    bool isMathError(const Value& error) const;
    bool isMemoryCorruption(const Value& report) const;
    std::shared_ptr<ZPKCRCrashDoctorFunctionCall> lastFunctionCall(const Value& report) const;
    std::optional<std::string> zombieCall(const ZPKCRCrashDoctorFunctionCall& call) const;
    std::string appendOriginatingCall(std::string text, const std::optional<std::string>& callName) const;

private:
    std::optional<std::string> diagnose(const Value& report) const;
};
