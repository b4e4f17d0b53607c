#pragma once
// The registry of text encodings: encoding numbers, IANA charset names ("windows-1252",
// "Shift_JIS", any alias ICU knows) and their string-encoding counterparts. Pure functions,
// any thread.

#include <cstdint>
#include <string_view>

#include <platform_foundation/NSStringEncoding.h>

using CFStringEncoding = uint32_t;
inline constexpr CFStringEncoding kCFStringEncodingInvalidId = 0xFFFFFFFFu;
inline constexpr CFStringEncoding kCFStringEncodingMacRoman = 0x0000;
inline constexpr CFStringEncoding kCFStringEncodingWindowsLatin1 = 0x0500;
inline constexpr CFStringEncoding kCFStringEncodingWindowsLatin2 = 0x0501;
inline constexpr CFStringEncoding kCFStringEncodingWindowsCyrillic = 0x0502;
inline constexpr CFStringEncoding kCFStringEncodingWindowsGreek = 0x0503;
inline constexpr CFStringEncoding kCFStringEncodingWindowsLatin5 = 0x0504;
inline constexpr CFStringEncoding kCFStringEncodingISOLatin1 = 0x0201;
inline constexpr CFStringEncoding kCFStringEncodingISOLatin2 = 0x0202;
inline constexpr CFStringEncoding kCFStringEncodingISOLatin5 = 0x0209;
inline constexpr CFStringEncoding kCFStringEncodingISOLatin9 = 0x020F;
inline constexpr CFStringEncoding kCFStringEncodingISOLatinCyrillic = 0x0205;
inline constexpr CFStringEncoding kCFStringEncodingISOLatinGreek = 0x0207;
inline constexpr CFStringEncoding kCFStringEncodingASCII = 0x0600;
inline constexpr CFStringEncoding kCFStringEncodingUnicode = 0x0100;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF16BE = 0x10000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF16LE = 0x14000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF32 = 0x0C000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF32BE = 0x18000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF32LE = 0x1C000100;
inline constexpr CFStringEncoding kCFStringEncodingShiftJIS = 0x0A01;
inline constexpr CFStringEncoding kCFStringEncodingDOSJapanese = 0x0421;
inline constexpr CFStringEncoding kCFStringEncodingEUC_JP = 0x0920;
inline constexpr CFStringEncoding kCFStringEncodingISO_2022_JP = 0x0820;
inline constexpr CFStringEncoding kCFStringEncodingGB_18030_2000 = 0x0632;
inline constexpr CFStringEncoding kCFStringEncodingEUC_CN = 0x0930;
inline constexpr CFStringEncoding kCFStringEncodingBig5 = 0x0A03;
inline constexpr CFStringEncoding kCFStringEncodingEUC_KR = 0x0940;
inline constexpr CFStringEncoding kCFStringEncodingKOI8_R = 0x0A02;
inline constexpr CFStringEncoding kCFStringEncodingKOI8_U = 0x0A08;

// The encoding an IANA charset name (or any alias of it, case ignored) stands for;
// kCFStringEncodingInvalidId for names nobody knows or encodings this platform cannot convert.
[[nodiscard]] CFStringEncoding CFStringConvertIANACharSetNameToEncoding(std::string_view name);

// The string-encoding number of an encoding: the classic numbers where they exist
// (Windows-1252 → 12, EUC-JP → 3, …), else 0x80000000 | encoding; kCFStringEncodingInvalidId
// stays 0xFFFFFFFF, which no conversion accepts.
[[nodiscard]] NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding);
