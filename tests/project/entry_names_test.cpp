#include "project/entry_names.h"

#include <gtest/gtest.h>

#include <string>

#include "project/child_links.h"
#include "project/project_node.h"
#include "tests/support/project_fixture.h"

namespace {
const char kRenameTitle[] = "パックレン：ファイル名の変更";
const char kExists[] = "指定されたファイル名はすでに存在します。";
const char kReserved[] = "使用できないファイル名です";
std::string BadChar(int position)
{
    return "使用できない文字が含まれています。\r\n(" + std::to_string(position) + "文字目)";
}
}  // namespace

TEST(FindInvalidNameChar, FirstOffendingByteOrMinusOne)
{
    struct Row {
        const char* name;
        int offset;
    } rows[] = {
        {"plain.txt", -1},
        {" lead", 0},
        {"in side ", -1},
        {"a:b", 1},
        {"表:", 2},           // one double-byte character, then ":"
        {"表", -1},           // its trail byte is "\"
        {"ソ|", 2},           // "ソ" ends in "\" too; the "|" after it counts
        {"\x81|x", -1},       // a trail byte is never examined, whatever it is
        {"abc\x95", -1},      // a lead byte right before the end
        {"x\x01y", 1},
        {"x\x1f", 1},
        {"x\ty", 1},
        {"a\\b", 1}, {"a/b", 1}, {"a,b", 1}, {"a;b", 1}, {"a<b", 1}, {"a>b", 1}, {"a|b", 1},
        {"...", -1},
        {"\x7f\xa0\xdf", -1},  // DEL and half-width katakana are ordinary
    };
    for (const Row& row : rows)
        EXPECT_EQ(FindInvalidNameChar(row.name), row.offset) << row.name;
}

TEST(ValidateEntryName, RefusesWithTheFittingMessage)
{
    struct Row {
        const char* name;
        bool accepted;
        std::string message;
    } rows[] = {
        {"ok.txt", true, ""},
        {"", false, ""},  // no message for an empty name
        {" x", false, BadChar(1)},
        {"a:b", false, BadChar(2)},
        {"表:", false, BadChar(3)},
        {".", false, kReserved},
        {"..", false, kReserved},
        {"...", true, ""},
        {"..a", true, ""},
    };
    for (const Row& row : rows) {
        ErrorRecorder errors;
        EXPECT_EQ(ValidateEntryName(row.name, true), row.accepted) << row.name;
        if (row.message.empty()) {
            EXPECT_TRUE(errors.texts.empty()) << row.name;
        } else {
            ASSERT_EQ(errors.texts.size(), 1u) << row.name;
            EXPECT_EQ(errors.texts[0], row.message);
            EXPECT_EQ(errors.titles[0], kRenameTitle);
        }
        ErrorRecorder quiet;
        EXPECT_EQ(ValidateEntryName(row.name, false), row.accepted) << row.name;
        EXPECT_TRUE(quiet.texts.empty());
    }
}

using RenameTest = ProjectTest;

TEST_F(RenameTest, DuplicatesAmongSiblingsAreRefusedInAnyCase)
{
    ProjectNode* readme = File(Root(), "C:\\readme.txt");
    ProjectNode* docs = Folder(Root(), "Docs");
    ProjectNode* nested = File(docs, "C:\\d\\docs.txt");
    struct Row {
        ProjectNode* node;
        const char* name;
        bool renamed;
        const char* message;
        const char* after;
    } rows[] = {
        {readme, "DOCS", false, kExists, "readme.txt"},    // a sibling folder, other case
        {readme, "readme.txt", false, nullptr, "readme.txt"},  // unchanged: nothing to do
        {readme, "README.TXT", true, nullptr, "README.TXT"},   // case only: itself is skipped
        {readme, " x", false, nullptr, "README.TXT"},
        {readme, nullptr, false, nullptr, "README.TXT"},   // a cancelled edit
        {nested, "readme.txt", true, nullptr, "readme.txt"},  // another folder's names are free
        {docs, "a,b", false, nullptr, "Docs"},
    };
    for (const Row& row : rows) {
        errors.texts.clear();
        EXPECT_EQ(RenameEntry(row.node, row.name), row.renamed) << (row.name ? row.name : "(none)");
        EXPECT_STREQ(row.node->name, row.after);
        if (row.message != nullptr) {
            ASSERT_EQ(errors.texts.size(), 1u);
            EXPECT_EQ(errors.texts[0], row.message);
            EXPECT_EQ(errors.titles[0], kRenameTitle);
        }
    }
    // The index follows: the old name is free, the new one taken.
    EXPECT_EQ(FindChildNamed(Root(), "readme.txt"), readme);
    EXPECT_EQ(FindChildNamed(docs, "docs.txt"), nullptr);
    EXPECT_EQ(FindChildNamed(docs, "READme.txt"), nested);
}

TEST_F(RenameTest, TheProjectRootHasNoSiblings)
{
    File(Root(), "C:\\top.txt");
    EXPECT_FALSE(RenameEntry(Root(), "."));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0], kReserved);
    EXPECT_TRUE(RenameEntry(Root(), "top.txt"));
    EXPECT_STREQ(Root()->name, "top.txt");
}

TEST_F(RenameTest, LongNamesAreCutBeforeTheyAreCompared)
{
    std::string stored(259, 'n');
    File(Root(), "C:\\a", stored.c_str());
    ProjectNode* other = File(Root(), "C:\\b", "other");
    // Distinct as typed, equal once cut to 259 bytes: refused.
    EXPECT_FALSE(RenameEntry(other, (stored + "tail").c_str()));
    EXPECT_STREQ(other->name, "other");
    EXPECT_TRUE(RenameEntry(other, (std::string(258, 'n') + "xyz").c_str()));
    EXPECT_EQ(std::string(other->name), std::string(258, 'n') + "x");
}

TEST(SplitEntryName, LastComponentIntoBaseAndExtension)
{
    struct Row {
        const char* path;
        const char* base;
        const char* extension;
    } rows[] = {
        {"C:\\dir\\x.txt", "x", ".txt"},
        {"C:\\dir\\archive.tar.gz", "archive.tar", ".gz"},
        {"C:\\dir.d\\noext", "noext", ""},
        {".profile", "", ".profile"},
        {"C:name.txt", "name", ".txt"},
        {"/unix/style.c", "style", ".c"},
        {"C:\\ソース\\表.txt", "表", ".txt"},
        {"C:\\dir\\", "", ""},
        {"trailing.", "trailing", "."},
    };
    for (const Row& row : rows) {
        char base[kNamePartSize];
        char extension[kNamePartSize];
        SplitEntryName(row.path, base, extension);
        EXPECT_STREQ(base, row.base) << row.path;
        EXPECT_STREQ(extension, row.extension) << row.path;
    }
}
