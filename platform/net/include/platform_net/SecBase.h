#pragma once
// Status codes shared by the certificate, key, policy and trust calls.

#include <cstdint>

using OSStatus = int32_t;

inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus errSecUnimplemented = -4;
#ifndef PLATFORM_ERR_SEC_PARAM  // also declared by the keychain calls of platform/system
#define PLATFORM_ERR_SEC_PARAM
inline constexpr OSStatus errSecParam = -50;
#endif
inline constexpr OSStatus errSecAllocate = -108;
inline constexpr OSStatus errSecDecode = -26275;
inline constexpr OSStatus errSecHostNameMismatch = -67602;
inline constexpr OSStatus errSecCertificateExpired = -67818;
inline constexpr OSStatus errSecCertificateNotValidYet = -67819;
inline constexpr OSStatus errSecNotTrusted = -67843;
inline constexpr OSStatus errSecInvalidCertificateRef = -67846;
