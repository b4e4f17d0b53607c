#pragma once
// The hook that makes every session task of the process announce its own resume and
// suspend: installed once at class load into the task classes' "resume" / "suspend" slots.

#include <platform_runtime/ObjCDeclare.h>

class _NKURLSessionTaskSwizzling : public NSObject {
    NS_CLASS(_NKURLSessionTaskSwizzling, NSObject)
public:
    // Wraps "resume" / "suspend" of every task class that defines its own, once; classes
    // that already carry an "nk_resume" (an earlier installation, ours or another copy's)
    // stay as they are. Runs at class load; calling it again changes nothing.
    static void installIntoTaskClasses();
    static void swizzleResumeAndSuspendMethodForClass(ObjCClass& cls);
};

// The same installation for a copy of the hook under another class: its "nk_resume" /
// "nk_suspend" implementations are the ones added to the task classes.
void NKInstallTaskResumeSuspendHook(ObjCClass& hookClass);
// Wraps "resume" / "suspend" of one class with the hook class's implementations, unless
// the class already carries "nk_resume" / "nk_suspend".
void NKSwizzleResumeAndSuspend(ObjCClass& hookClass, ObjCClass& cls);
