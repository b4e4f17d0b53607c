#include <crash_core/CRSignalInfo.h>

#include <csignal>

namespace {

struct CodeName {
    int code;
    const char* name;
};

struct SignalInfo {
    int signal;
    const char* name;
    const CodeName* codes;
    int codeCount;
};

#define CR_CODE(c) {c, #c}

// Code 0 stands for a signal sent by a process (kill, abort), written as code 0.
const CodeName kBusCodes[] = {{0, "BUS_NOOP"}, CR_CODE(BUS_ADRALN), CR_CODE(BUS_ADRERR), CR_CODE(BUS_OBJERR)};
const CodeName kFpeCodes[] = {{0, "FPE_NOOP"},       CR_CODE(FPE_FLTDIV), CR_CODE(FPE_FLTOVF),
                              CR_CODE(FPE_FLTUND),   CR_CODE(FPE_FLTRES), CR_CODE(FPE_FLTINV),
                              CR_CODE(FPE_FLTSUB),   CR_CODE(FPE_INTDIV), CR_CODE(FPE_INTOVF)};
const CodeName kIllCodes[] = {{0, "ILL_NOOP"},     CR_CODE(ILL_ILLOPC), CR_CODE(ILL_ILLTRP),
                              CR_CODE(ILL_PRVOPC), CR_CODE(ILL_ILLOPN), CR_CODE(ILL_ILLADR),
                              CR_CODE(ILL_PRVREG), CR_CODE(ILL_COPROC), CR_CODE(ILL_BADSTK)};
const CodeName kSegvCodes[] = {{0, "SEGV_NOOP"}, CR_CODE(SEGV_MAPERR), CR_CODE(SEGV_ACCERR)};
const CodeName kTrapCodes[] = {{0, "0"}, CR_CODE(TRAP_BRKPT), CR_CODE(TRAP_TRACE)};

#undef CR_CODE

const SignalInfo kSignals[] = {
    {SIGABRT, "SIGABRT", nullptr, 0},
    {SIGBUS, "SIGBUS", kBusCodes, int(sizeof kBusCodes / sizeof(CodeName))},
    {SIGFPE, "SIGFPE", kFpeCodes, int(sizeof kFpeCodes / sizeof(CodeName))},
    {SIGILL, "SIGILL", kIllCodes, int(sizeof kIllCodes / sizeof(CodeName))},
    {SIGPIPE, "SIGPIPE", nullptr, 0},
    {SIGSEGV, "SIGSEGV", kSegvCodes, int(sizeof kSegvCodes / sizeof(CodeName))},
    {SIGSYS, "SIGSYS", nullptr, 0},
    {SIGTRAP, "SIGTRAP", kTrapCodes, int(sizeof kTrapCodes / sizeof(CodeName))},
};

const int kFatalSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGPIPE, SIGSEGV, SIGSYS, SIGTRAP};

const SignalInfo* find(int signal) {
    for (const auto& info : kSignals)
        if (info.signal == signal) return &info;
    return nullptr;
}

}  // namespace

extern "C" {

const int* crsignal_fatalSignals(void) { return kFatalSignals; }
int crsignal_numFatalSignals(void) { return int(sizeof kFatalSignals / sizeof kFatalSignals[0]); }

const char* crsignal_signalName(int signal) {
    const SignalInfo* info = find(signal);
    return info ? info->name : nullptr;
}

const char* crsignal_signalCodeName(int signal, int code) {
    const SignalInfo* info = find(signal);
    if (!info) return nullptr;
    for (int i = 0; i < info->codeCount; ++i)
        if (info->codes[i].code == code) return info->codes[i].name;
    return nullptr;
}

}  // extern "C"
