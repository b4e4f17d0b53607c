#pragma once
// Keychain items (generic passwords): add, find, update and delete by service and account.
//
// Items live in one file per app (by bundle identifier) under the device root, so they
// survive the app's sandbox being deleted. The file is a property list encrypted with
// AES-256-GCM under a random per-device key (its own file, mode 0600) and is rewritten
// atomically on every change; a file that fails to decrypt or parse is set aside and reads
// as empty. Any thread; calls are serialised within the process.
//
// Queries and attributes are dictionaries with the keys below; results come back in *result.

#include <cstdint>
#include <string>

#include <platform_foundation/Random.h>  // errSecSuccess
#include <platform_runtime/Value.h>

using OSStatus = int32_t;
inline constexpr OSStatus errSecItemNotFound = -25300;
inline constexpr OSStatus errSecDuplicateItem = -25299;
#ifndef PLATFORM_ERR_SEC_PARAM  // also declared by platform/net's status codes
#define PLATFORM_ERR_SEC_PARAM
inline constexpr OSStatus errSecParam = -50;
#endif

inline constexpr char kSecClass[] = "class";
inline constexpr char kSecClassGenericPassword[] = "genp";
inline constexpr char kSecAttrService[] = "svce";
inline constexpr char kSecAttrAccount[] = "acct";
inline constexpr char kSecAttrAccessible[] = "pdmn";
inline constexpr char kSecAttrAccessibleAfterFirstUnlock[] = "ck";
inline constexpr char kSecAttrAccessibleAlways[] = "dk";
inline constexpr char kSecAttrAccessibleWhenUnlocked[] = "ak";
inline constexpr char kSecValueData[] = "v_Data";
inline constexpr char kSecReturnData[] = "r_Data";
inline constexpr char kSecReturnAttributes[] = "r_Attributes";
inline constexpr char kSecMatchLimit[] = "m_Limit";
inline constexpr char kSecMatchLimitOne[] = "m_LimitOne";
inline constexpr char kSecMatchLimitAll[] = "m_LimitAll";

// errSecParam for a class other than generic password or a missing service and account
// pair (add); errSecDuplicateItem when the pair exists.
OSStatus SecItemAdd(const Value& attributes, Value* result);
// With kSecReturnData: the data of the first match (match limit one) or an array of data;
// with kSecReturnAttributes: dictionaries of service, account, accessible (and data when
// both are asked). errSecItemNotFound when nothing matches.
OSStatus SecItemCopyMatching(const Value& query, Value* result);
OSStatus SecItemUpdate(const Value& query, const Value& attributesToUpdate);
OSStatus SecItemDelete(const Value& query);

// The file of the calling app's items (for tests that look at or damage it).
std::string SecKeychainFilePathForTesting();
