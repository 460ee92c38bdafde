#include "archive/zip_aes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

unsigned char* Bytes(std::string& text)
{
    return reinterpret_cast<unsigned char*>(&text[0]);
}

// Encryption then decryption in other pieces gives the data back under the same code, and the
// keystream goes on across a call that ends mid-block and past the first batch of blocks.
TEST(ZipAes, EncryptsAndDecryptsInAnyPieces)
{
    std::string salt(kZipAesSaltSize, '\x5a'), plain;
    for (int i = 0; i < 40000; ++i)
        plain += static_cast<char>(i * 7);
    std::string data = plain, verifier(2, '\0'), again(2, '\0'), mac(10, '\0'), mac2(10, '\0');
    ZipAesCipher writer, reader;
    ASSERT_TRUE(writer.Start("\xe6\xbc\xa2", Bytes(salt), Bytes(verifier)));
    ASSERT_TRUE(writer.Encrypt(Bytes(data), 16385));
    ASSERT_TRUE(writer.Encrypt(Bytes(data) + 16385, data.size() - 16385));
    ASSERT_TRUE(writer.Finish(Bytes(mac)));
    // The block at 16384 is the first of the second batch: the plain bytes XOR AES of the
    // counter 1025, from the same derived key.
    std::string keys(66, '\0'), block(16, '\0');
    ASSERT_TRUE(DerivePbkdf2Sha1("\xe6\xbc\xa2", Bytes(salt), salt.size(), 1000, Bytes(keys), 66));
    block[0] = 1025 & 0xFF;
    block[1] = 1025 >> 8;
    Aes256Blocks aes;
    ASSERT_TRUE(aes.SetKey(Bytes(keys)));
    ASSERT_TRUE(aes.Encrypt(Bytes(block), Bytes(block), 16));
    for (size_t i = 0; i < 16; ++i)
        block[i] ^= plain[16384 + i];
    EXPECT_TRUE(data.substr(16384, 16) == block);
    ASSERT_TRUE(reader.Start("\xe6\xbc\xa2", Bytes(salt), Bytes(again)));
    EXPECT_EQ(again, verifier);
    for (size_t at = 0; at < data.size(); at += 333)
        ASSERT_TRUE(reader.Decrypt(Bytes(data) + at, std::min<size_t>(333, data.size() - at)));
    ASSERT_TRUE(reader.Finish(Bytes(mac2)));
    EXPECT_EQ(mac2, mac);
    EXPECT_TRUE(data == plain);
}

}  // namespace
