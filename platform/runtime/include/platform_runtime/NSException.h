#pragma once
// The platform's exception as a thrown C++ type, its standard names, and the uncaught-exception hook.

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include <platform_runtime/Value.h>

inline constexpr char NSGenericException[] = "NSGenericException";
inline constexpr char NSRangeException[] = "NSRangeException";
inline constexpr char NSInvalidArgumentException[] = "NSInvalidArgumentException";
inline constexpr char NSInternalInconsistencyException[] = "NSInternalInconsistencyException";
inline constexpr char NSMallocException[] = "NSMallocException";
inline constexpr char NSObjectInaccessibleException[] = "NSObjectInaccessibleException";
inline constexpr char NSObjectNotAvailableException[] = "NSObjectNotAvailableException";
inline constexpr char NSDestinationInvalidException[] = "NSDestinationInvalidException";
inline constexpr char NSPortTimeoutException[] = "NSPortTimeoutException";
inline constexpr char NSCharacterConversionException[] = "NSCharacterConversionException";
inline constexpr char NSParseErrorException[] = "NSParseErrorException";
inline constexpr char NSInvalidArchiveOperationException[] = "NSInvalidArchiveOperationException";
inline constexpr char NSInvalidUnarchiveOperationException[] = "NSInvalidUnarchiveOperationException";
inline constexpr char NSUndefinedKeyException[] = "NSUnknownKeyException";
inline constexpr char NSFileHandleOperationException[] = "NSFileHandleOperationException";

class NSException : public std::exception {
public:
    // Records the call stack of the constructing thread.
    NSException(std::string name, std::string reason, Value::Dictionary userInfo = {});
    NSException(const NSException&) = default;
    NSException(NSException&&) = default;
    NSException& operator=(const NSException&) = default;
    NSException& operator=(NSException&&) = default;
    // Tells the deallocation hook, when one is set.
    ~NSException() override;

    [[noreturn]] static void raise(std::string name, std::string reason, Value::Dictionary userInfo = {});

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }
    // Return addresses captured at construction, innermost frame first.
    const std::vector<uintptr_t>& callStackReturnAddresses() const { return callStack_; }

    const char* what() const noexcept override { return reason_.c_str(); }
    // "<name>: <reason>"
    std::string description() const;

private:
    std::string name_;
    std::string reason_;
    Value::Dictionary userInfo_;
    std::vector<uintptr_t> callStack_;
};

using NSUncaughtExceptionHandler = void (*)(const NSException& exception);

// Called as an exception (of any subclass) is destroyed, on the destroying thread, with its
// address, name and reason; an exception whose contents were moved out (empty name and
// reason) is not reported. Our exceptions are C++ values, not runtime objects, so this is
// how the zombie monitor sees them go. The hook must not throw. nullptr removes it.
using NSExceptionDeallocationHook = void (*)(const void* address, const char* name, const char* reason);
void NSExceptionSetDeallocationHook(NSExceptionDeallocationHook hook);

// Installs the handler the terminate path calls with an in-flight NSException (before the
// previously installed terminate handler runs). nullptr removes it. The first call installs
// the terminate hook once for the process.
void NSSetUncaughtExceptionHandler(NSUncaughtExceptionHandler handler);
NSUncaughtExceptionHandler NSGetUncaughtExceptionHandler();
