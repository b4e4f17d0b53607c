#include <crash_core/CRZombie.h>

#include <platform_runtime/NSException.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/ObjCClassRecord.h>
#include <platform_runtime/ObjCMethod.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uintptr_t kCacheMask = 0x7FFF;
constexpr int kNameLength = 100;
constexpr int kReasonLength = 900;

struct Zombie {
    const void* object;
    const char* className;
};

std::atomic<bool> gEnabled{false};
Zombie* volatile gCache = nullptr;

struct {
    volatile uintptr_t address;
    char name[kNameLength];
    char reason[kReasonLength];
} gLastException;

using DeallocFn = ObjCTypedImp<void(NSObject&)>;
// The root's implementation before ours, kept for the process.
const DeallocFn* gPreviousDealloc = nullptr;

inline uintptr_t slotOf(const void* object) { return (uintptr_t(object) >> 7) & kCacheMask; }

void remember(const void* object, const char* className) {
    Zombie* cache = gCache;
    if (!cache) return;
    Zombie& entry = cache[slotOf(object)];
    entry.object = object;
    entry.className = className;
}

// The name in the class record the object still carries: the destructors of its subclass
// parts have run, but the record pointer is the one it was made with.
const char* recordName(const NSObject& object) {
    const auto* record = *reinterpret_cast<const ObjCClassRecord* const*>(reinterpret_cast<const char*>(&object) +
                                                                           NSObject::isaOffset());
    if (!record || record->magic != OBJC_CLASS_RECORD_MAGIC) return nullptr;
    return record->name;
}

void copyCut(char* destination, int capacity, const char* source) {
    int n = 0;
    while (n < capacity - 1 && source[n] != '\0') {
        destination[n] = source[n];
        ++n;
    }
    destination[n] = '\0';
}

void onExceptionDeallocated(const void* address, const char* name, const char* reason) {
    remember(address, "NSException");
    gLastException.address = uintptr_t(address);
    copyCut(gLastException.name, kNameLength, name ? name : "");
    copyCut(gLastException.reason, kReasonLength, reason ? reason : "");
}

void install() {
    // Zero-filled, for the process.
    auto* cache = static_cast<Zombie*>(std::calloc(kCacheMask + 1, sizeof(Zombie)));
    if (!cache) return;
    gCache = cache;
    gLastException.address = 0;
    gLastException.name[0] = '\0';
    gLastException.reason[0] = '\0';
    NSExceptionSetDeallocationHook(onExceptionDeallocated);

    ObjCMethod* method = NSObject::classObject().ownInstanceMethod("dealloc");
    if (!method) return;
    static IMP previous;  // keeps the replaced implementation alive
    previous = method->implementation();
    gPreviousDealloc = dynamic_cast<const DeallocFn*>(previous.get());
    method->setImplementation(makeInstanceImp<void()>([](NSObject& self) {
        remember(&self, recordName(self));
        if (gPreviousDealloc) (*gPreviousDealloc)(self);
    }));
}

void setEnabled(bool enabled) {
    // Once on, it stays on: the replacement cannot be taken back safely while objects
    // are being destroyed on other threads.
    if (!enabled) return;
    if (gEnabled.exchange(true)) return;
    install();
}

bool isEnabled() { return gEnabled.load(); }

void addContextualInfo(CRCrashEventContext* event) {
    if (!gEnabled.load()) return;
    event->ZombieException.address = gLastException.address;
    event->ZombieException.name = gLastException.name;
    event->ZombieException.reason = gLastException.reason;
}

const CRMonitorAPI kAPI = {setEnabled, isEnabled, nullptr, addContextualInfo, nullptr};

}  // namespace

extern "C" {

const char* crzombie_className(const void* object) {
    Zombie* cache = gCache;
    if (!object || !cache) return nullptr;
    const Zombie& entry = cache[slotOf(object)];
    return entry.object == object ? entry.className : nullptr;
}

const CRMonitorAPI* crcm_zombie_getAPI(void) { return &kAPI; }

void crzombie_lastDeallocatedException(uintptr_t* address, const char** name, const char** reason) {
    if (address) *address = gLastException.address;
    if (name) *name = gLastException.name;
    if (reason) *reason = gLastException.reason;
}

}  // extern "C"
