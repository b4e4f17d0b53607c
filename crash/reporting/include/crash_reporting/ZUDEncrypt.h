#pragma once
// Digest and cipher helpers of the uploads: MD5 hex of a text and AES-CBC (PKCS#7 padding,
// zero initialisation vector). Stateless; any thread.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

struct ZUDEncrypt {
    using Bytes = std::vector<uint8_t>;

    // 32 lowercase hex digits of the MD5 of the text's bytes up to its first NUL.
    static std::string generateMD5ByString(std::string_view text);
    // Encrypts the input followed by 16 zero bytes, with a key of the key's length (16, 24 or
    // 32 bytes). nullopt for no input; empty data when the cipher refuses (a bad key length).
    static std::optional<Bytes> aesCBCEncryptData(const std::optional<Bytes>& data, const Bytes& key);
    // The same over the input unchanged.
    static std::optional<Bytes> noAligAESCBCEncryptData(const std::optional<Bytes>& data, const Bytes& key);
    // AES-128-CBC decryption (the key must be 16 bytes); nullopt on any cipher failure (bad
    // key or input length, bad padding).
    static std::optional<Bytes> aesCBCDecryptData(const std::optional<Bytes>& data, const Bytes& key);
};
