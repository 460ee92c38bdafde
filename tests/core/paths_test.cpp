#include "core/paths.h"

#include <gtest/gtest.h>

#include <string>

TEST(Paths, ComponentsAndSeparatorsSkipTrailBytes)
{
    struct Row {
        const char* path;
        size_t offset;
        bool endsWithSeparator;
    } rows[] = {
        {"C:\\dir\\file.txt", 7, false},
        {"C:\\", 3, true},
        {"C:", 2, true},
        {"C:\\表", 3, false},       // 表 ends in the byte "\"
        {"C:\\ソ\\", 6, true},
        {"a/b", 2, false},
        {"", 0, false},
        {"name", 0, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PathComponentOffset(row.path), row.offset) << row.path;
        EXPECT_EQ(EndsWithSeparator(row.path), row.endsWithSeparator) << row.path;
    }
}

TEST(Paths, JoinAddsOneSeparatorAndReportsCuts)
{
    const std::string sep(1, kPathSeparator);
    char buffer[16];
    EXPECT_TRUE(JoinPath(buffer, sizeof buffer, "dir", "f"));
    EXPECT_EQ(std::string(buffer), "dir" + sep + "f");
    EXPECT_TRUE(JoinPath(buffer, sizeof buffer, "C:\\", "f"));
    EXPECT_STREQ(buffer, "C:\\f");
    EXPECT_TRUE(JoinPath(buffer, sizeof buffer, "表", "f"));  // a trail byte is no separator
    EXPECT_EQ(std::string(buffer), "表" + sep + "f");
    EXPECT_TRUE(JoinPath(buffer, sizeof buffer, "0123456789", "abcd"));  // 15 bytes fit
    EXPECT_FALSE(JoinPath(buffer, sizeof buffer, "0123456789", "abcde"));
}

TEST(Paths, SamePathFoldsLettersButNotTrailBytes)
{
    EXPECT_TRUE(SamePath("C:\\Dir\\A.ZIP", "c:/dir/a.zip"));
    EXPECT_FALSE(SamePath("C:\\dir\\a.zip", "C:\\dir\\a.zi"));
    // ソ is 0x83 0x5C and ボ is 0x83 0x7B: neither trail byte is a separator or a letter to fold.
    EXPECT_FALSE(SamePath("C:\\ソ", "C:\\\x83/"));
    EXPECT_FALSE(SamePath("\x83\x61", "\x83\x41"));
}
