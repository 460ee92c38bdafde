#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/exe_path.h"
#include "core/format_text.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_utf8.h"

TEST(Strings, LeadBytesQuotesAndConversions)
{
    // Code page 932's lead bytes as the wide range 0x80-0x9F and 0xE0-0xFF, at every edge.
    for (int byte : {0x80, 0x81, 0x9F, 0xE0, 0xFC, 0xFF})
        EXPECT_TRUE(IsLeadByte(static_cast<unsigned char>(byte))) << byte;
    for (int byte : {0x00, 0x5C, 0x7F, 0xA0, 0xDF})
        EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(byte))) << byte;
    // Only an opening quote and its partner go.
    struct { const char *input, *expected; } quotes[] = {
        {"\"C:\\a b\\a.pwp\"", "C:\\a b\\a.pwp"}, {"C:\\a.pwp\"", "C:\\a.pwp\""}, {"\"", ""},
        {"\"\"", ""}, {"\"a\"b\"", "a\"b"}, {"\"open", "open"}, {"", ""}};
    for (const auto& row : quotes) {
        char buffer[64];
        strcpy(buffer, row.input);
        StripQuotes(buffer);
        EXPECT_STREQ(buffer, row.expected) << row.input;
    }
    // A lone lead byte is refused rather than guessed at (conversions: the ZIP writer's tests).
    std::string utf8;
    EXPECT_FALSE(Cp932ToUtf8("a\x81", &utf8));
}

TEST(Strings, TabFieldsAreCountedStoredAndCopiedWithTheirCut)
{
    struct { const char* line; int count; const char* fields; } rows[] = {
        {"", 0, ""}, {"\t", 1, "[]"}, {"a\t", 1, "[a]"}, {"\ta", 2, "[][a]"},
        {"a\t\tb", 3, "[a][][b]"},
        {"1\t2\t3\t4\t5\t6", 6, "[1][2][3][4][5]"} /* counted beyond the capacity of 5 */,
    };
    for (const auto& row : rows) {
        const char* starts[8];
        int lengths[8];
        int count = SplitTabFields(row.line, starts, lengths, 5);
        std::string joined;
        for (int i = 0; i < count && i < 5; ++i)
            joined += "[" + std::string(starts[i], lengths[i]) + "]";
        EXPECT_EQ(joined, row.fields) << row.line;
        EXPECT_EQ(count, row.count) << row.line;
    }
    std::string source(300, 'x');
    char destination[260];
    CopyField(source.c_str(), destination, sizeof destination, 300);
    EXPECT_EQ(strlen(destination), 259u);
    // A zero byte inside the counted length ends the copy: nothing after it is copied.
    memset(destination, 'x', sizeof destination);
    CopyField("ab\0cd", destination, sizeof destination, 5);
    EXPECT_EQ(std::string(destination, 4), std::string("ab\0x", 4));
}

TEST(FormatText, FitsCutsAndAlwaysTerminates)
{
    struct { const char* text; int result; const char* buffer; } rows[] = {
        {"0123456789", -1, "0123456"}, {"0123456", 7, "0123456"}, {"01234567", -1, "0123456"},
        {"", 0, ""}};
    for (const auto& row : rows) {
        char buffer[8];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(FormatText(buffer, sizeof buffer, "%s", row.text), row.result) << row.text;
        EXPECT_STREQ(buffer, row.buffer) << row.text;
    }
    char buffer[260];
    // The executable's directory and a file name fit in 259 bytes, or give no path.
    std::string fits = "C:\\" + std::string(243, 'd') + "\\";
    std::string tooLong = "C:\\" + std::string(244, 'd') + "\\";
    EXPECT_STREQ(JoinExePath("C:\\pw\\", "packwren.ini", buffer), "C:\\pw\\packwren.ini");
    EXPECT_NE(JoinExePath(fits.c_str(), "packwren.ini", buffer), nullptr);
    EXPECT_EQ(JoinExePath(tooLong.c_str(), "packwren.ini", buffer), nullptr);
    EXPECT_EQ(JoinExePath("", "", buffer), nullptr);
}

TEST(Paths, ComponentsJoinsAndComparisonsSkipTrailBytes)
{
    struct { const char* path; size_t offset; bool endsWithSeparator; } rows[] = {
        {"C:\\dir\\file.txt", 7, false}, {"C:\\", 3, true}, {"C:", 2, true},
        {"C:\\表", 3, false} /* 表 ends in the byte "\" */, {"C:\\ソ\\", 6, true}, {"a/b", 2, false},
        {"", 0, false}, {"name", 0, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PathComponentOffset(row.path), row.offset) << row.path;
        EXPECT_EQ(EndsWithSeparator(row.path), row.endsWithSeparator) << row.path;
    }
    const std::string sep(1, kPathSeparator);
    char buffer[16];
    struct { const char *directory, *name; bool fits; std::string joined; } joins[] = {
        {"dir", "f", true, "dir" + sep + "f"}, {"C:\\", "f", true, "C:\\f"},
        {"表", "f", true, "表" + sep + "f"},  // a trail byte is no separator
        {"0123456789", "abcd", true, "0123456789" + sep + "abcd"},
        {"0123456789", "abcde", false, ""},
    };
    for (const auto& row : joins) {
        EXPECT_EQ(JoinPath(buffer, sizeof buffer, row.directory, row.name), row.fits) << row.name;
        if (row.fits) {
            EXPECT_EQ(std::string(buffer), row.joined);
        }
    }
    EXPECT_TRUE(SamePath("C:\\Dir\\A.ZIP", "c:/dir/a.zip"));
    EXPECT_FALSE(SamePath("C:\\dir\\a.zip", "C:\\dir\\a.zi"));
    // ソ is 0x83 0x5C and ボ is 0x83 0x7B: neither trail byte is a separator or a letter to fold.
    EXPECT_FALSE(SamePath("C:\\ソ", "C:\\\x83/"));
    EXPECT_FALSE(SamePath("\x83\x61", "\x83\x41"));
}
