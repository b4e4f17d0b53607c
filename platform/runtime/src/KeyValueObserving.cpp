#include <platform_runtime/KeyValueObserving.h>

#include <algorithm>
#include <array>
#include <atomic>

#include <platform_runtime/ObjCClass.h>

#include <platform_runtime/ObjCProperty.h>

#include "NSObjectSideTable.h"
#include "RuntimeLock.h"

namespace {

using Observation = NSObjectSideTable::Observation;

std::string firstKey(const std::string& keyPath) {
    return keyPath.substr(0, keyPath.find('.'));
}

std::string_view firstKeyOf(std::string_view keyPath) { return keyPath.substr(0, keyPath.find('.')); }

// What an observation of observedPath needs of cls: the keys whose change concerns it (the
// path's first key, and the keys the class declares as affecting it, transitively, followed
// 17 steps deep so that a cycle in the declarations ends) and the getter of a one-step path.
std::shared_ptr<const Observation::Resolution> resolve(const ObjCClass& cls, const std::string& observedPath,
                                                       uint64_t generation) {
    auto r = std::make_shared<Observation::Resolution>();
    r->cls = &cls;
    r->generation = generation;
    std::vector<std::string> level{std::string(firstKeyOf(observedPath))};
    for (int depth = 0; !level.empty(); ++depth) {
        std::vector<std::string> next;
        for (auto& key : level) {
            if (std::find(r->concerningKeys.begin(), r->concerningKeys.end(), key) != r->concerningKeys.end()) continue;
            r->concerningKeys.push_back(key);
            if (depth > 16) continue;
            for (const auto& path : cls.keyPathsForValuesAffectingValueForKey(key))
                next.emplace_back(firstKeyOf(path));
        }
        level = std::move(next);
    }
    if (observedPath.find('.') == std::string::npos) r->property = cls.property(observedPath);
    return r;
}

// This thread's emptied item list, kept for its next change (an object under observation
// usually changes again).
std::vector<NSObjectSideTable::PendingItem>& spareItems() {
    thread_local std::vector<NSObjectSideTable::PendingItem> spare;
    return spare;
}

// The key's bit in a side table's key filter.
uint64_t keyBit(std::string_view key) {
    const std::size_t h = key.empty() ? 0 : key.size() * 7 + static_cast<unsigned char>(key.front()) +
                                                 static_cast<unsigned char>(key.back()) * 3u;
    return uint64_t{1} << (h & 63);
}

uint64_t currentGeneration() { return objc_detail::keyValueGeneration().load(std::memory_order_acquire); }

// The observed value, through the getter worked out for the object's class (cls, as the caller
// found it) while that holds.
Value observedValue(const NSObject& object, const ObjCClass& cls, const Observation& o, const NSObjectSideTable::Getter& g) {
    if (g.property && g.cls == &cls && g.generation == currentGeneration()) return g.property->get(object);
    return object.valueForKeyPath(o.keyPath);
}

bool sameObserver(const Observation& o, const NSObject& observer) {
    if (!o.weakHeld) return o.rawObserver == &observer;
    auto held = o.weakObserver.lock();
    return held.get() == &observer;
}

// Observes the rest of a key path on the object at the path's first step and passes its
// notifications on as changes of the whole path of the root object.
class KeyPathForwarder : public NSObject {
public:
    KeyPathForwarder(const Observation& o, NSObject* root)
        : weakObserver_(o.weakObserver),
          rawObserver_(o.rawObserver),
          weakHeld_(o.weakHeld),
          root_(root),
          path_(o.keyPath),
          rest_(o.keyPath.substr(o.keyPath.find('.') + 1)),
          options_(o.options & ~static_cast<unsigned>(NSKeyValueObservingOptionInitial)),
          context_(o.context) {}
    ~KeyPathForwarder() override { unbind(); }

    void bind(const Value& value) {
        unbind();
        if (!value.isObject()) return;
        target_ = value.asObject();
        value.asObject()->addObserver(*this, rest_, options_);
    }
    void unbind() {
        if (auto target = target_.lock()) target->removeObserver(*this, rest_);
        target_.reset();
    }

