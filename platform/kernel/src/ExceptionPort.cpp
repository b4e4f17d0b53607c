#include <platform_kernel/ExceptionPort.h>
#include <platform_kernel/SignalStage.h>
#include <platform_kernel/ThreadSuspend.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/ucontext.h>
#include <unistd.h>

namespace {

constexpr int kMaxPorts = 8;
constexpr int kSlotsPerPort = 16;
constexpr int kMaxSuspended = 16;
constexpr int kTypeBadAccess = 1;
constexpr int kTypeBadInstruction = 2;
constexpr int kTypeArithmetic = 3;
constexpr int kTypeBreakpoint = 6;
constexpr int64_t kInvalidAddress = 1;
constexpr int64_t kMemoryError = 10;
// Reply ports name a request slot: marker | port index << 8 | slot.
constexpr mach_port_t kReplyMarker = 0x40000000;
const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};

enum SlotState : uint32_t { kFree, kPosted, kReceived, kReplied };

struct Slot {
    std::atomic<uint32_t> state{kFree};  // futex word of the faulting thread
    pid_t tid = 0;
    int type = 0;
    int64_t code = 0;
    int64_t subcode = 0;
    const ucontext_t* context = nullptr;
    kern_return_t reply = KERN_FAILURE;
};

struct Port {
    std::atomic<bool> allocated{false};
    std::atomic<uint32_t> sequence{0};  // futex word of the receivers
    Slot slots[kSlotsPerPort];
};

struct Registration {
    std::atomic<mach_port_t> port{MACH_PORT_NULL};
    std::atomic<exception_behavior_t> behavior{0};
    std::atomic<thread_state_flavor_t> flavor{0};
};

struct Suspension {
    std::atomic<pid_t> tid{0};
    std::atomic<uint32_t> word{0};  // 1 while suspended
};

Port gPorts[kMaxPorts];
Registration gRegistrations[EXC_TYPES_COUNT];
std::atomic<bool> gFirstChanceInstalled{false};
struct sigaction gStage[NSIG];
// Threads to end when they wait on a port or in self-suspension.
std::atomic<pid_t> gTerminated[kMaxSuspended];
Suspension gSuspensions[kMaxSuspended];

long futex(std::atomic<uint32_t>* word, int op, uint32_t value) {
    return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), op, value, nullptr, nullptr, 0);
}

pid_t selfTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

Port* portNamed(mach_port_t name) {
    if (name == MACH_PORT_NULL || name > kMaxPorts) return nullptr;
    Port* p = &gPorts[name - 1];
    return p->allocated.load() ? p : nullptr;
}

bool isTerminated(pid_t tid) {
    for (auto& t : gTerminated)
        if (t.load() == tid) return true;
    return false;
}

void exitIfTerminated() {
    pid_t self = selfTid();
    if (!isTerminated(self)) return;
    for (auto& t : gTerminated) {
        pid_t expected = self;
        t.compare_exchange_strong(expected, 0);
    }
    pthread_exit(nullptr);
}

void firstChance(int signal, siginfo_t* info, void* userContext);

bool isFirstChance(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == firstChance;
}

bool isFaultSignal(int signal) {
    for (int s : kFaultSignals)
        if (s == signal) return true;
    return false;
}

void installFirstChance() {
    if (gFirstChanceInstalled.exchange(true)) return;
    struct sigaction action {};
    action.sa_sigaction = firstChance;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int s : kFaultSignals) sigaction(s, &action, &gStage[s]);
}

// The signal stage: the action registered through kern_sigaction, else the default.
void signalStage(int signal, siginfo_t* info, void* userContext) {
    const struct sigaction& action = gStage[signal];
    if (action.sa_flags & SA_SIGINFO) {
        if (action.sa_sigaction) {
            action.sa_sigaction(signal, info, userContext);
            return;
        }
    } else if (action.sa_handler == SIG_IGN) {
        return;
    } else if (action.sa_handler != SIG_DFL && action.sa_handler) {
        action.sa_handler(signal);
        return;
    }
    kern_raiseWithDefaultAction(signal);
}

