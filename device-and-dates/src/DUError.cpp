#include <device_and_dates/DUError.h>

#include <execinfo.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSStringFormat.h>

namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

std::function<void(const std::string&)>& sink() {
    static std::function<void(const std::string&)> s;
    return s;
}

void log(const std::string& line) {
    std::lock_guard lock(sinkMutex());
    if (sink()) sink()(line);
    else std::fprintf(stderr, "%s\n", line.c_str());
}

std::string mainBundleText(const std::string& key) {
    NSBundlePtr main = NSBundle::mainBundle();
    return main ? main->localizedStringForKey(key, std::string()) : key;
}

NSErrorPtr makeError(DUErrorCode code, std::string reason, const std::string& suggestion) {
    Value::Dictionary info;
    info[NSLocalizedDescriptionKey] = Value(mainBundleText("Operation was unsuccessful."));
    info[NSLocalizedFailureReasonErrorKey] = Value(std::move(reason));
    info[NSLocalizedRecoverySuggestionErrorKey] = Value(mainBundleText(suggestion));
    return NSError::errorWithDomain(DUErrorDomain, code, std::move(info));
}

int64_t sizeOf(const DUError::PeriodList* array) { return array ? static_cast<int64_t>(array->size()) : 0; }

}  // namespace

NSErrorPtr DUError::insertOutOfBoundsError(int64_t index, const PeriodList* array) {
    return makeError(DUInsertOutOfBoundsError,
                     NSStringWithFormat("Attempted to insert DUTimePeriod at index %ld but the group is of size [0...%ld].",
                                        index, sizeOf(array)),
                     "Please try an index within the bounds or the group.");
}

NSErrorPtr DUError::removeOutOfBoundsError(int64_t index, const PeriodList* array) {
    return makeError(DURemoveOutOfBoundsError,
                     NSStringWithFormat("Attempted to remove DUTimePeriod at index %ld but the group is of size [0...%ld].",
                                        index, sizeOf(array)),
                     "Please try an index within the bounds of the group.");
}

NSErrorPtr DUError::badTypeError(const NSObject* object, const std::string& expectedClass) {
    std::string actual = object ? object->className() : std::string("(null)");
    return makeError(DUBadTypeError,
                     NSStringWithFormat("Attempted to insert object of class %@ when expecting object of class %@.",
                                        actual, expectedClass),
                     "Please try again by inserting a DUTimePeriod object.");
}

void DUError::throwInsertOutOfBoundsException(int64_t index, const PeriodList* array) {
    printErrorWithCallStack(*insertOutOfBoundsError(index, array));
}

void DUError::throwRemoveOutOfBoundsException(int64_t index, const PeriodList* array) {
    printErrorWithCallStack(*removeOutOfBoundsError(index, array));
}

void DUError::throwBadTypeException(const NSObject* object, const std::string& expectedClass) {
    printErrorWithCallStack(*badTypeError(object, expectedClass));
}

void DUError::printErrorWithCallStack(const NSError& error) {
    log(NSStringWithFormat("%@", error.description()));
    void* frames[64];
    int depth = backtrace(frames, 64);
    char** symbols = backtrace_symbols(frames, depth);
    if (!symbols) return;
    for (int i = 0; i < depth; ++i) log(NSStringWithFormat("\n\n %@", symbols[i]));
    std::free(symbols);
}

void DUError::setLogSinkForTesting(std::function<void(const std::string&)> s) {
    std::lock_guard lock(sinkMutex());
    sink() = std::move(s);
}
