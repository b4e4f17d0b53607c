#include <platform_runtime/ObjCPropertyTraits.h>

#include <platform_runtime/NSException.h>

namespace objc_detail {

void raiseWrongValueKind(const char* expected, const Value& got) {
    NSException::raise(NSInvalidArgumentException,
                       std::string("a value of kind ") + got.typeName() + " cannot be stored as " + expected);
}

}  // namespace objc_detail
