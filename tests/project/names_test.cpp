#include "project/entry_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "project/child_links.h"
#include "project/list_columns.h"
#include "tests/support/project_fixture.h"

namespace {
const char kExists[] = "指定されたファイル名はすでに存在します。";
const char kReserved[] = "使用できないファイル名です";
const char kBadChar[] = "bad";  // stands for the message that names the offending character
}  // namespace

// The offset of the first byte a typed name may not hold, and the message (none: accepted).
TEST(EntryNames, OffendingBytesAndMessages)
{
    struct { const char* name; int offset; const char* message; } rows[] = {
        {"plain.txt", -1, nullptr}, {" lead", 0, kBadChar}, {"in side ", -1, nullptr},
        {"表:", 2, kBadChar} /* one double-byte character, then ":" */,
        {"表", -1, nullptr} /* its trail byte is "\" */,
        {"\x81|x", -1, nullptr} /* a trail byte is never examined */, {"abc\x95", -1, nullptr},
        {"x\x01y", 1, kBadChar}, {"x\x1f", 1, kBadChar}, {"a\\b", 1, kBadChar},
        {"a/b", 1, kBadChar},
        {"a,b", 1, kBadChar}, {"a;b", 1, kBadChar}, {"a<b", 1, kBadChar}, {"a>b", 1, kBadChar},
        {"a|b", 1, kBadChar}, {"\x7f\xa0\xdf", -1, nullptr} /* DEL and half-width kana */,
        {"", -1, ""}, {".", -1, kReserved}, {"..", -1, kReserved}, {"...", -1, nullptr},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FindInvalidNameChar(row.name), row.offset) << row.name;
        std::vector<std::string> message;  // counts characters from 1
        if (row.message == kBadChar)
            message.push_back("使用できない文字が含まれています。\r\n(" + std::to_string(row.offset + 1) + "文字目)");
        else if (row.message != nullptr && row.message[0] != '\0')
            message.push_back(row.message);
        ErrorRecorder shown;
        EXPECT_EQ(ValidateEntryName(row.name, true), row.message == nullptr) << row.name;
        EXPECT_EQ(ValidateEntryName(row.name, false), row.message == nullptr) << row.name;
        EXPECT_EQ(shown.texts, message) << row.name;  // the quiet call says nothing
        EXPECT_EQ(shown.titles, std::vector<std::string>(message.size(), "パックレン：ファイル名の変更"));
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
    const std::string sameWhenCut = longName + "tail", cut = std::string(258, 'n') + "xyz";
    const std::string stored = std::string(258, 'n') + "x";  // names are stored in 259 bytes
    struct Row { ProjectNode* node; const char* name; bool renamed; const char *message, *after; };
    const Row rows[] = {
        {readme, "DOCS", false, kExists, "readme.txt"},        // a sibling folder, other case
        {readme, "readme.txt", false, nullptr, "readme.txt"},  // unchanged: nothing to do
        {readme, "README.TXT", true, nullptr, "README.TXT"},   // case only: itself is skipped
        {readme, " x", false, nullptr, "README.TXT"},
        {readme, nullptr, false, nullptr, "README.TXT"},       // a cancelled edit
        {nested, "readme.txt", true, nullptr, "readme.txt"},   // another folder's names are free
        {other, sameWhenCut.c_str(), false, kExists, "other"},  // compared as it would be stored
        {other, cut.c_str(), true, nullptr, stored.c_str()},
        {Root(), ".", false, kReserved, "新規書庫"},
        {Root(), "README.TXT", true, nullptr, "README.TXT"},  // the root has no siblings
    };
    for (const auto& row : rows) {
        errors.texts.clear();
        EXPECT_EQ(RenameEntry(row.node, row.name), row.renamed) << (row.name ? row.name : "(none)");
        EXPECT_STREQ(row.node->name, row.after);
        if (row.message != nullptr) {
            EXPECT_EQ(errors.texts, std::vector<std::string>{row.message});
        }
    }
    // The index follows: the old name is free, the new one taken.
    EXPECT_EQ(FindChildNamed(Root(), "readme.txt"), readme);
    EXPECT_EQ(FindChildNamed(docs, "docs.txt"), nullptr);
    EXPECT_EQ(FindChildNamed(docs, "READme.txt"), nested);
}

