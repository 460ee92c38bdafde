#include "project/entry_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/child_links.h"
#include "project/project_node.h"
#include "tests/support/project_fixture.h"

namespace {
const char kRenameTitle[] = "パックレン：ファイル名の変更";
const char kExists[] = "指定されたファイル名はすでに存在します。";
const char kReserved[] = "使用できないファイル名です";
const char kBadChar[] = "bad";  // stands for the message that names the offending character
}  // namespace

// A typed name: the offset of the first byte it may not hold (-1: none), and what its validation
// says (none: accepted; "": refused without a message).
TEST(EntryNameRules, OffendingBytesAndMessages)
{
    struct Row {
        const char* name;
        int offset;
        const char* message;
    } rows[] = {
        {"plain.txt", -1, nullptr},
        {" lead", 0, kBadChar},
        {"in side ", -1, nullptr},
        {"a:b", 1, kBadChar},
        {"表:", 2, kBadChar},        // one double-byte character, then ":"
        {"表", -1, nullptr},          // its trail byte is "\"
        {"ソ|", 2, kBadChar},        // "ソ" ends in "\" too; the "|" after it counts
        {"\x81|x", -1, nullptr},      // a trail byte is never examined, whatever it is
        {"abc\x95", -1, nullptr},     // a lead byte right before the end
        {"x\x01y", 1, kBadChar}, {"x\x1f", 1, kBadChar}, {"x\ty", 1, kBadChar},
        {"a\\b", 1, kBadChar}, {"a/b", 1, kBadChar}, {"a,b", 1, kBadChar}, {"a;b", 1, kBadChar},
        {"a<b", 1, kBadChar}, {"a>b", 1, kBadChar}, {"a|b", 1, kBadChar},
        {"\x7f\xa0\xdf", -1, nullptr},  // DEL and half-width katakana are ordinary
        {"", -1, ""},
        {".", -1, kReserved},
        {"..", -1, kReserved},
        {"...", -1, nullptr},
        {"..a", -1, nullptr},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FindInvalidNameChar(row.name), row.offset) << row.name;
        std::vector<std::string> message;  // counts characters from 1
        if (row.message == kBadChar)
            message.push_back("使用できない文字が含まれています。\r\n(" + std::to_string(row.offset + 1) + "文字目)");
        else if (row.message != nullptr && row.message[0] != '\0')
            message.push_back(row.message);
        ErrorRecorder shown;
        EXPECT_EQ(ValidateEntryName(row.name, true), row.message == nullptr) << row.name;
        EXPECT_EQ(shown.texts, message) << row.name;
        EXPECT_EQ(shown.titles, std::vector<std::string>(message.size(), kRenameTitle)) << row.name;
        ErrorRecorder quiet;
        EXPECT_EQ(ValidateEntryName(row.name, false), row.message == nullptr) << row.name;
        EXPECT_TRUE(quiet.texts.empty()) << row.name;
    }
}

using RenameTest = ProjectTest;

TEST_F(RenameTest, NamesAreRefusedWhenInvalidOrTakenByASiblingInAnyCase)
{
    ProjectNode* readme = File(Root(), "C:\\readme.txt");
    ProjectNode* docs = Folder(Root(), "Docs");
    ProjectNode* nested = File(docs, "C:\\d\\docs.txt");
    const std::string longName(259, 'n');
    ProjectNode* other = File(Root(), "C:\\b", "other");
    File(Root(), "C:\\a", longName.c_str());
    const std::string sameWhenCut = longName + "tail";
    const std::string cut = std::string(258, 'n') + "xyz";
    const std::string stored = std::string(258, 'n') + "x";  // names are stored in 259 bytes
    struct Row {
        ProjectNode* node;
        const char* name;
        bool renamed;
        const char* message;  // none: not checked
        const char* after;
    } rows[] = {
        {readme, "DOCS", false, kExists, "readme.txt"},    // a sibling folder, other case
        {readme, "readme.txt", false, nullptr, "readme.txt"},  // unchanged: nothing to do
        {readme, "README.TXT", true, nullptr, "README.TXT"},   // case only: itself is skipped
        {readme, " x", false, nullptr, "README.TXT"},
        {readme, nullptr, false, nullptr, "README.TXT"},   // a cancelled edit
        {nested, "readme.txt", true, nullptr, "readme.txt"},  // another folder's names are free
        {docs, "a,b", false, nullptr, "Docs"},
        {other, sameWhenCut.c_str(), false, kExists, "other"},  // compared as it would be stored
        {other, cut.c_str(), true, nullptr, stored.c_str()},
        {Root(), ".", false, kReserved, "新規書庫"},
        {Root(), "README.TXT", true, nullptr, "README.TXT"},  // the root has no siblings
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
    // Nothing in the index points at a renamed entry by its old name once the entry is gone.
    DeleteEntry(nested);
    EXPECT_EQ(FindChildNamed(docs, "docs.txt"), nullptr);
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
