#include "archive/zip_aes.h"

#include <cstring>

namespace {
constexpr unsigned kIterations = 1000;
constexpr size_t kKeySize = 32;
}  // namespace

bool DeriveZipAesKeys(const std::string& password, ZipAesKeys* keys)
{
    return DerivePbkdf2Sha1(password, keys->salt, kZipAesSaltSize, kIterations, keys->derived,
                            sizeof keys->derived);
}

bool ZipAesCipher::Start(const std::string& password, const unsigned char salt[kZipAesSaltSize],
                         unsigned char verifier[kZipAesVerifierSize])
{
    ZipAesKeys keys;
    memcpy(keys.salt, salt, kZipAesSaltSize);
    bool ok = DeriveZipAesKeys(password, &keys) && Start(keys, verifier);
    memset(keys.derived, 0, sizeof keys.derived);
    return ok;
}

bool ZipAesCipher::Start(const ZipAesKeys& keys, unsigned char verifier[kZipAesVerifierSize])
{
    const unsigned char* derived = keys.derived;
    bool ok = aes_.SetKey(derived) && hmac_.Start(derived + kKeySize, kKeySize);
    memcpy(verifier, derived + 2 * kKeySize, kZipAesVerifierSize);
    memset(counter_, 0, sizeof counter_);
    streamUsed_ = sizeof stream_;
    return ok;
}

bool ZipAesCipher::Crypt(unsigned char* data, size_t size)
{
    while (size > 0) {
        if (streamUsed_ == sizeof stream_) {
            for (size_t block = 0; block < sizeof stream_; block += 16) {
                // The whole block is one little-endian counter; the first is 1.
                for (unsigned char& byte : counter_)
                    if (++byte != 0)
                        break;
                memcpy(stream_ + block, counter_, 16);
            }
            if (!aes_.Encrypt(stream_, stream_, sizeof stream_))
                return false;
            streamUsed_ = 0;
        }
        size_t chunk = sizeof stream_ - streamUsed_;
        if (chunk > size)
            chunk = size;
        for (size_t i = 0; i < chunk; ++i)
            data[i] ^= stream_[streamUsed_ + i];
        streamUsed_ += chunk;
        data += chunk;
        size -= chunk;
    }
    return true;
}

bool ZipAesCipher::Encrypt(unsigned char* data, size_t size)
{
    return Crypt(data, size) && hmac_.Add(data, size);
}

bool ZipAesCipher::Decrypt(unsigned char* data, size_t size)
{
    return hmac_.Add(data, size) && Crypt(data, size);
}

bool ZipAesCipher::Finish(unsigned char mac[kZipAesMacSize])
{
    unsigned char digest[20];
    if (!hmac_.Finish(digest))
        return false;
    memcpy(mac, digest, kZipAesMacSize);
    return true;
}
