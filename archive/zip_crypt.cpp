#include "archive/zip_crypt.h"

#include <zlib.h>

namespace {

ZipRandomSource randomSource = nullptr;

uint32_t CrcStep(uint32_t crc, unsigned char byte)
{
    // The bare table step, without zlib's pre- and post-inversion that crc32() applies.
    static const z_crc_t* table = get_crc_table();
    return (crc >> 8) ^ static_cast<uint32_t>(table[(crc ^ byte) & 0xFF]);
}

}  // namespace

ZipCryptKeys::ZipCryptKeys(const char* password) : keys_{0x12345678u, 0x23456789u, 0x34567890u}
{
    for (const char* p = password; *p != '\0'; ++p)
        Update(static_cast<unsigned char>(*p));
}

void ZipCryptKeys::Update(unsigned char plain)
{
    keys_[0] = CrcStep(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CrcStep(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
}

unsigned char ZipCryptKeys::StreamByte() const
{
    uint32_t temp = (keys_[2] & 0xFFFF) | 2;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void ZipCryptKeys::Encrypt(unsigned char* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        unsigned char plain = data[i];
        data[i] = plain ^ StreamByte();
        Update(plain);
    }
}

void ZipCryptKeys::Decrypt(unsigned char* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        data[i] ^= StreamByte();
        Update(data[i]);
    }
}

bool MakeZipCryptHeader(ZipCryptKeys* keys, uint32_t crc, unsigned char header[kZipCryptHeaderSize])
{
    if (!ZipRandomBytes(header, kZipCryptHeaderSize - 2))
        return false;
    // Older readers check both bytes, newer ones only the last.
    header[kZipCryptHeaderSize - 2] = static_cast<unsigned char>(crc >> 16);
    header[kZipCryptHeaderSize - 1] = static_cast<unsigned char>(crc >> 24);
    keys->Encrypt(header, kZipCryptHeaderSize);
    return true;
}

bool ZipRandomBytes(void* buffer, size_t size)
{
    return randomSource != nullptr ? randomSource(buffer, size) : SystemRandomBytes(buffer, size);
}

void SetZipRandomSourceForTesting(ZipRandomSource source)
{
    randomSource = source;
}
