#pragma once
// Per-object monitors for "@synchronized"-style sections: a recursive lock keyed by the
// object's address, made when first entered and dropped when nobody holds or waits for it.

#include <memory>

enum { OBJC_SYNC_SUCCESS = 0, OBJC_SYNC_NOT_OWNING_THREAD_ERROR = -1 };

// Enters the monitor of `obj` (recursively for the owning thread); nullptr does nothing.
int objc_sync_enter(const void* obj);
// Leaves it; OBJC_SYNC_NOT_OWNING_THREAD_ERROR when this thread does not hold it.
int objc_sync_exit(const void* obj);

// Scoped section: `SynchronizedSection sync(this);` holds the object's monitor until the end
// of the scope (also when an exception leaves it).
class SynchronizedSection {
public:
    explicit SynchronizedSection(const void* obj) : obj_(obj) { objc_sync_enter(obj_); }
    template <class T>
    explicit SynchronizedSection(const std::shared_ptr<T>& obj) : SynchronizedSection(static_cast<const void*>(obj.get())) {}
    ~SynchronizedSection() { objc_sync_exit(obj_); }
    SynchronizedSection(const SynchronizedSection&) = delete;
    SynchronizedSection& operator=(const SynchronizedSection&) = delete;

private:
    const void* obj_;
};
