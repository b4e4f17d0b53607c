#pragma once
// The monitor type bits of the crash core: one bit per monitor of the registry, and the
// masks the registry applies when a debugger is attached or async safety is required.

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    CRCrashMonitorTypeMachException = 0x01,
    CRCrashMonitorTypeSignal = 0x02,
    CRCrashMonitorTypeCPPException = 0x04,
    CRCrashMonitorTypeNSException = 0x08,
    CRCrashMonitorTypeMainThreadDeadlock = 0x10,
    CRCrashMonitorTypeUserReported = 0x20,
    CRCrashMonitorTypeSystem = 0x40,
    CRCrashMonitorTypeApplicationState = 0x80,
    CRCrashMonitorTypeZombie = 0x100,
} CRCrashMonitorType;

#define CRCrashMonitorTypeAll 0x1FF
#define CRCrashMonitorTypeDebuggerUnsafe 0x0F
#define CRCrashMonitorTypeDebuggerSafe 0x1F0
#define CRCrashMonitorTypeAsyncUnsafe 0x1FC
#define CRCrashMonitorTypeAsyncSafe 0x03
// Every monitor but the deadlock and zombie monitors: what the front requests by default.
#define CRCrashMonitorTypeProductionSafe 0xEF

#ifdef __cplusplus
}
#endif