// Posts the fault to the port and waits for the reply; false when nobody can take it.
bool raiseException(Port* port, int type, int64_t code, int64_t subcode, const ucontext_t* context,
                    kern_return_t* reply) {
    Slot* slot = nullptr;
    for (auto& s : port->slots) {
        uint32_t expected = kFree;
        if (s.state.compare_exchange_strong(expected, kReplied)) {  // claimed, not yet visible
            slot = &s;
            break;
        }
    }
    if (!slot) return false;
    slot->tid = selfTid();
    slot->type = type;
    slot->code = code;
    slot->subcode = subcode;
    slot->context = context;
    slot->reply = KERN_FAILURE;
    slot->state.store(kPosted);
    port->sequence.fetch_add(1);
    futex(&port->sequence, FUTEX_WAKE, INT_MAX);
    for (;;) {
        uint32_t state = slot->state.load();
        if (state == kReplied) break;
        futex(&slot->state, FUTEX_WAIT, state);
    }
    *reply = slot->reply;
    slot->context = nullptr;
    slot->tid = 0;
    slot->state.store(kFree);
    return true;
}

void firstChance(int signal, siginfo_t* info, void* userContext) {
    int type = 0;
    int64_t code = info->si_code;
    switch (signal) {
    case SIGSEGV: type = kTypeBadAccess; code = kInvalidAddress; break;
    case SIGBUS: type = kTypeBadAccess; code = kMemoryError; break;
    case SIGILL: type = kTypeBadInstruction; break;
    case SIGFPE: type = kTypeArithmetic; break;
    case SIGTRAP: type = kTypeBreakpoint; break;
    default: break;
    }
    Port* port = info->si_code > 0 && type ? portNamed(gRegistrations[type].port.load()) : nullptr;
    kern_return_t reply = KERN_FAILURE;
    if (port && raiseException(port, type, code, int64_t(reinterpret_cast<uintptr_t>(info->si_addr)),
                               static_cast<const ucontext_t*>(userContext), &reply) &&
        reply == KERN_SUCCESS)
        return;
    signalStage(signal, info, userContext);
}

mach_msg_return_t receive(mach_msg_header_t* msg, uint32_t size, mach_port_t name) {
    Port* port = portNamed(name);
    if (!port) return MACH_RCV_INVALID_NAME;
    if (size < sizeof(CRExceptionRequest)) return MACH_RCV_TOO_LARGE;
    for (;;) {
        exitIfTerminated();
        uint32_t sequence = port->sequence.load();
        for (int i = 0; i < kSlotsPerPort; ++i) {
            Slot& s = port->slots[i];
            uint32_t expected = kPosted;
            if (!s.state.compare_exchange_strong(expected, kReceived)) continue;
            auto* request = reinterpret_cast<CRExceptionRequest*>(msg);
            std::memset(request, 0, sizeof *request);
            request->Head.msgh_bits = 0x80001112;
            request->Head.msgh_size = sizeof *request;
            request->Head.msgh_remote_port = kReplyMarker | (mach_port_t(name - 1) << 8) | mach_port_t(i);
            request->Head.msgh_local_port = name;
            request->Head.msgh_id = MACH_EXCEPTION_RAISE_ID;
            request->msgh_body.msgh_descriptor_count = 2;
            request->thread.name = mach_port_t(s.tid);
            request->task.name = mach_task_self();
            request->NDR.bytes[4] = 1;  // little endian
            request->exception = s.type;
            request->codeCnt = 2;
            request->code[0] = s.code;
            request->code[1] = s.subcode;
            return MACH_MSG_SUCCESS;
        }
        futex(&port->sequence, FUTEX_WAIT, sequence);
    }
}

