#include <sdk_http/ZUD_NKURLSessionTaskSwizzling.h>

#include <networking/NKURLSessionTaskSwizzling.h>

void ZUD_NKURLSessionTaskSwizzling::installIntoTaskClasses() { NKInstallTaskResumeSuspendHook(classObject()); }

void ZUD_NKURLSessionTaskSwizzling::swizzleResumeAndSuspendMethodForClass(ObjCClass& cls) {
    NKSwizzleResumeAndSuspend(classObject(), cls);
}

NS_CLASS_LOAD(ZUD_NKURLSessionTaskSwizzling) { NKInstallTaskResumeSuspendHook(cls); }