    void observeValueForKeyPath(const std::string&, NSObject*, const Value& change, void*) override {
        std::shared_ptr<NSObject> hold;
        NSObject* observer = rawObserver_;
        if (weakHeld_) {
            hold = weakObserver_.lock();
            observer = hold.get();
        }
        if (observer) observer->observeValueForKeyPath(path_, root_, change, context_);
    }

private:
    std::weak_ptr<NSObject> weakObserver_;
    NSObject* rawObserver_;
    bool weakHeld_;
    NSObject* root_;  // owns this forwarder through its observation record
    std::string path_;
    std::string rest_;
    unsigned options_;
    void* context_;
    std::weak_ptr<NSObject> target_;
};

// A setting change's dictionary, built in one go from entries already in key order (observed
// properties change often: inserting entry by entry, or sorting them, cost more than the change).
// The old and new values given are moved into it. A dictionary the observers let go of serves
// the thread's next change of the same shape (kept as the change ends): its keys stay and only
// its values are written, so a steady stream of changes makes no dictionary at all.
class SettingChange {
public:
    SettingChange(Value* old, Value* now, bool prior)
        : shape_((old ? kOld : 0) | (now ? kNew : 0) | (prior ? kPrior : 0)), spare_(spareOf()) {
        const Layout& layout = layouts()[shape_];
        if (spare_.shape == shape_) {
            change_ = std::move(spare_.change);
            entries_ = spare_.entries;
            spare_.shape = -1;
        } else {
            std::vector<std::pair<Value, Value>> entries;
            entries.reserve(layout.count);
            for (int i = 0; i < layout.count; ++i) entries.emplace_back(keyOf(layout.slots[i]), Value());
            change_ = Value(Value::Dictionary::fromSortedUnique(std::move(entries)));
            change_.setMutable(true);  // as a mutable dictionary made empty and filled
            entries_ = change_.mutableDictionaryPayload();
        }
        // The payload is this change's alone here (checked when kept), so it is written in place.
        auto it = entries_->begin();
        for (int i = 0; i < layout.count; ++i, ++it) {
            switch (layout.slots[i]) {
                case Kind: it->second = Value(static_cast<int>(NSKeyValueChangeSetting)); break;
                case New: it->second = std::move(*now); break;
                case Old: it->second = std::move(*old); break;
                case Prior: it->second = Value(true); break;
            }
        }
    }
    SettingChange(const SettingChange&) = delete;
    SettingChange& operator=(const SettingChange&) = delete;
    // Kept for the next change when no one else holds the dictionary; its values are let go
    // of now (they may be objects whose lifetime the observers expect to end here).
    ~SettingChange() {
        if (!change_.hasUniquePayload()) return;
        std::atomic_thread_fence(std::memory_order_acquire);  // pairs with the release of the last other holder
        for (auto& entry : *entries_) entry.second = Value();
        spare_.change = std::move(change_);
        spare_.entries = entries_;
        spare_.shape = shape_;
    }

    const Value& value() const { return change_; }

private:
    enum Slot { Kind, New, Old, Prior };
    static constexpr int kOld = 1, kNew = 2, kPrior = 4;
    struct Spare {
        Value change;
        Value::Dictionary* entries = nullptr;  // change's payload, while shape says what it holds
        int shape = -1;
    };
    // The slots a shape holds, in the dictionary's key order.
    struct Layout {
        Slot slots[4];
        int count = 0;
    };
    static Spare& spareOf() {
        thread_local Spare spare;
        return spare;
    }
    static Value keyOf(Slot slot) {
        switch (slot) {
            case Kind: return Value(NSKeyValueChangeKindKey);
            case New: return Value(NSKeyValueChangeNewKey);
            case Old: return Value(NSKeyValueChangeOldKey);
            case Prior: return Value(NSKeyValueChangeNotificationIsPriorKey);
        }
        return Value();
    }
    // Every shape's layout, worked out once from the keys' order.
    static const std::array<Layout, 8>& layouts() {
        static const std::array<Layout, 8> all = [] {
            std::array<Slot, 4> order{Kind, New, Old, Prior};
            std::sort(order.begin(), order.end(), [](Slot a, Slot b) { return std::less<Value>()(keyOf(a), keyOf(b)); });
            std::array<Layout, 8> result{};
            for (int shape = 0; shape < 8; ++shape)
                for (Slot slot : order)
                    if (slot == Kind || (slot == New && (shape & kNew)) || (slot == Old && (shape & kOld)) ||
                        (slot == Prior && (shape & kPrior)))
                        result[shape].slots[result[shape].count++] = slot;
            return result;
        }();
        return all;
    }

