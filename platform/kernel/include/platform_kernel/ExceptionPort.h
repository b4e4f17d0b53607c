#pragma once
// An emulated task exception port in the platform's shape. Ports are allocated from a
// small fixed table; the task's exception ports are kept per exception type. Once a
// port is set for a fault type, a first-chance handler owns SIGSEGV, SIGBUS, SIGILL,
// SIGFPE and SIGTRAP (on the alternate stack): a fault posts a 64-bit exception request
// (thread, type, codes) to the port's receiver and waits on a futex for the reply. A
// success reply resumes the thread; a failure reply, or no port, hands the fault to the
// signal stage (kern_sigaction's action, else the default action).
//
//   SIGSEGV -> EXC_BAD_ACCESS, code KERN_INVALID_ADDRESS (1)
//   SIGBUS  -> EXC_BAD_ACCESS, code KERN_MEMORY_ERROR (10)
//   SIGILL  -> EXC_BAD_INSTRUCTION, SIGFPE -> EXC_ARITHMETIC, SIGTRAP -> EXC_BREAKPOINT,
//              each with code = si_code
//   subcode = the fault address. A signal a process sent (si_code <= 0) goes straight to
//   the signal stage.
//
// Everything here is async-signal-safe (atomics, futexes, fixed tables). mach_msg blocks
// the receiving thread until a request arrives or the thread is terminated.

#include <cstdint>
#include <sys/types.h>

#include <platform_kernel/HostStatistics.h>

using mach_port_t = uint32_t;
using exception_mask_t = uint32_t;
using exception_behavior_t = int;
using thread_state_flavor_t = int;
using mach_msg_return_t = int;
using natural_t = uint32_t;

inline constexpr mach_port_t MACH_PORT_NULL = 0;
inline constexpr int MACH_PORT_RIGHT_RECEIVE = 1;
inline constexpr int MACH_MSG_TYPE_MAKE_SEND = 20;
inline constexpr int EXC_TYPES_COUNT = 14;
inline constexpr exception_mask_t EXC_MASK_BAD_ACCESS = 1u << 1;
inline constexpr exception_mask_t EXC_MASK_BAD_INSTRUCTION = 1u << 2;
inline constexpr exception_mask_t EXC_MASK_ARITHMETIC = 1u << 3;
inline constexpr exception_mask_t EXC_MASK_SOFTWARE = 1u << 5;
inline constexpr exception_mask_t EXC_MASK_BREAKPOINT = 1u << 6;
inline constexpr exception_behavior_t EXCEPTION_DEFAULT = 1;
inline constexpr exception_behavior_t MACH_EXCEPTION_CODES = int(0x80000000u);
inline constexpr thread_state_flavor_t THREAD_STATE_NONE = 5;
// The general registers of <sys/ucontext.h> (NGREG words).
inline constexpr thread_state_flavor_t CR_THREAD_STATE_GREGS = 1;

inline constexpr int MACH_SEND_MSG = 0x1;
inline constexpr int MACH_RCV_MSG = 0x2;
inline constexpr mach_msg_return_t MACH_MSG_SUCCESS = 0;
inline constexpr mach_msg_return_t MACH_SEND_INVALID_DEST = 0x10000003;
inline constexpr mach_msg_return_t MACH_RCV_INVALID_NAME = 0x10004002;
inline constexpr mach_msg_return_t MACH_RCV_TOO_LARGE = 0x10004004;
inline constexpr int32_t MACH_EXCEPTION_RAISE_ID = 2405;

#pragma pack(push, 4)
struct mach_msg_header_t {
    uint32_t msgh_bits;
    uint32_t msgh_size;
    mach_port_t msgh_remote_port;  // in a received request: where the reply goes
    mach_port_t msgh_local_port;   // the receiving port
    mach_port_t msgh_voucher_port;
    int32_t msgh_id;
};
struct mach_msg_body_t {
    uint32_t msgh_descriptor_count;
};
struct mach_msg_port_descriptor_t {
    mach_port_t name;
    uint32_t pad1;
    uint16_t pad2;
    uint8_t disposition;
    uint8_t type;
};
struct NDR_record_t {
    uint8_t bytes[8];
};
// The 64-bit exception request.
struct CRExceptionRequest {
    mach_msg_header_t Head;
    mach_msg_body_t msgh_body;
    mach_msg_port_descriptor_t thread;  // name = the faulting thread's id
    mach_msg_port_descriptor_t task;
    NDR_record_t NDR;
    int32_t exception;
    uint32_t codeCnt;
    int64_t code[2];
};
// The reply: 36 bytes.
struct CRExceptionReply {
    mach_msg_header_t Head;
    NDR_record_t NDR;
    kern_return_t RetCode;
};
#pragma pack(pop)
static_assert(sizeof(CRExceptionReply) == 36);

extern "C" {

mach_port_t mach_task_self();
mach_port_t mach_thread_self();
kern_return_t mach_port_allocate(mach_port_t task, int right, mach_port_t* name);
kern_return_t mach_port_insert_right(mach_port_t task, mach_port_t name, mach_port_t right, int type);
// One entry per exception type of the mask, in type order: *count is the capacity in, the
// entries written out.
kern_return_t task_get_exception_ports(mach_port_t task, exception_mask_t mask, exception_mask_t* masks,
                                       uint32_t* count, mach_port_t* ports, exception_behavior_t* behaviors,
                                       thread_state_flavor_t* flavors);
kern_return_t task_set_exception_ports(mach_port_t task, exception_mask_t mask, mach_port_t port,
                                       exception_behavior_t behavior, thread_state_flavor_t flavor);
// MACH_RCV_MSG: waits for a request on rcvName and copies it into msg (rcvSize bytes at
// least the request's). MACH_SEND_MSG: sends a reply to msg->msgh_remote_port.
mach_msg_return_t mach_msg(mach_msg_header_t* msg, int option, uint32_t sendSize, uint32_t rcvSize,
                           mach_port_t rcvName, uint32_t timeout, mach_port_t notify);
// CR_THREAD_STATE_GREGS of a thread waiting in an exception message: its faulting
// registers; of a thread stopped by the kernel layer's suspension: its parked ones.
kern_return_t thread_get_state(mach_port_t thread, thread_state_flavor_t flavor, natural_t* state,
                               uint32_t* count);
// Only the calling thread suspends itself; thread_resume releases it.
kern_return_t thread_suspend(mach_port_t thread);
kern_return_t thread_resume(mach_port_t thread);
// A thread waiting on a port or suspended by itself is woken to exit.
kern_return_t thread_terminate(mach_port_t thread);

}  // extern "C"
