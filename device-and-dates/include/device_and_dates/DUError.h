#pragma once
// Errors of the time-period groups (an index out of bounds, an object of the wrong type): built
// as NSError records and logged with the call stack; nothing is raised.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <device_and_dates/DUTimePeriod.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>

inline constexpr char DUErrorDomain[] = "com.dateutils.error";

enum DUErrorCode : int64_t {
    DUInsertOutOfBoundsError = 0,
    DURemoveOutOfBoundsError = 1,
    DUBadTypeError = 2,
};

class DUError : public NSObject {
    NS_CLASS(DUError, NSObject)

public:
    using PeriodList = std::vector<DUTimePeriodPtr>;

    // Build the error and log it (printErrorWithCallStack). The list gives the size quoted in
    // the failure reason (0 without a list); a null object is named "(null)".
    static void throwInsertOutOfBoundsException(int64_t index, const PeriodList* array);
    static void throwRemoveOutOfBoundsException(int64_t index, const PeriodList* array);
    static void throwBadTypeException(const NSObject* object, const std::string& expectedClass);

    static NSErrorPtr insertOutOfBoundsError(int64_t index, const PeriodList* array);
    static NSErrorPtr removeOutOfBoundsError(int64_t index, const PeriodList* array);
    static NSErrorPtr badTypeError(const NSObject* object, const std::string& expectedClass);

    // Logs the error, then each frame of the calling thread's stack.
    static void printErrorWithCallStack(const NSError& error);

    // Where log lines go (standard error by default); nullptr restores the default.
    static void setLogSinkForTesting(std::function<void(const std::string&)> sink);
};
