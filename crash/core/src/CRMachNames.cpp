#include <crash_core/CRMachNames.h>

#include <csignal>

namespace {

const char* const kExceptionNames[] = {"EXC_BAD_ACCESS", "EXC_BAD_INSTRUCTION", "EXC_ARITHMETIC", "EXC_EMULATION",
                                       "EXC_SOFTWARE",   "EXC_BREAKPOINT",      "EXC_SYSCALL",    "EXC_MACH_SYSCALL",
                                       "EXC_RPC_ALERT",  "EXC_CRASH"};

const char* const kReturnCodeNames[] = {
    "KERN_SUCCESS",                "KERN_INVALID_ADDRESS",     "KERN_PROTECTION_FAILURE",
    "KERN_NO_SPACE",               "KERN_INVALID_ARGUMENT",    "KERN_FAILURE",
    "KERN_RESOURCE_SHORTAGE",      "KERN_NOT_RECEIVER",        "KERN_NO_ACCESS",
    "KERN_MEMORY_FAILURE",         "KERN_MEMORY_ERROR",        "KERN_ALREADY_IN_SET",
    "KERN_NOT_IN_SET",             "KERN_NAME_EXISTS",         "KERN_ABORTED",
    "KERN_INVALID_NAME",           "KERN_INVALID_TASK",        "KERN_INVALID_RIGHT",
    "KERN_INVALID_VALUE",          "KERN_UREFS_OVERFLOW",      "KERN_INVALID_CAPABILITY",
    "KERN_RIGHT_EXISTS",           "KERN_INVALID_HOST",        "KERN_MEMORY_PRESENT",
    "KERN_MEMORY_DATA_MOVED",      "KERN_MEMORY_RESTART_COPY", "KERN_INVALID_PROCESSOR_SET",
    "KERN_POLICY_LIMIT",           "KERN_INVALID_POLICY",      "KERN_INVALID_OBJECT",
    "KERN_ALREADY_WAITING",        "KERN_DEFAULT_SET",         "KERN_EXCEPTION_PROTECTED",
    "KERN_INVALID_LEDGER",         "KERN_INVALID_MEMORY_CONTROL", "KERN_INVALID_SECURITY",
    "KERN_NOT_DEPRESSED",          "KERN_TERMINATED",          "KERN_LOCK_SET_DESTROYED",
    "KERN_LOCK_UNSTABLE",          "KERN_LOCK_OWNED",          "KERN_LOCK_OWNED_SELF",
    "KERN_SEMAPHORE_DESTROYED",    "KERN_RPC_SERVER_TERMINATED", "KERN_RPC_TERMINATE_ORPHAN",
    "KERN_RPC_CONTINUE_ORPHAN",    "KERN_NOT_SUPPORTED",       "KERN_NODE_DOWN",
    "KERN_NOT_WAITING",            "KERN_OPERATION_TIMED_OUT", "KERN_CODESIGN_ERROR",
};
static_assert(sizeof kReturnCodeNames / sizeof kReturnCodeNames[0] == 51);

}  // namespace

extern "C" {

const char* crmach_exceptionName(int64_t exceptionType) {
    return exceptionType >= 1 && exceptionType <= 10 ? kExceptionNames[exceptionType - 1] : nullptr;
}

const char* crmach_kernelReturnCodeName(int64_t returnCode) {
    return returnCode >= 0 && returnCode <= 50 ? kReturnCodeNames[returnCode] : nullptr;
}

// Linux has no SIGEMT: an emulation exception stands for no signal.
int crmach_signalForMachException(int exceptionType, int64_t code) {
    switch (exceptionType) {
    case CR_EXC_BAD_ACCESS:
        return code == CR_KERN_INVALID_ADDRESS ? SIGSEGV : SIGBUS;
    case CR_EXC_BAD_INSTRUCTION:
        return SIGILL;
    case CR_EXC_ARITHMETIC:
        return SIGFPE;
    case CR_EXC_SOFTWARE:
        switch (code) {
        case CR_EXC_SOFT_SIGNAL_SYS: return SIGSYS;
        case CR_EXC_SOFT_SIGNAL_PIPE: return SIGPIPE;
        case CR_EXC_SOFT_SIGNAL_ABRT: return SIGABRT;
        case CR_EXC_SOFT_SIGNAL_KILL: return SIGKILL;
        default: return 0;
        }
    case CR_EXC_BREAKPOINT:
        return SIGTRAP;
    default:
        return 0;
    }
}

int crmach_machExceptionForSignal(int signal) {
    switch (signal) {
    case SIGILL: return CR_EXC_BAD_INSTRUCTION;
    case SIGTRAP: return CR_EXC_BREAKPOINT;
    case SIGABRT: return CR_EXC_CRASH;
    case SIGFPE: return CR_EXC_ARITHMETIC;
    case SIGKILL: return CR_EXC_SOFT_SIGNAL_KILL;
    case SIGBUS: return CR_EXC_BAD_ACCESS;
    case SIGSEGV: return CR_EXC_BAD_ACCESS;
    case SIGSYS: return CR_EXC_SOFT_SIGNAL_SYS;
    case SIGPIPE: return CR_EXC_SOFT_SIGNAL_PIPE;
    default: return 0;
    }
}

}  // extern "C"
