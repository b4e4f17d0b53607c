#pragma once
// Per-object runtime state made on first need: associated objects and observation records.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/NSObject.h>

#include "ObservationLock.h"

class ObjCClass;
class ObjCProperty;

struct NSObjectSideTable {
    // One registration. Shared between the list and the changes under way; only `resolution`
    // and `removed` change after registration (under kvoMutex).
    struct Observation {
        uint64_t id = 0;
        std::atomic<bool> removed{false};  // set when it leaves the list (removed, or its observer went away)
        std::weak_ptr<NSObject> weakObserver;
        NSObject* rawObserver = nullptr;  // used only when the observer is not shared-owned
        bool weakHeld = false;
        std::string keyPath;
        unsigned options = 0;
        void* context = nullptr;
        // For a key path of several steps: the helper observing the rest of the path on the
        // object at its first step (rebound when that object changes).
        std::shared_ptr<NSObject> forwarder;
        // What the observation needs of the observed object's class, worked out on first need.
        struct Resolution {
            const ObjCClass* cls = nullptr;
            uint64_t generation = 0;
            // The keys whose change concerns the path: its first key and those it depends on.
            std::vector<std::string> concerningKeys;
            // The getter of a one-step path (nullptr for longer paths or an undefined key).
            const ObjCProperty* property = nullptr;
        };
        std::shared_ptr<const Resolution> resolution;

        // The observer, or nullptr once it has gone. `hold` keeps it alive for the call.
        NSObject* observer(std::shared_ptr<NSObject>& hold) const {
            if (!weakHeld) return rawObserver;
            hold = weakObserver.lock();
            return hold.get();
        }
    };
    // How a one-step path was read when a change began: its getter while the object's class
    // and the key-value generation are still these (properties live as long as their class).
    struct Getter {
        const ObjCClass* cls = nullptr;
        uint64_t generation = 0;
        const ObjCProperty* property = nullptr;
    };
    // An observation a change concerns, with what it needs for the did-change: the getter
    // resolved when the change began and the old value.
    struct PendingItem {
        std::shared_ptr<const Observation> observation;
        Getter getter;
        Value old;
    };
    // One will-change awaiting its did-change: the observations it concerns and their old values.
    struct PendingChange {
        std::string key;
        std::vector<PendingItem> items;
    };

    AssociationTable associations;
    ObservationLock kvoMutex;
    std::vector<std::shared_ptr<Observation>> observations;
    std::vector<PendingChange> pending;
    // A filter of the keys whose change concerns some observation (bits of a key's length and
    // end letters), worked out for this class and key-value generation; maskClass is cleared
    // when an observation is added. A key whose bit is clear concerns no one.
    uint64_t keyMask = 0;
    const ObjCClass* maskClass = nullptr;
    uint64_t maskGeneration = 0;
    uint64_t nextObservationId = 1;
};
