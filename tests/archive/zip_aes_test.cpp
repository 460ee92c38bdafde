#include "archive/zip_aes.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/zip_check.h"

namespace {

unsigned char* Bytes(std::string& text)
{
    return reinterpret_cast<unsigned char*>(&text[0]);
}

// Published vectors: PBKDF2 of two blocks (RFC 6070 #5), two AES-256 blocks (SP 800-38A F.1.5)
// and HMAC with a key longer than a block (RFC 2202 #6), the data given in two pieces.
TEST(ZipAes, PrimitivesMatchPublishedVectors)
{
    std::string salt = "saltSALTsaltSALTsaltSALTsaltSALTsalt", derived(25, '\0');
    ASSERT_TRUE(DerivePbkdf2Sha1("passwordPASSWORDpassword", Bytes(salt), salt.size(), 4096,
                                 Bytes(derived), derived.size()));
    EXPECT_EQ(Hex(derived), "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");

    std::string key = Unhex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    std::string blocks = Unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    Aes256Blocks aes;
    ASSERT_TRUE(aes.SetKey(Bytes(key)));
    ASSERT_TRUE(aes.Encrypt(Bytes(blocks), Bytes(blocks), blocks.size()));
    EXPECT_EQ(Hex(blocks), "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870");

    std::string hmacKey(80, '\xaa'), digest(20, '\0');
    std::string message = "Test Using Larger Than Block-Size Key - Hash Key First";
    HmacSha1 hmac;
    ASSERT_TRUE(hmac.Start(Bytes(hmacKey), hmacKey.size()));
    ASSERT_TRUE(hmac.Add(Bytes(message), 3));
    ASSERT_TRUE(hmac.Add(Bytes(message) + 3, message.size() - 3));
    ASSERT_TRUE(hmac.Finish(Bytes(digest)));
    EXPECT_EQ(Hex(digest), "aa4ae5e15272d00e95705637ce8a3b55ed402112");
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
    EXPECT_EQ(Hex(data.substr(16384, 16)), Hex(block));
    ASSERT_TRUE(reader.Start("\xe6\xbc\xa2", Bytes(salt), Bytes(again)));
    EXPECT_EQ(again, verifier);
    for (size_t at = 0; at < data.size(); at += 333)
        ASSERT_TRUE(reader.Decrypt(Bytes(data) + at, std::min<size_t>(333, data.size() - at)));
    ASSERT_TRUE(reader.Finish(Bytes(mac2)));
    EXPECT_EQ(mac2, mac);
    EXPECT_TRUE(data == plain);
}

}  // namespace
