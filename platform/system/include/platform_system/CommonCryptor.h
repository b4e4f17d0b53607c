#pragma once
// One-shot AES-CBC encryption and decryption (optional PKCS#7 padding) in the platform's C
// calling shape.

#include <cstddef>
#include <cstdint>

using CCCryptorStatus = int32_t;
using CCOperation = uint32_t;
using CCAlgorithm = uint32_t;
using CCOptions = uint32_t;

enum : CCCryptorStatus {
    kCCSuccess = 0,
    kCCParamError = -4300,
    kCCBufferTooSmall = -4301,
    kCCMemoryFailure = -4302,
    kCCAlignmentError = -4303,
    kCCDecodeError = -4304,
    kCCUnimplemented = -4305,
    kCCKeySizeError = -4310,
};

enum : CCOperation { kCCEncrypt = 0, kCCDecrypt = 1 };

// AES; the key length picks AES-128, -192 or -256.
enum : CCAlgorithm { kCCAlgorithmAES128 = 0, kCCAlgorithmAES = 0 };

enum : CCOptions { kCCOptionPKCS7Padding = 0x0001 };

enum : std::size_t {
    kCCKeySizeAES128 = 16,
    kCCKeySizeAES192 = 24,
    kCCKeySizeAES256 = 32,
    kCCBlockSizeAES128 = 16,
};

// Encrypts or decrypts `dataInLength` bytes into `dataOut` (which may be `dataIn`).
// - The key must be 16, 24 or 32 bytes (else kCCKeySizeError); a null `iv` means sixteen
//   zero bytes.
// - Without padding the input must be a whole number of blocks (else kCCAlignmentError).
// - Decrypting with padding: an input that is empty or not whole blocks is
//   kCCAlignmentError, a bad pad is kCCDecodeError; nothing is reported as success.
// - An output buffer too small for the result is kCCBufferTooSmall, with
//   `*dataOutMoved` set to the size needed.
// `*dataOutMoved` (when given) receives the bytes written.
CCCryptorStatus CCCrypt(CCOperation op, CCAlgorithm alg, CCOptions options, const void* key,
                        std::size_t keyLength, const void* iv, const void* dataIn,
                        std::size_t dataInLength, void* dataOut, std::size_t dataOutAvailable,
                        std::size_t* dataOutMoved);