TEST(EntryNames, SplitComparedAndCounted)
{
    struct { const char *path, *base, *extension; } splits[] = {
        {"C:\\dir\\x.txt", "x", ".txt"}, {"C:\\dir\\archive.tar.gz", "archive.tar", ".gz"},
        {"C:\\dir.d\\noext", "noext", ""}, {".profile", "", ".profile"},
        {"C:name.txt", "name", ".txt"},
        {"/unix/style.c", "style", ".c"}, {"C:\\ソース\\表.txt", "表", ".txt"}, {"C:\\dir\\", "", ""},
        {"trailing.", "trailing", "."},
    };
    for (const auto& row : splits) {
        char base[kNamePartSize], extension[kNamePartSize];
        SplitEntryName(row.path, base, extension);
        EXPECT_EQ(std::string(base) + "|" + extension, std::string(row.base) + "|" + row.extension)
            << row.path;
    }
    struct { const char *a, *b; bool equal; } names[] = {
        {"readme.TXT", "README.txt", true}, {"a", "a ", false}, {"", "", true}, {"Az", "aZ", true},
        {"[", "{", false},                // _stricmp folds letters only
        {"\x82\x60", "\x82\x81", false},  // Ａ and ａ are different bytes
        {"\x83\x41", "\x83\x61", true},   // a trail byte that is a letter folds too, as in _stricmp
    };
    for (const auto& row : names)
        EXPECT_EQ(NamesEqual(row.a, row.b), row.equal) << row.a << " / " << row.b;
}

TEST(ListColumns, SizesRoundUpAndGroupAndEveryColumnSortsBothWays)
{
    struct { int64_t size; const char* text; } sizes[] = {
        {0, "0 KB"}, {1, "1 KB"}, {1024, "1 KB"}, {1025, "2 KB"}, {999 * 1024, "999 KB"},
        {1000 * 1024, "1,000 KB"}, {1500000000, "1,464,844 KB"},
        {INT64_C(5000000000000), "4,882,812,500 KB"},  // beyond 2 GiB the real size
    };
    for (const auto& row : sizes) {
        char text[20];
        FormatSizeKB(row.size, text, sizeof text);
        EXPECT_STREQ(text, row.text) << row.size;
    }
    // Folders first; names by bytes ("B" before "a"); equal sizes by name; no column: by name.
    struct { const char* name; bool folder; int64_t size; const char *time, *source; } entries[] = {
        {"a", false, 10, "2020/01/01 00:00:00", "C:\\z"}, {"B", false, 10, "2019/05/05 00:00:00", "C:\\y"},
        {"dir", true, 0, "", ""}, {"big", false, INT64_C(3000000000), "2021/01/01 00:00:00", "C:\\a"},
        {"one", false, 1, "2018/01/01 00:00:00", "C:\\b"},
    };
    std::vector<ProjectNode> nodes(std::size(entries));
    std::vector<const ProjectNode*> order;
    for (size_t i = 0; i < nodes.size(); ++i) {
        strcpy(nodes[i].name, entries[i].name);
        nodes[i].flags = entries[i].folder ? NODE_FOLDER : 0;
        nodes[i].fileSize = entries[i].size;
        strcpy(nodes[i].timeText, entries[i].time);
        strcpy(nodes[i].sourcePath, entries[i].source);
        order.push_back(&nodes[i]);
    }
    struct { int32_t key; const char* order; } orders[] = {
        {0, "dir B a big one"}, {kSortDescending, "one big a B dir"}, {1, "dir one B a big"},
        {1 | kSortDescending, "big a B one dir"}, {2, "dir one B a big"}, {3, "dir big one B a"},
        {7, "B a big dir one"},
    };
    for (const auto& row : orders) {
        std::sort(order.begin(), order.end(), [&](const ProjectNode* a, const ProjectNode* b) {
            return CompareEntries(a, b, row.key) < 0;
        });
        std::string names;
        for (const ProjectNode* node : order)
            names += (names.empty() ? "" : " ") + std::string(node->name);
        EXPECT_EQ(names, row.order) << row.key;
    }
    // The same column flips (saved as -2147483648 for column 0), another starts ascending.
    EXPECT_EQ(NextSortKey(0, 0), kSortDescending);
    EXPECT_EQ(NextSortKey(kSortDescending, 0), 0);
    EXPECT_EQ(NextSortKey(2 | kSortDescending, 1), 1);
}
