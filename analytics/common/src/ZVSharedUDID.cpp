#include <analytics_common/ZVSharedUDID.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSUUID.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Random.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_system/CommonDigest.h>
#include <platform_uikit/UIPasteboard.h>

namespace {

constexpr const char* kKey = "SharedUDID";
constexpr const char* kAppUID = "SharedUDID_appUID";
constexpr const char* kCreated = "SharedUDID_createdTS";
constexpr const char* kSlot = "SharedUDID_slot";
constexpr const char* kOptOut = "SharedUDID_optOutTS";
constexpr const char* kType = "org.SharedUDID";
constexpr const char* kSlotPrefix = "org.SharedUDID.slot.";
constexpr int kSlots = 100;

std::mutex mutex;
std::string cache;

Value pasteboard(const std::string& name, bool create) { return Value(UIPasteboard::pasteboardWithName(name, create)); }

NSErrorPtr makeError(int code, const std::string& message) {
    return NSError::errorWithDomain(kType, code, Value::Dictionary{{Value("description"), Value(message)}});
}

std::shared_ptr<NSUserDefaults> defaults() { return NSUserDefaults::standardUserDefaults(); }

}  // namespace

std::string ZVSharedUDID::_generateFreshSharedUDID() {
    const std::string uuid = NSUUID::UUID()->UUIDString();
    const auto digest = CCMD5Data(uuid);
    char tail[16];
    std::snprintf(tail, sizeof tail, "%08lx", static_cast<unsigned long>(arc4random()));
    return CCHexString(digest.data(), digest.size(), HexCase::Lower) + tail;
}

Value ZVSharedUDID::_getDictFromPasteboard(const Value& pb) {
    Value out = Value::mutableDictionary();
    auto board = pb.objectAs<UIPasteboard>();
    auto data = board ? board->dataForPasteboardType(kType) : std::nullopt;
    if (!data) return out;
    NSErrorPtr error;
    const Value dict = NSKeyedUnarchiver::unarchiveObjectWithData(*data, &error);
    if (error || !dict.isDictionary()) return out;
    return dict.mutableCopy();
}

void ZVSharedUDID::_setDict(const Value& dict, const Value& pb) {
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(dict, false);
    auto board = pb.objectAs<UIPasteboard>();
    if (board && !archive.empty()) board->setData(archive, kType);
}

std::string ZVSharedUDID::value() { return valueWithError(nullptr); }

std::string ZVSharedUDID::valueWithError(NSErrorPtr* error) {
    std::lock_guard lock(mutex);
    if (!cache.empty()) {
        if (error) *error = makeError(0, "SharedUDID in cache from first call");
        return cache;
    }
    auto d = defaults();
    const Value storedApp = d->objectForKey(kAppUID);
    const std::string appUID = storedApp.isString() ? std::string(storedApp.asString()) : NSUUID::UUID()->UUIDString();

    Value local;
    if (Value r = d->objectForKey(kKey); r.isDictionary()) local = r.mutableCopy();
    std::string stored = local.objectForKey(kKey).isString() ? std::string(local.objectForKey(kKey).asString()) : "";
    Value optOutDate = local.objectForKey(kOptOut);
    bool optedOut = !optOutDate.isNull();

    std::optional<std::string> freeSlot, ownSlot;
    std::vector<std::string> firstSeen;  // identifiers in the order their slots were met
    std::map<std::string, int> tally;
    for (int n = 0; n < kSlots; ++n) {
        const std::string name = kSlotPrefix + std::to_string(n);
        const Value pb = pasteboard(name, false);
        Value record = pb.isNull() ? Value::mutableDictionary() : _getDictFromPasteboard(pb);
        const Value& id = record.objectForKey(kKey);
        if (pb.isNull() || !id.isString()) {
            if (!freeSlot) freeSlot = name;
        }
        if (!pb.isNull() && id.isString()) {
            const std::string s(id.asString());
            if (!tally.count(s)) firstSeen.push_back(s);
            ++tally[s];
        }
        if (!pb.isNull() && record.objectForKey(kAppUID) == Value(appUID)) {
            ownSlot = name;
            if (optedOut) {
                optOutDate = record.objectForKey(kOptOut);
                optedOut = !optOutDate.isNull();
            }
        }
    }
    // Ascending tally, stable over first-seen order: the last is the most reliable.
    std::stable_sort(firstSeen.begin(), firstSeen.end(),
                     [&](const std::string& a, const std::string& b) { return tally[a] < tally[b]; });
    const std::optional<std::string> reliable =
        firstSeen.empty() ? std::nullopt : std::optional<std::string>(firstSeen.back());

    bool save = false, discrepancy = false;
    std::string answer;
    if (stored.empty()) {
        answer = reliable.value_or(_generateFreshSharedUDID());
        if (local.isNull()) {
            local = Value::mutableDictionary();
            local.setObject(Value(answer), kKey);
            local.setObject(Value(appUID), kAppUID);
            local.setObject(Value(NSDate::date()), kCreated);
            save = true;
        }
    } else {
        answer = stored;
        discrepancy = reliable && *reliable != stored;
    }
    if (freeSlot && (!ownSlot || *freeSlot == *ownSlot)) {
        const Value pb = pasteboard(*freeSlot, true);
        if (!pb.isNull()) {
            pb.objectAs<UIPasteboard>()->setPersistent(true);
            if (!local.isNull()) {
                local.setObject(Value(*freeSlot), kSlot);
                if (!answer.empty()) _setDict(local, pb);
                save = true;
            }
        }
    }
    if (save && !local.isNull()) d->setObject(local, kKey);

    if (optedOut) {
        if (error)
            *error = makeError(1, "Application with unique id " + appUID + " is opted-out from SharedUDID as of " +
                                      optOutDate.description());
        answer = std::string(40, '0');
    } else if (error) {
        *error = discrepancy ? makeError(2,
                                         "Found a discrepancy between stored SharedUDID (reliable) and redundant "
                                         "copies; one of the apps on the device is most likely corrupting the "
                                         "SharedUDID protocol")
                             : makeError(0, "SharedUDID succesfully retrieved");
    }
    cache = answer;
    return answer;
}

void ZVSharedUDID::setOptOut(bool optOut) {
    (void)value();
    std::lock_guard lock(mutex);
    auto d = defaults();
    Value record = d->objectForKey(kKey);
    record = record.isDictionary() ? record.mutableCopy() : Value::mutableDictionary();
    if (optOut) record.setObject(Value(NSDate::date()), kOptOut);
    else record.removeObjectForKey(kOptOut);
    d->setObject(record, kKey);
    cache.clear();
}

void ZVSharedUDID::resetCacheForTesting() {
    std::lock_guard lock(mutex);
    cache.clear();
}
