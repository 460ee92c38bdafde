#include "archive/zip_aes.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/zip_check.h"

namespace {

unsigned char* Bytes(std::string& text)
{
    return reinterpret_cast<unsigned char*>(&text[0]);
}

enum class Primitive { Pbkdf2, AesBlocks, Hmac, WinZipEntry };

// Published vectors (RFC 6070, FIPS-197, SP 800-38A, RFC 2202), and an entry 7-Zip encrypted:
// its salt and password give the keys, its data decrypts to the text and ends in its code.
struct Vector {
    const char* source;
    Primitive primitive;
    std::string key;    // password, AES key or HMAC key
    std::string input;  // salt, plain blocks, message; the entry: salt + verifier + data + code
    unsigned iterations;
    std::string expected;  // derived key, cipher blocks, digest; the entry: its plain text
};

const Vector kVectors[] = {
    {"RFC 6070 #1", Primitive::Pbkdf2, "password", "salt", 1,
     Unhex("0c60c80f961f0e71f3a9b524af6012062fe037a6")},
    {"RFC 6070 #3", Primitive::Pbkdf2, "password", "salt", 4096,
     Unhex("4b007901b765489abead49d926f721d065a429c1")},
    {"RFC 6070 #5, two blocks", Primitive::Pbkdf2, "passwordPASSWORDpassword",
     "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
     Unhex("3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038")},
    {"FIPS-197 C.3", Primitive::AesBlocks, Unhex("000102030405060708090a0b0c0d0e0f"
                                               "101112131415161718191a1b1c1d1e1f"),
     Unhex("00112233445566778899aabbccddeeff"), 0, Unhex("8ea2b7ca516745bfeafc49904b496089")},
    {"SP 800-38A F.1.5, two blocks", Primitive::AesBlocks,
     Unhex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"),
     Unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"), 0,
     Unhex("f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870")},
    {"RFC 2202 #1", Primitive::Hmac, std::string(20, '\x0b'), "Hi There", 0,
     Unhex("b617318655057264e28bc0b6fb378c8ef146be00")},
    {"RFC 2202 #2", Primitive::Hmac, "Jefe", "what do ya want for nothing?", 0,
     Unhex("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79")},
    {"RFC 2202 #6, key longer than a block", Primitive::Hmac, std::string(80, '\xaa'),
     "Test Using Larger Than Block-Size Key - Hash Key First", 0,
     Unhex("aa4ae5e15272d00e95705637ce8a3b55ed402112")},
    {"7-Zip AES-256 entry", Primitive::WinZipEntry, "pass word",
     Unhex("1694b87eecb9988c8ef54d61dd685967" "52f5"
         "e24db3fb39c8b9ef95fc5de0bc74f4e31d93c4afb221d27534aad8cc89552053d750805f10b1990e"
         "561cee72b73ed565465849cd7c8082120eb2678447dce8d8c98463b52a"
         "fe7e9733b1a86d64e718"),
     0, "Hello, AES in ZIP! 0123456789abcdef-more than one block of data here."},
};

// What the primitive makes of the row's input.
std::string Apply(const Vector& v)
{
    std::string key = v.key, input = v.input;
    switch (v.primitive) {
    case Primitive::Pbkdf2: {
        std::string out(v.expected.size(), '\0');
        EXPECT_TRUE(DerivePbkdf2Sha1(key, Bytes(input), input.size(), v.iterations, Bytes(out),
                                     out.size()));
        return out;
    }
    case Primitive::AesBlocks: {
        Aes256Blocks aes;
        EXPECT_TRUE(aes.SetKey(Bytes(key)));
        EXPECT_TRUE(aes.Encrypt(Bytes(input), Bytes(input), input.size()));
        return input;
    }
    case Primitive::Hmac: {
        HmacSha1 hmac;
        std::string digest(20, '\0');
        // In two pieces: the digest must not depend on how the data arrives.
        EXPECT_TRUE(hmac.Start(Bytes(key), key.size()));
        EXPECT_TRUE(hmac.Add(Bytes(input), 3));
        EXPECT_TRUE(hmac.Add(Bytes(input) + 3, input.size() - 3));
        EXPECT_TRUE(hmac.Finish(Bytes(digest)));
        return digest;
    }
    case Primitive::WinZipEntry: {
        ZipAesCipher cipher;
        std::string verifier(kZipAesVerifierSize, '\0'), mac(kZipAesMacSize, '\0');
        EXPECT_TRUE(cipher.Start(key, Bytes(input), Bytes(verifier)));
        EXPECT_EQ(Hex(verifier), Hex(input.substr(kZipAesSaltSize, kZipAesVerifierSize)));
        std::string data = input.substr(kZipAesSaltSize + kZipAesVerifierSize,
                                        input.size() - kZipAesOverhead);
        // Pieces that end inside a counter block.
        EXPECT_TRUE(cipher.Decrypt(Bytes(data), 5));
        EXPECT_TRUE(cipher.Decrypt(Bytes(data) + 5, data.size() - 5));
        EXPECT_TRUE(cipher.Finish(Bytes(mac)));
        EXPECT_EQ(Hex(mac), Hex(input.substr(input.size() - kZipAesMacSize)));
        return data;
    }
    }
    return std::string();
}

TEST(ZipAes, PrimitivesMatchPublishedVectorsAndAnEntryOf7Zip)
{
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.source);
        EXPECT_EQ(Hex(Apply(v)), Hex(v.expected));
    }
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
