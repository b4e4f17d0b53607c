#pragma once
// Message digests (MD5, SHA-1) with the platform's C calling shape, plus raw and hex helpers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using CC_LONG = uint32_t;

inline constexpr std::size_t CC_MD5_DIGEST_LENGTH = 16;
inline constexpr std::size_t CC_SHA1_DIGEST_LENGTH = 20;

// Each writes the digest of `len` bytes at `data` into `md` (which must hold the digest
// length) and answers `md`.
unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA1(const void* data, CC_LONG len, unsigned char* md);

enum class HexCase { Lower, Upper };

// Two hex digits per byte ("%02x" or "%02X").
std::string CCHexString(const void* bytes, std::size_t len, HexCase hexCase = HexCase::Lower);

// Raw digests of a byte string.
std::vector<uint8_t> CCMD5Data(const void* data, std::size_t len);
std::vector<uint8_t> CCSHA1Data(const void* data, std::size_t len);
inline std::vector<uint8_t> CCMD5Data(std::string_view bytes) { return CCMD5Data(bytes.data(), bytes.size()); }
inline std::vector<uint8_t> CCMD5Data(const std::vector<uint8_t>& bytes) { return CCMD5Data(bytes.data(), bytes.size()); }
inline std::vector<uint8_t> CCSHA1Data(std::string_view bytes) { return CCSHA1Data(bytes.data(), bytes.size()); }
inline std::vector<uint8_t> CCSHA1Data(const std::vector<uint8_t>& bytes) { return CCSHA1Data(bytes.data(), bytes.size()); }

// Hex digests of a byte string (32 and 40 characters).
std::string CCMD5Hex(std::string_view bytes, HexCase hexCase = HexCase::Lower);
std::string CCSHA1Hex(std::string_view bytes, HexCase hexCase = HexCase::Lower);
