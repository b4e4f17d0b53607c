#include <networking/NKURLSessionTaskSwizzling.h>
#include <networking/NKNetworkingNotifications.h>

#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLSessionTask.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

// The receiver's task state; a receiver that is not a task answers "canceling", as the
// hook class's own `state` does.
int64_t stateOf(NSObject& receiver) {
    if (auto* task = dynamic_cast<NSURLSessionTask*>(&receiver)) return task->state();
    return invokeMethod<int64_t()>(receiver, "state");
}

void postFor(NSObject& receiver, const char* name) {
    NSNotificationCenter::defaultCenter()->postNotificationName(name, Value(receiver.shared_from_this()));
}

void addHookMethods(ObjCClass& hook) {
    hook.addMethod("state", makeInstanceImp<int64_t()>([](NSObject&) -> int64_t { return NSURLSessionTaskStateCanceling; }),
                   "q16@0:8");
    // After the exchange "nk_resume" names the task class's former "resume".
    hook.addMethod("nk_resume", makeInstanceImp<void()>([](NSObject& self) {
                       int64_t state = stateOf(self);
                       invokeMethod<void()>(self, "nk_resume");
                       if (state != NSURLSessionTaskStateRunning) postFor(self, NKNSURLSessionTaskDidResumeNotification);
                   }),
                   "v16@0:8");
    hook.addMethod("nk_suspend", makeInstanceImp<void()>([](NSObject& self) {
                       int64_t state = stateOf(self);
                       invokeMethod<void()>(self, "nk_suspend");
                       if (state != NSURLSessionTaskStateSuspended) postFor(self, NKNSURLSessionTaskDidSuspendNotification);
                   }),
                   "v16@0:8");
}

void swizzle(ObjCClass& hook, ObjCClass& cls, const char* original, const char* replacement) {
    ObjCMethod* hookMethod = hook.ownInstanceMethod(replacement);
    if (!hookMethod) return;
    if (cls.addMethod(replacement, hookMethod->implementation(), hookMethod->typeEncoding())) {
        if (ObjCMethod* own = cls.ownInstanceMethod(original)) {
            method_exchangeImplementations(own, cls.ownInstanceMethod(replacement));
        } else {
            cls.exchangeInstanceMethods(original, replacement);
        }
    }
}

void installFrom(ObjCClass& hook) {
    ObjCMethod* hookResume = hook.ownInstanceMethod("nk_resume");
    if (!hookResume || !NSClassFromString("NSURLSessionTask")) return;
    IMP hookImp = hookResume->implementation();
    // Every concrete task class inherits from the data task or the task class; wrapping
    // each class that defines its own "resume" covers those that only inherit it.
    for (ObjCClass* start : {&NSURLSessionDataTask::classObject(), &NSURLSessionDownloadTask::classObject()}) {
        for (ObjCClass* cls = start; cls && cls->instancesRespondToSelector("resume"); cls = cls->superclass()) {
            ObjCMethod* own = cls->instanceMethod("resume");
            ObjCMethod* inherited = cls->superclass() ? cls->superclass()->instanceMethod("resume") : nullptr;
            IMP ownImp = own ? own->implementation() : nullptr;
            IMP superImp = inherited ? inherited->implementation() : nullptr;
            if (ownImp && ownImp != superImp && ownImp != hookImp) {
                swizzle(hook, *cls, "resume", "nk_resume");
                swizzle(hook, *cls, "suspend", "nk_suspend");
            }
        }
    }
}

}  // namespace

void NKInstallTaskResumeSuspendHook(ObjCClass& hookClass) {
    if (!hookClass.ownInstanceMethod("nk_resume")) addHookMethods(hookClass);
    installFrom(hookClass);
}

void NKSwizzleResumeAndSuspend(ObjCClass& hookClass, ObjCClass& cls) {
    if (!hookClass.ownInstanceMethod("nk_resume")) addHookMethods(hookClass);
    swizzle(hookClass, cls, "resume", "nk_resume");
    swizzle(hookClass, cls, "suspend", "nk_suspend");
}

void _NKURLSessionTaskSwizzling::installIntoTaskClasses() { NKInstallTaskResumeSuspendHook(classObject()); }

void _NKURLSessionTaskSwizzling::swizzleResumeAndSuspendMethodForClass(ObjCClass& cls) {
    NKSwizzleResumeAndSuspend(classObject(), cls);
}

NS_CLASS_LOAD(_NKURLSessionTaskSwizzling) { NKInstallTaskResumeSuspendHook(cls); }
