#pragma once
#include <cstddef>
#include <memory>
#include <string>

// AES-256 encryption of ZIP entries as WinZip's AE-x format lays it out, on the platform's
// cryptography (CNG in the Windows build, nettle natively): the primitives, then one entry's
// cipher built from them.

// PBKDF2 with HMAC-SHA1. False when the platform refuses.
bool DerivePbkdf2Sha1(const std::string& password, const unsigned char* salt, size_t saltSize,
                      unsigned iterations, unsigned char* key, size_t keySize);

// AES-256 on whole 16-byte blocks, each on its own (ECB): the keystream of the counter mode.
class Aes256Blocks {
public:
    Aes256Blocks();
    ~Aes256Blocks();
    Aes256Blocks(const Aes256Blocks&) = delete;
    Aes256Blocks& operator=(const Aes256Blocks&) = delete;
    bool SetKey(const unsigned char key[32]);
    // `size` is a multiple of 16; `in` and `out` may be the same.
    bool Encrypt(const unsigned char* in, unsigned char* out, size_t size);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// HMAC-SHA1, fed in pieces.
class HmacSha1 {
public:
    HmacSha1();
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;
    bool Start(const unsigned char* key, size_t size);
    bool Add(const unsigned char* data, size_t size);
    bool Finish(unsigned char digest[20]);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

constexpr size_t kZipAesSaltSize = 16;     // AES-256
constexpr size_t kZipAesVerifierSize = 2;
constexpr size_t kZipAesMacSize = 10;
// What an AES entry's data holds beyond the (compressed) data itself.
constexpr size_t kZipAesOverhead = kZipAesSaltSize + kZipAesVerifierSize + kZipAesMacSize;

// An entry's salt and what the password derives from it (1000 rounds of PBKDF2-HMAC-SHA1): the
// encryption key, the authentication key and the password verifier, in that order.
struct ZipAesKeys {
    unsigned char salt[kZipAesSaltSize] = {};
    unsigned char derived[2 * 32 + kZipAesVerifierSize] = {};
};
// Fills `keys->derived` from the UTF-8 `password` and `keys->salt`. False when the platform failed.
bool DeriveZipAesKeys(const std::string& password, ZipAesKeys* keys);

// One entry's encryption or decryption: keys from the password and the salt, AES-CTR with a
// little-endian counter from 1, HMAC-SHA1 over the encrypted bytes. Every call returns false
// when the platform failed; the entry must then be given up.
class ZipAesCipher {
public:
    // `password` is UTF-8. Puts the password verifier into `verifier`.
    bool Start(const std::string& password, const unsigned char salt[kZipAesSaltSize],
               unsigned char verifier[kZipAesVerifierSize]);
    // The same from keys derived already.
    bool Start(const ZipAesKeys& keys, unsigned char verifier[kZipAesVerifierSize]);
    // In place, in pieces of any size.
    bool Encrypt(unsigned char* data, size_t size);
    bool Decrypt(unsigned char* data, size_t size);
    // The authentication code of everything encrypted or decrypted since Start.
    bool Finish(unsigned char mac[kZipAesMacSize]);

private:
    bool Crypt(unsigned char* data, size_t size);

    Aes256Blocks aes_;
    HmacSha1 hmac_;
    unsigned char counter_[16] = {};
    // Keystream of many blocks per platform call: under Wine, 100 MiB took 2.7 s with 4 KiB of
    // it, 2.3 s with 16 KiB.
    unsigned char stream_[16384] = {};
    size_t streamUsed_ = sizeof stream_;
};