    int shape_;
    Spare& spare_;
    Value change_;
    Value::Dictionary* entries_ = nullptr;
};

}  // namespace

void NSObject::addObserver(NSObject& observer, const std::string& keyPath, unsigned options, void* context) {
    NSObjectSideTable& side = sideTable();
    auto o = std::make_shared<Observation>();
    o->weakObserver = observer.weak_from_this();
    o->weakHeld = !o->weakObserver.expired();
    if (!o->weakHeld) o->rawObserver = &observer;
    o->keyPath = keyPath;
    o->options = options;
    o->context = context;
    if (keyPath.find('.') != std::string::npos) {
        auto forwarder = std::make_shared<KeyPathForwarder>(*o, this);
        forwarder->bind(valueForKey(firstKey(keyPath)));
        o->forwarder = forwarder;
    }
    {
        std::lock_guard lock(side.kvoMutex);
        o->id = side.nextObservationId++;
        side.observations.push_back(std::move(o));
        side.maskClass = nullptr;  // the new observation's keys are not in the filter yet
    }
    observationCount_.fetch_add(1, std::memory_order_acq_rel);
    if (options & NSKeyValueObservingOptionInitial) {
        Value now = (options & NSKeyValueObservingOptionNew) ? valueForKeyPath(keyPath) : Value();
        SettingChange change(nullptr, (options & NSKeyValueObservingOptionNew) ? &now : nullptr, false);
        observer.observeValueForKeyPath(keyPath, this, change.value(), context);
    }
}

namespace {
// Removes the latest registration matching; answers it (null when there was none).
std::shared_ptr<Observation> removeLatest(NSObjectSideTable& side, const NSObject& observer, const std::string& keyPath,
                                          const void* const* context) {
    std::lock_guard lock(side.kvoMutex);
    auto& list = side.observations;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const Observation& o = **it;
        if (o.keyPath == keyPath && (!context || o.context == *context) && sameObserver(o, observer)) {
            std::shared_ptr<Observation> found = std::move(*it);
            found->removed.store(true, std::memory_order_release);
            list.erase(std::next(it).base());
            return found;
        }
    }
    return nullptr;
}
}  // namespace

void NSObject::removeObserver(NSObject& observer, const std::string& keyPath) {
    NSObjectSideTable* side = sideTableIfAny();
    if (!side) return;
    // The record (and its forwarder) is released here, outside the lock.
    auto removed = removeLatest(*side, observer, keyPath, nullptr);
    if (removed) observationCount_.fetch_sub(1, std::memory_order_acq_rel);
}

void NSObject::removeObserver(NSObject& observer, const std::string& keyPath, void* context) {
    NSObjectSideTable* side = sideTableIfAny();
    if (!side) return;
    void* const ctx = context;
    auto removed = removeLatest(*side, observer, keyPath, &ctx);
    if (removed) observationCount_.fetch_sub(1, std::memory_order_acq_rel);
}

