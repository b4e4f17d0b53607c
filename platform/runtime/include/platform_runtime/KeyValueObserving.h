#pragma once
// Key-value observing: the keys of the change dictionary handed to observeValueForKeyPath.
// Registration and will/did change live on NSObject; dependent keys on ObjCClass
// (NS_AFFECTING_KEYS).

#include <platform_runtime/NSObject.h>

inline constexpr char NSKeyValueChangeKindKey[] = "kind";
inline constexpr char NSKeyValueChangeNewKey[] = "new";
inline constexpr char NSKeyValueChangeOldKey[] = "old";
inline constexpr char NSKeyValueChangeNotificationIsPriorKey[] = "notificationIsPrior";

// Values of the "kind" entry; only setting changes are produced.
enum NSKeyValueChange : int {
    NSKeyValueChangeSetting = 1,
    NSKeyValueChangeInsertion = 2,
    NSKeyValueChangeRemoval = 3,
    NSKeyValueChangeReplacement = 4,
};
