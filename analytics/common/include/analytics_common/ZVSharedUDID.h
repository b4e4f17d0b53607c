#pragma once
// A device identifier shared by the apps of one device: each app keeps its record in its
// user defaults ("SharedUDID") and a redundant copy in one of the named persistent
// pasteboards "org.SharedUDID.slot.0" ... "99" (type "org.SharedUDID"). The first call in a
// process reads every slot, adopts the identifier most slots hold (or makes one), claims a
// free slot and caches the answer. The cache and the computation are locked; any thread.

#include <string>

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

struct ZVSharedUDID {
    static std::string value();
    // error: domain "org.SharedUDID", code 0 success, 1 opted out, 2 discrepancy.
    static std::string valueWithError(NSErrorPtr* error);
    static void setOptOut(bool optOut);
    static std::string _generateFreshSharedUDID();
    // The pasteboard's "org.SharedUDID" data unarchived as a mutable dictionary (empty when
    // missing or unreadable). The pasteboard is a UIPasteboard object.
    static Value _getDictFromPasteboard(const Value& pasteboard);
    static void _setDict(const Value& dict, const Value& pasteboard);
    // Forgets the process cache (tests that play a new launch).
    static void resetCacheForTesting();
};
