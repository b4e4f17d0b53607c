#pragma once
// The monitoring kit's copy of the hook that makes every session task of the process
// announce its resume and suspend (the same notification names as the app's). Whichever
// copy is installed first wraps the task classes; the other finds "nk_resume" there and
// changes nothing, so each resume posts once.

#include <platform_runtime/ObjCDeclare.h>

class ZUD_NKURLSessionTaskSwizzling : public NSObject {
    NS_CLASS(ZUD_NKURLSessionTaskSwizzling, NSObject)
public:
    // Runs at class load; calling it again changes nothing.
    static void installIntoTaskClasses();
    static void swizzleResumeAndSuspendMethodForClass(ObjCClass& cls);
};
