#include <windows.h>
#include <bcrypt.h>

#include "archive/zip_aes.h"

namespace {

// The providers are opened once and kept for the life of the process; CNG allows their use from
// any thread.
BCRYPT_ALG_HANDLE HmacProvider()
{
    static BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA1_ALGORITHM, nullptr,
                                                        BCRYPT_ALG_HANDLE_HMAC_FLAG)))
            handle = nullptr;
        return handle;
    }();
    return provider;
}

BCRYPT_ALG_HANDLE AesEcbProvider()
{
    static BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_AES_ALGORITHM, nullptr, 0)))
            return static_cast<BCRYPT_ALG_HANDLE>(nullptr);
        const wchar_t* mode = BCRYPT_CHAIN_MODE_ECB;
        if (!BCRYPT_SUCCESS(BCryptSetProperty(
                handle, BCRYPT_CHAINING_MODE,
                reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(mode)),
                static_cast<ULONG>((wcslen(mode) + 1) * sizeof(wchar_t)), 0))) {
            BCryptCloseAlgorithmProvider(handle, 0);
            return static_cast<BCRYPT_ALG_HANDLE>(nullptr);
        }
        return handle;
    }();
    return provider;
}

}  // namespace

bool DerivePbkdf2Sha1(const std::string& password, const unsigned char* salt, size_t saltSize,
                      unsigned iterations, unsigned char* key, size_t keySize)
{
    BCRYPT_ALG_HANDLE provider = HmacProvider();
    if (provider == nullptr)
        return false;
    return BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(
        provider, reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
        static_cast<ULONG>(password.size()), const_cast<PUCHAR>(salt),
        static_cast<ULONG>(saltSize), iterations, key, static_cast<ULONG>(keySize), 0));
}

struct Aes256Blocks::Impl {
    BCRYPT_KEY_HANDLE key = nullptr;

    void Release()
    {
        if (key != nullptr)
            BCryptDestroyKey(key);
        key = nullptr;
    }
};

Aes256Blocks::Aes256Blocks() : impl_(new Impl) {}

Aes256Blocks::~Aes256Blocks()
{
    impl_->Release();
}

bool Aes256Blocks::SetKey(const unsigned char key[32])
{
    impl_->Release();
    BCRYPT_ALG_HANDLE provider = AesEcbProvider();
    return provider != nullptr &&
           BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(provider, &impl_->key, nullptr, 0,
                                                     const_cast<PUCHAR>(key), 32, 0));
}

bool Aes256Blocks::Encrypt(const unsigned char* in, unsigned char* out, size_t size)
{
    if (impl_->key == nullptr || size % 16 != 0)
        return false;
    ULONG done = 0;
    return BCRYPT_SUCCESS(BCryptEncrypt(impl_->key, const_cast<PUCHAR>(in),
                                        static_cast<ULONG>(size), nullptr, nullptr, 0, out,
                                        static_cast<ULONG>(size), &done, 0)) &&
           done == size;
}

struct HmacSha1::Impl {
    BCRYPT_HASH_HANDLE hash = nullptr;

    void Release()
    {
        if (hash != nullptr)
            BCryptDestroyHash(hash);
        hash = nullptr;
    }
};

HmacSha1::HmacSha1() : impl_(new Impl) {}

HmacSha1::~HmacSha1()
{
    impl_->Release();
}

bool HmacSha1::Start(const unsigned char* key, size_t size)
{
    impl_->Release();
    BCRYPT_ALG_HANDLE provider = HmacProvider();
    return provider != nullptr &&
           BCRYPT_SUCCESS(BCryptCreateHash(provider, &impl_->hash, nullptr, 0,
                                           const_cast<PUCHAR>(key), static_cast<ULONG>(size), 0));
}

bool HmacSha1::Add(const unsigned char* data, size_t size)
{
    if (impl_->hash == nullptr)
        return false;
    // One call takes at most 4 GiB - 1 bytes.
    while (size > 0) {
        ULONG chunk = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptHashData(impl_->hash, const_cast<PUCHAR>(data), chunk, 0)))
            return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

bool HmacSha1::Finish(unsigned char digest[20])
{
    if (impl_->hash == nullptr)
        return false;
    bool ok = BCRYPT_SUCCESS(BCryptFinishHash(impl_->hash, digest, 20, 0));
    impl_->Release();
    return ok;
}
