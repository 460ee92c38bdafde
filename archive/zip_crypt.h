#pragma once
#include <cstddef>
#include <cstdint>

// Traditional PKWARE encryption ("ZipCrypto"): three 32-bit keys stirred by the password and
// then by every plain byte.
class ZipCryptKeys {
public:
    explicit ZipCryptKeys(const char* password);
    // Encrypts or decrypts in place.
    void Encrypt(unsigned char* data, size_t size);
    void Decrypt(unsigned char* data, size_t size);

private:
    void Update(unsigned char plain);
    unsigned char StreamByte() const;

    uint32_t keys_[3];
};

// Size of the header put in front of every encrypted entry's data.
constexpr unsigned kZipCryptHeaderSize = 12;

// Makes the encrypted header: random bytes, then the two high bytes of the entry's CRC-32, the
// last of which readers compare to check the password. False (and nothing to write) when no
// random bytes could be had: a predictable header would weaken the encryption.
bool MakeZipCryptHeader(ZipCryptKeys* keys, uint32_t crc, unsigned char header[kZipCryptHeaderSize]);

// The operating system's cryptographic random source; false when it fails.
bool SystemRandomBytes(void* buffer, size_t size);
// The source encryption takes its random bytes from: the system's, or the test seam's below.
bool ZipRandomBytes(void* buffer, size_t size);

// Test seam: the header's random bytes come from `source` instead of the system's, so encrypted
// output can be repeated. Null restores the system source.
using ZipRandomSource = bool (*)(void* buffer, size_t size);
void SetZipRandomSourceForTesting(ZipRandomSource source);
