#pragma once
// The crash event record: what a monitor captured, filled further by every enabled
// monitor's contextual information and read by the report writer. Lives in the capturing
// monitor's storage (no allocation); texts it points at belong to their monitors.

#include <stdbool.h>
#include <stdint.h>

#include <crash_core/CRMachineContext.h>
#include <crash_core/CRMonitorType.h>
#include <crash_core/CRStackCursor.h>

#ifdef __cplusplus
extern "C" {
#endif

// The application-state tracker's record (CRAppState.h), as events carry it.
typedef struct CRAppState {
    double activeDurationSinceLastCrash;
    double backgroundDurationSinceLastCrash;
    int launchesSinceLastCrash;
    int sessionsSinceLastCrash;
    double activeDurationSinceLaunch;
    double backgroundDurationSinceLaunch;
    int sessionsSinceLaunch;
    bool crashedLastLaunch;
    bool crashedThisLaunch;
    double appStateTransitionTime;  // seconds since 1970, wall clock
    bool applicationIsActive;
    bool applicationIsInForeground;
} CRAppState;

typedef struct CRCrashEventContext {
    char eventID[37];
    // A snapshot that must neither end the process nor count as a crash.
    bool currentSnapshotUserReported;
    bool requiresAsyncSafety;
    // Set by the registry: this event is a crash inside crash handling.
    bool handlingCrash;
    bool registersAreValid;
    const CRMachineContext* offendingMachineContext;
    uintptr_t faultAddress;
    CRCrashMonitorType crashType;
    const char* exceptionName;
    const char* crashReason;
    CRStackCursor* stackCursor;

    struct {
        int type;
        int64_t code;
        int64_t subcode;
    } mach;
    struct {
        const char* name;
        const char* userInfo;
    } NSException;
    struct {
        const char* name;
    } CPPException;
    struct {
        const void* userContext;
        int signum;
        int sigcode;
    } signal;
    struct {
        const char* name;
        const char* language;
        const char* lineOfCode;
        const char* customStackTrace;
    } userException;
    bool terminateProgram;

    CRAppState AppState;

    struct {
        const char* systemName;
        const char* systemVersion;
        const char* machine;
        const char* model;
        const char* kernelVersion;
        const char* osVersion;
        const char* bootTime;
        const char* appStartTime;
        const char* executablePath;
        const char* executableName;
        const char* bundleID;
        const char* bundleName;
        const char* bundleVersion;
        const char* bundleShortVersion;
        const char* appID;
        const char* cpuArchitecture;
        int cpuType;
        int cpuSubType;
        int binaryCPUType;
        int binaryCPUSubType;
        const char* timezone;
        const char* processName;
        int processID;
        int parentProcessID;
        const char* deviceAppHash;
        const char* buildType;
        uint64_t storageSize;
        uint64_t freeStorageSize;
        uint64_t memorySize;
        uint64_t freeMemory;
        uint64_t usableMemory;
    } System;

    struct {
        uintptr_t address;
        const char* name;
        const char* reason;
    } ZombieException;

    const char* consoleLogPath;
    // The exception object of an NSException event, else NULL.
    const void* exceptionObject;
    bool logAllThreads;
} CRCrashEventContext;

#ifdef __cplusplus
}
#endif