mach_msg_return_t send(const mach_msg_header_t* msg, uint32_t size) {
    mach_port_t to = msg->msgh_remote_port;
    if (!(to & kReplyMarker) || size < sizeof(CRExceptionReply)) return MACH_SEND_INVALID_DEST;
    uint32_t portIndex = (to >> 8) & 0xFF;
    uint32_t slotIndex = to & 0xFF;
    if (portIndex >= kMaxPorts || slotIndex >= kSlotsPerPort) return MACH_SEND_INVALID_DEST;
    Slot& s = gPorts[portIndex].slots[slotIndex];
    if (s.state.load() != kReceived) return MACH_SEND_INVALID_DEST;
    s.reply = reinterpret_cast<const CRExceptionReply*>(msg)->RetCode;
    s.state.store(kReplied);
    futex(&s.state, FUTEX_WAKE, INT_MAX);
    return MACH_MSG_SUCCESS;
}

}  // namespace

extern "C" {

int kern_sigaction(int signal, const struct sigaction* action, struct sigaction* oldAction) {
    if (!isFaultSignal(signal) || !gFirstChanceInstalled.load()) return sigaction(signal, action, oldAction);
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) return -1;
    // Someone replaced the first-chance handler: the process-level action is what counts.
    if (!isFirstChance(current)) return sigaction(signal, action, oldAction);
    if (oldAction) *oldAction = gStage[signal];
    if (action) gStage[signal] = *action;
    return 0;
}