void NSObject::willChangeValueForKey(const std::string& key) {
    NSObjectSideTable* side = sideTableIfAny();
    if (!side || !hasObservers()) return;
    const ObjCClass& cls = objcClass();
    const uint64_t generation = currentGeneration();
    std::vector<std::shared_ptr<Observation>> gone;  // released after the lock
    NSObjectSideTable::PendingChange pendingChange;  // its key is set once a record is kept
    bool anyOld = false, anyPrior = false;
    {
        std::lock_guard lock(side->kvoMutex);
        auto& list = side->observations;
        // Observers that went away without removing themselves are dropped here.
        for (auto it = list.begin(); it != list.end();) {
            if ((*it)->weakHeld && (*it)->weakObserver.expired()) {
                (*it)->removed.store(true, std::memory_order_release);
                gone.push_back(std::move(*it));
                it = list.erase(it);
            } else {
                ++it;
            }
        }
        if (!gone.empty()) observationCount_.fetch_sub(static_cast<unsigned>(gone.size()), std::memory_order_acq_rel);
        auto& items = pendingChange.items;
        // The filter answers most changes of keys nobody observes (a view's frame and bounds
        // while only its offset is observed) without going through the observations.
        const bool maskHolds = side->maskClass == &cls && side->maskGeneration == generation;
        if (!maskHolds || (side->keyMask & keyBit(key))) {
            uint64_t mask = 0;
            for (auto& o : list) {
                if (!o->resolution || o->resolution->cls != &cls || o->resolution->generation != generation)
                    o->resolution = resolve(cls, o->keyPath, generation);
                const Observation::Resolution& r = *o->resolution;
                if (!maskHolds)
                    for (const auto& k : r.concerningKeys) mask |= keyBit(k);
                if (std::find(r.concerningKeys.begin(), r.concerningKeys.end(), key) == r.concerningKeys.end()) continue;
                if (items.empty()) items.swap(spareItems());
                items.push_back({o, {r.cls, r.generation, r.property}, Value()});
                anyOld = anyOld || (o->options & NSKeyValueObservingOptionOld);
                anyPrior = anyPrior || (o->options & NSKeyValueObservingOptionPrior);
            }
            if (!maskHolds) {
                side->keyMask = mask;
                side->maskClass = &cls;
                side->maskGeneration = generation;
            }
        }
        // A change that concerns no one needs a record only to pair with an enclosing change
        // of the same key (did-changes take the latest record of their key).
        if (items.empty() && std::none_of(side->pending.begin(), side->pending.end(),
                                          [&](const NSObjectSideTable::PendingChange& p) { return p.key == key; }))
            return;
        // Nothing to read before the change: the record is kept at once.
        if (!anyOld && !anyPrior) {
            pendingChange.key = key;
            side->pending.push_back(std::move(pendingChange));
            return;
        }
    }
    pendingChange.key = key;
    if (anyOld)
        for (auto& item : pendingChange.items) {
            const Observation& o = *item.observation;
            if (o.options & NSKeyValueObservingOptionOld) item.old = observedValue(*this, cls, o, item.getter);
        }
    // The prior notifications go out after the change is recorded, from a copy of what they need.
    std::vector<NSObjectSideTable::PendingItem> prior;
    if (anyPrior)
        for (const auto& item : pendingChange.items)
            if (item.observation->options & NSKeyValueObservingOptionPrior) prior.push_back(item);
    {
        std::lock_guard lock(side->kvoMutex);
        side->pending.push_back(std::move(pendingChange));
    }
    for (auto& item : prior) {
        const Observation& o = *item.observation;
        std::shared_ptr<NSObject> hold;
        NSObject* observer = o.observer(hold);
        if (!observer) continue;
        SettingChange change((o.options & NSKeyValueObservingOptionOld) ? &item.old : nullptr, nullptr, true);
        observer->observeValueForKeyPath(o.keyPath, this, change.value(), o.context);
    }
}

void NSObject::didChangeValueForKey(const std::string& key) {
    NSObjectSideTable* side = sideTableIfAny();
    if (!side) return;
    std::vector<NSObjectSideTable::PendingItem> items;
    {
        std::lock_guard lock(side->kvoMutex);
        auto& pending = side->pending;
        auto it = std::find_if(pending.rbegin(), pending.rend(),
                               [&](const NSObjectSideTable::PendingChange& p) { return p.key == key; });
        if (it == pending.rend()) return;
        items = std::move(it->items);
        if (it == pending.rbegin())
            pending.pop_back();
        else
            pending.erase(std::next(it).base());
    }
    for (const auto& item : items) {
        const Observation& o = *item.observation;
        if (o.forwarder && firstKeyOf(o.keyPath) == key)
            static_cast<KeyPathForwarder&>(*o.forwarder).bind(valueForKey(key));
    }
    const ObjCClass* cls = nullptr;  // found for the first new value read
    for (auto& item : items) {
        const Observation& o = *item.observation;
        // Skip observations removed since the will-change.
        if (o.removed.load(std::memory_order_acquire)) continue;
        std::shared_ptr<NSObject> hold;
        NSObject* observer = o.observer(hold);
        if (!observer) continue;
        Value now;
        if (o.options & NSKeyValueObservingOptionNew) {
            if (!cls) cls = &objcClass();
            now = observedValue(*this, *cls, o, item.getter);
        }
        SettingChange change((o.options & NSKeyValueObservingOptionOld) ? &item.old : nullptr,
                             (o.options & NSKeyValueObservingOptionNew) ? &now : nullptr, false);
        observer->observeValueForKeyPath(o.keyPath, this, change.value(), o.context);
    }
    // The emptied list serves this thread's next change.
    items.clear();
    if (spareItems().capacity() < items.capacity()) spareItems().swap(items);
}

void NSObject::observeValueForKeyPath(const std::string&, NSObject*, const Value&, void*) {}
