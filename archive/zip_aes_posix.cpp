#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>

#include "archive/zip_aes.h"

bool DerivePbkdf2Sha1(const std::string& password, const unsigned char* salt, size_t saltSize,
                      unsigned iterations, unsigned char* key, size_t keySize)
{
    pbkdf2_hmac_sha1(password.size(), reinterpret_cast<const uint8_t*>(password.data()),
                     iterations, saltSize, salt, keySize, key);
    return true;
}

struct Aes256Blocks::Impl {
    aes256_ctx context;
};

Aes256Blocks::Aes256Blocks() : impl_(new Impl) {}
Aes256Blocks::~Aes256Blocks() = default;

bool Aes256Blocks::SetKey(const unsigned char key[32])
{
    aes256_set_encrypt_key(&impl_->context, key);
    return true;
}

bool Aes256Blocks::Encrypt(const unsigned char* in, unsigned char* out, size_t size)
{
    if (size % AES_BLOCK_SIZE != 0)
        return false;
    aes256_encrypt(&impl_->context, size, out, in);
    return true;
}

struct HmacSha1::Impl {
    hmac_sha1_ctx context;
};

HmacSha1::HmacSha1() : impl_(new Impl) {}
HmacSha1::~HmacSha1() = default;

bool HmacSha1::Start(const unsigned char* key, size_t size)
{
    hmac_sha1_set_key(&impl_->context, size, key);
    return true;
}

bool HmacSha1::Add(const unsigned char* data, size_t size)
{
    hmac_sha1_update(&impl_->context, size, data);
    return true;
}

bool HmacSha1::Finish(unsigned char digest[20])
{
    hmac_sha1_digest(&impl_->context, SHA1_DIGEST_SIZE, digest);
    return true;
}