void kern_raiseWithDefaultAction(int signal) {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(signal, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
}

mach_port_t mach_task_self() { return 1; }
mach_port_t mach_thread_self() { return mach_port_t(selfTid()); }

kern_return_t mach_port_allocate(mach_port_t, int right, mach_port_t* name) {
    if (right != MACH_PORT_RIGHT_RECEIVE || !name) return KERN_INVALID_ARGUMENT;
    for (int i = 0; i < kMaxPorts; ++i) {
        bool expected = false;
        if (gPorts[i].allocated.compare_exchange_strong(expected, true)) {
            *name = mach_port_t(i + 1);
            return KERN_SUCCESS;
        }
    }
    return KERN_FAILURE;
}

kern_return_t mach_port_insert_right(mach_port_t, mach_port_t name, mach_port_t right, int type) {
    if (!portNamed(name) || right != name || type != MACH_MSG_TYPE_MAKE_SEND) return KERN_INVALID_ARGUMENT;
    return KERN_SUCCESS;
}

kern_return_t task_get_exception_ports(mach_port_t, exception_mask_t mask, exception_mask_t* masks, uint32_t* count,
                                       mach_port_t* ports, exception_behavior_t* behaviors,
                                       thread_state_flavor_t* flavors) {
    if (!count) return KERN_INVALID_ARGUMENT;
    uint32_t n = 0;
    for (int type = 1; type < EXC_TYPES_COUNT; ++type) {
        if (!(mask & (1u << type))) continue;
        if (n >= *count) break;
        if (masks) masks[n] = 1u << type;
        if (ports) ports[n] = gRegistrations[type].port.load();
        if (behaviors) behaviors[n] = gRegistrations[type].behavior.load();
        if (flavors) flavors[n] = gRegistrations[type].flavor.load();
        ++n;
    }
    *count = n;
    return KERN_SUCCESS;
}

kern_return_t task_set_exception_ports(mach_port_t, exception_mask_t mask, mach_port_t port,
                                       exception_behavior_t behavior, thread_state_flavor_t flavor) {
    if (port != MACH_PORT_NULL && !portNamed(port)) return KERN_INVALID_ARGUMENT;
    bool fault = false;
    for (int type = 1; type < EXC_TYPES_COUNT; ++type) {
        if (!(mask & (1u << type))) continue;
        gRegistrations[type].port.store(port);
        gRegistrations[type].behavior.store(behavior);
        gRegistrations[type].flavor.store(flavor);
        fault |= type == kTypeBadAccess || type == kTypeBadInstruction || type == kTypeArithmetic ||
                 type == kTypeBreakpoint;
    }
    if (fault && port != MACH_PORT_NULL) installFirstChance();
    return KERN_SUCCESS;
}

mach_msg_return_t mach_msg(mach_msg_header_t* msg, int option, uint32_t sendSize, uint32_t rcvSize,
                           mach_port_t rcvName, uint32_t, mach_port_t) {
    if (!msg) return MACH_SEND_INVALID_DEST;
    if (option & MACH_SEND_MSG) {
        mach_msg_return_t r = send(msg, sendSize);
        if (r != MACH_MSG_SUCCESS || !(option & MACH_RCV_MSG)) return r;
    }
    if (option & MACH_RCV_MSG) return receive(msg, rcvSize, rcvName);
    return MACH_MSG_SUCCESS;
}

kern_return_t thread_get_state(mach_port_t thread, thread_state_flavor_t flavor, natural_t* state, uint32_t* count) {
    if (flavor != CR_THREAD_STATE_GREGS || !state || !count || *count < sizeof(gregset_t) / sizeof(natural_t))
        return KERN_INVALID_ARGUMENT;
    for (auto& port : gPorts) {
        if (!port.allocated.load()) continue;
        for (auto& s : port.slots) {
            uint32_t st = s.state.load();
            if ((st == kPosted || st == kReceived) && s.tid == pid_t(thread) && s.context) {
                std::memcpy(state, s.context->uc_mcontext.gregs, sizeof(gregset_t));
                *count = sizeof(gregset_t) / sizeof(natural_t);
                return KERN_SUCCESS;
            }
        }
    }
    greg_t registers[NGREG];
    if (!kernel::suspendedThreadRegisters(pid_t(thread), registers)) return KERN_FAILURE;
    std::memcpy(state, registers, sizeof registers);
    *count = sizeof(gregset_t) / sizeof(natural_t);
    return KERN_SUCCESS;
}

kern_return_t thread_suspend(mach_port_t thread) {
    pid_t self = selfTid();
    if (pid_t(thread) != self) return KERN_INVALID_ARGUMENT;
    Suspension* mine = nullptr;
    for (auto& s : gSuspensions) {
        pid_t expected = 0;
        if (s.tid.compare_exchange_strong(expected, self)) {
            mine = &s;
            break;
        }
    }
    if (!mine) return KERN_RESOURCE_SHORTAGE;
    mine->word.store(1);
    while (mine->word.load() == 1) {
        futex(&mine->word, FUTEX_WAIT, 1);
        if (isTerminated(self)) {
            mine->word.store(0);
            mine->tid.store(0);
            exitIfTerminated();
        }
    }
    mine->tid.store(0);
    return KERN_SUCCESS;
}

kern_return_t thread_resume(mach_port_t thread) {
    for (auto& s : gSuspensions) {
        if (s.tid.load() == pid_t(thread) && s.word.load() == 1) {
            s.word.store(0);
            futex(&s.word, FUTEX_WAKE, INT_MAX);
            return KERN_SUCCESS;
        }
    }
    return kernel::resumeThread(pid_t(thread)) ? KERN_SUCCESS : KERN_FAILURE;
}

kern_return_t thread_terminate(mach_port_t thread) {
    bool stored = false;
    for (auto& t : gTerminated) {
        pid_t expected = 0;
        if (t.compare_exchange_strong(expected, pid_t(thread))) {
            stored = true;
            break;
        }
    }
    if (!stored) return KERN_RESOURCE_SHORTAGE;
    for (auto& port : gPorts) {
        port.sequence.fetch_add(1);
        futex(&port.sequence, FUTEX_WAKE, INT_MAX);
    }
    for (auto& s : gSuspensions) {
        if (s.tid.load() == pid_t(thread)) futex(&s.word, FUTEX_WAKE, INT_MAX);
    }
    return KERN_SUCCESS;
}

}  // extern "C"
