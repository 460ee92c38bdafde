#include "core/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/text_utf8.h"

TEST(StripQuotes, RemovesOnlyAnOpeningQuoteAndItsPartner)
{
    struct Row {
        const char* input;
        const char* expected;
    } rows[] = {
        {"\"C:\\My Files\\a.pwp\"", "C:\\My Files\\a.pwp"},
        {"C:\\a.pwp\"", "C:\\a.pwp\""},
        {"\"", ""},
        {"\"\"", ""},
        {"\"a\"b\"", "a\"b"},
        {"\"open", "open"},
        {"plain", "plain"},
        {"", ""},
    };
    for (const Row& row : rows) {
        char buffer[64];
        strcpy(buffer, row.input);
        StripQuotes(buffer);
        EXPECT_STREQ(buffer, row.expected) << row.input;
    }
}

// Code page 932's lead bytes as the wide range 0x80-0x9F and 0xE0-0xFF, checked at every edge.
TEST(IsLeadByte, CoversTheWideRange)
{
    for (int byte : {0x80, 0x81, 0x9F, 0xE0, 0xFC, 0xFF})
        EXPECT_TRUE(IsLeadByte(static_cast<unsigned char>(byte))) << byte;
    for (int byte : {0x00, 0x5C, 0x7F, 0xA0, 0xDF})
        EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(byte))) << byte;
}

namespace {
std::string Fields(const char* line, int capacity, int* count)
{
    const char* starts[8];
    int lengths[8];
    *count = SplitTabFields(line, starts, lengths, capacity);
    std::string joined;
    for (int i = 0; i < *count && i < capacity; ++i)
        joined += "[" + std::string(starts[i], lengths[i]) + "]";
    return joined;
}
}  // namespace

TEST(SplitTabFields, CountsAndStoresFields)
{
    struct Row {
        const char* line;
        int capacity;
        int expectedCount;
        const char* expectedFields;
    } rows[] = {
        {"", 5, 0, ""},
        {"\t", 5, 1, "[]"},
        {"a\t", 5, 1, "[a]"},
        {"\ta", 5, 2, "[][a]"},
        {"a\t\tb", 5, 3, "[a][][b]"},
        {"1\t2\t3\t4\t5\t6", 5, 6, "[1][2][3][4][5]"},
        {"\t\t\t<", 5, 4, "[][][][<]"},
        {"0\tpw\t-1\tname\tC:\\x", 5, 5, "[0][pw][-1][name][C:\\x]"},
    };
    for (const Row& row : rows) {
        int count = 0;
        EXPECT_EQ(Fields(row.line, row.capacity, &count), row.expectedFields) << row.line;
        EXPECT_EQ(count, row.expectedCount) << row.line;
    }
}

TEST(CopyField, CutsAndTerminates)
{
    std::string source(300, 'x');
    char destination[260];
    CopyField(source.c_str(), destination, sizeof destination, 300);
    EXPECT_EQ(strlen(destination), 259u);

    strcpy(destination, "old");
    CopyField("abc", destination, sizeof destination, -1);
    EXPECT_STREQ(destination, "");
    strcpy(destination, "old");
    CopyField("abc", destination, sizeof destination, 0);
    EXPECT_STREQ(destination, "");
    CopyField("abc\tdef", destination, sizeof destination, 3);
    EXPECT_STREQ(destination, "abc");
    // A zero byte inside the counted length ends the copy: nothing after it is copied.
    memset(destination, 'x', sizeof destination);
    CopyField("ab\0cd", destination, sizeof destination, 5);
    EXPECT_EQ(std::string(destination, 4), std::string("ab\0x", 4));
}

// Names and passwords in UTF-8: kanji, a trail byte that is "\\" in ASCII, half-width kana; a
// lone lead byte is refused rather than guessed at.
TEST(Cp932ToUtf8, ConvertsEveryCharacterOrFails)
{
    struct Row {
        const char* cp932;
        bool converts;
        const char* utf8;
    } rows[] = {
        {"", true, ""},
        {"docs/a.txt", true, "docs/a.txt"},
        {"漢字/表ﾊﾟｯｸ.txt", true, u8"漢字/表ﾊﾟｯｸ.txt"},
        {"a\x81", false, ""},
    };
    for (const Row& row : rows) {
        std::string utf8 = "left over";
        EXPECT_EQ(Cp932ToUtf8(row.cp932, &utf8), row.converts) << row.utf8;
        EXPECT_EQ(utf8, row.utf8);
    }
}
