#include "core/settings_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/file_io.h"
#include "core/paths.h"
#include "core/write_fault.h"
#include "tests/support/temp_dir.h"

namespace {

// Loads bytes through a real file, as the program does: whether it loaded, and the line count.
std::pair<bool, int> LoadBytes(SettingsDocument& document, const TempDir& dir,
                               const std::string& bytes)
{
    bool ok = document.Load(dir.WriteFile("doc.ini", bytes).c_str(), false);
    return {ok, document.LineCount()};
}

const char kLineForms[] =
    "[]\r\n[a]b]\r\n=empty key\r\nnovalue=\r\ntwo=x=y\r\n sp = v \r\n\tk=v\r\na\tb=c\r\n"
    "k=v\tw\r\n    \r\n[x=y]\r\n[dup]\r\nk=1\r\nk=2\r\n[dup]\r\nk=3\r\n[設定]\r\n名前=ソース\x7f\r\n";

}  // namespace

TEST(SettingsDocumentLoad, AcceptsAndRejectsLineForms)
{
    using namespace std::string_literals;
    struct { std::string bytes; bool ok; int line; } rows[] = {  // the line counter after the load
        {""s, true, 0}, {"\0[A]\r\n"s, true, 0}, {"\r\n[A]\r\n"s, false, 1},
        {"k=v\r\n[A]\r\n"s, false, 1}, {"\xEF\xBB\xBF[A]\r\n"s, false, 1},
        {"[A] \r\nk=v\r\n"s, false, 1}, {"[A]\rk=v\r\n"s, false, 1}, {"[A]\nk=v\n"s, true, 2},
        {"[A]\r\nk=v"s, true, 2}, {"[A]\r\nk=v\r\n\0\0\0"s, true, 2},
        {"[A]\r\nk=\x01v\r\n"s, false, 2},
        {"[A]\r\nk=v\r\n[B]\r\nx\x1b\r\n"s, false, 4}, {"[A]\r\n\r\n\r\nk=v\r\n"s, true, 4},
        {"[A]\r\nk=v\0more\r\n"s, false, 2},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SettingsDocument document;
        EXPECT_EQ(LoadBytes(document, dir, row.bytes), std::make_pair(row.ok, row.line))
            << row.bytes;
        if (row.ok && row.line == 2) {  // what a failed load leaves is the fuzz target's part
            EXPECT_STREQ(document.GetValue("A", "k"), "v") << row.bytes;
        }
    }
    // A missing file loads as empty only when it may; a save under another name keeps the path.
    std::string missing = dir.Join("none.ini");
    SettingsDocument document;
    EXPECT_FALSE(document.Load(missing.c_str(), false));
    EXPECT_TRUE(document.Load(missing.c_str(), true));
    document.SetValue("S", "k", "v");
    EXPECT_TRUE(document.Save(dir.Join("other.ini").c_str()) && document.SetValue("S", "k", "w"));
    EXPECT_TRUE(document.Save());
    EXPECT_EQ(ReadWholeFile(missing) + ReadWholeFile(dir.Join("other.ini")),
              "[S]\r\nk=w\r\n[S]\r\nk=v\r\n");
}

TEST(SettingsDocumentSave, AFailedWriteKeepsTheOldFileAndTheTemporaryFileFitsBesideTheTarget)
{
    TempDir dir;
    const std::string old = "[OLD]\r\nk=v\r\n";
    std::string path = dir.WriteFile("keep.ini", old);
    SettingsDocument document;
    for (int i = 0; i < 10000; ++i)
        document.InsertLine("NEW", 2147483647, "0\t\t-1\tsome name.txt\tC:\\some\\path");
    // Fail at once, inside the first piece, and well past the first buffered chunk.
    for (long long limit : {0LL, 10LL, 100000LL}) {
        SetWriteFaultAfterForTesting(limit);
        EXPECT_FALSE(document.Save(path.c_str())) << limit;
        SetWriteFaultAfterForTesting(-1);
        EXPECT_TRUE(ReadWholeFile(path) == old) << limit;
        EXPECT_EQ(dir.ListNames(), "keep.ini") << limit;
    }

    // A 259-byte target has no room for "~pwNNNN.tmp": the temporary name is short, never taken.
    std::string folder = dir.Path(), relative;
    for (size_t remaining = 257 - folder.size(); remaining > 0;) {
        size_t part = remaining > 101 ? 50 : remaining - 1;
        relative += (relative.empty() ? "" : std::string(1, kPathSeparator));
        relative += std::string(part, 'd');
        folder = dir.MakeDir(relative) + kPathSeparator;
        remaining -= part + 1;
    }
    ASSERT_EQ(folder.size(), 258u);
    const std::string taken = "0123456789abcde";  // every one-byte name it may take but "f"
    for (char name : taken)
        dir.WriteFile(relative + kPathSeparator + name, "keep");
    const std::string target = folder + "p";
    SettingsDocument small;
    for (const char* value : {"1", "2"}) {  // the second time over the target
        small.SetValue("A", "k", value);
        EXPECT_TRUE(small.Save(target.c_str()));
    }
    EXPECT_FALSE(PathExists((folder + "f").c_str()));  // gone with the rename
    for (char name : taken)
        EXPECT_EQ(ReadWholeFile(folder + name), "keep") << name;
    dir.WriteFile(relative + kPathSeparator + "f", "keep");  // no name left: the save fails
    small.SetValue("A", "k", "3");
    EXPECT_FALSE(small.Save(target.c_str()));
    EXPECT_EQ(ReadWholeFile(target), "[A]\r\nk=2\r\n");
}

// Edits of a loaded document, seen in the bytes it saves afterwards.
TEST(SettingsDocumentEdit, EditsAndTheBytesSaved)
{
    static const int widths[] = {120, 80, 120, 240};
    using Edit = std::function<void(SettingsDocument&)>;
    struct { const char* loaded; Edit edit; const char* saved; } rows[] = {
        // Line ends are normalised and blank lines dropped.
        {"[A]\nk=v\n\n[B]", [](SettingsDocument&) {}, "[A]\r\nk=v\r\n[B]\r\n"},
        // Every line form read as the grammar says and saved back byte for byte.
        {kLineForms,
         [](SettingsDocument& d) {
             EXPECT_TRUE(d.FindSection("") != nullptr && d.FirstEntry("") == nullptr);
             EXPECT_NE(d.FindSection("x=y"), nullptr);
             struct { const char *section, *key, *value; } values[] = {
                 {"a]b", "", "empty key"}, {"a]b", "novalue", ""}, {"a]b", "two", "x=y"},
                 {"a]b", " sp ", " v "}, {"a]b", "k", "v\tw"}, {"dup", "k", "1"},
                 {"設定", "名前", "ソース\x7f"},  // code page 932 passes through
             };
             for (const auto& row : values)
                 EXPECT_STREQ(d.GetValue(row.section, row.key), row.value) << row.key;
             std::string keyless;
             for (SettingsEntry* e = d.FirstEntry("a]b"); e != nullptr; e = e->next)
                 keyless += e->key == nullptr ? "[" + std::string(e->value) + "]" : "";
             EXPECT_EQ(keyless, "[\tk=v][a\tb=c][    ]");
         },
         kLineForms},
        // A value changes in place, new keys and sections go last; of duplicates the first changes.
        {"[A]\r\nx=1\r\nx=2\r\n[B]\r\n[A]\r\nx=3\r\n",
         [](SettingsDocument& d) {
             d.SetValue("A", "x", "changed");
             d.SetValue("A", "z", "3");
             d.SetValue("C", "w", "4");
         },
         "[A]\r\nx=changed\r\nx=2\r\nz=3\r\n[B]\r\n[A]\r\nx=3\r\n[C]\r\nw=4\r\n"},
        // Lines go before the n-th line; a position past the end or below 0 appends.
        {"",
         [](SettingsDocument& d) {
             for (auto [position, text] : {std::pair<int, const char*>{0, "b"}, {0, "a"},
                                           {2147483647, "d"}, {2, "c"}, {-1, "e"}, {5, "f"}})
                 d.InsertLine("L", position, text);
         },
         "[L]\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\n"},
        {"",
         [](SettingsDocument& d) {
             d.SetIntList("W", "ListColumnWidth", widths, 4);
             d.SetIntList("W", "none", widths, 0);
             d.SetInt("W", "sort", -2147483647 - 1);
         },
         "[W]\r\nListColumnWidth=120,80,120,240\r\nnone=\r\nsort=-2147483648\r\n"},
        // The identity block is replaced where it stands.
        {"[X]\r\n[INFOMATION]\r\nAPPLICATIONVERSION=9.9.9\r\nAPPLICATIONNAME=other\r\n",
         [](SettingsDocument& d) { d.WriteIdentity("packwren設定ファイル", 0x01000000); },
         "[X]\r\n[INFOMATION]\r\nAPPLICATIONVERSION=1.0.0\r\nAPPLICATIONNAME=packwren設定ファイル\r\n"},
        // Deletes act on the first section of a name; appends after deletes still land in order.
        {"[S]\r\nk=1\r\n[A]\r\n[S]\r\nk=3\r\n",
         [](SettingsDocument& d) {
             EXPECT_TRUE(d.DeleteSection("S"));
             EXPECT_STREQ(d.GetValue("S", "k"), "3");
             EXPECT_TRUE(d.DeleteSection("S") && !d.DeleteSection("S"));
             for (const char* key : {"k", "j", "m"})
                 d.SetValue("C", key, "v");
             EXPECT_TRUE(d.DeleteKey("C", "j") && d.DeleteKey("C", "m") && !d.DeleteKey("C", "m"));
             d.SetValue("C", "n", "y");
         },
         "[A]\r\n[C]\r\nk=v\r\nn=y\r\n"},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.saved);
        SettingsDocument document;
        ASSERT_TRUE(LoadBytes(document, dir, row.loaded).first);
        row.edit(document);
        ASSERT_TRUE(document.Save(dir.Join("saved.ini").c_str()));
        EXPECT_EQ(ReadWholeFile(dir.Join("saved.ini")), row.saved);
    }
}

TEST(SettingsDocumentEdit, IntegersListsAndIdentity)
{
    TempDir dir;
    SettingsDocument document;
    ASSERT_TRUE(LoadBytes(document, dir,
                          "[W]\r\nn= -42x\r\nplus=+7\r\nbad=abc\r\nlist=10,,20\r\nsp=1 2\r\n"
                          "spaced=120 , 80,120 ,  240\r\nsigned=+5,6\r\nempty=\r\ntrail=1,\r\n")
                    .first);
    for (auto [key, expected] :
         {std::pair<const char*, int>{"n", -42}, {"plus", 7}, {"bad", 0}, {"missing", 99}}) {
        int value = 99;
        EXPECT_EQ(document.GetInt("W", key, &value), expected != 99) << key;
        EXPECT_EQ(value, expected) << key;
    }
    struct { const char* key; int capacity, count; std::vector<int> values; } rows[] = {
        {"list", 4, 3, {10, 0, 20}}, {"sp", 4, 1, {1}}, {"spaced", 4, 4, {120, 80, 120, 240}},
        {"spaced", 2, 2, {120, 80}}, {"signed", 4, 1, {5}}, {"empty", 4, 0, {}},
        {"trail", 4, 1, {1}}, {"missing", 4, 0, {}}, {"list", 0, 0, {}},
    };
    for (const auto& row : rows) {
        std::vector<int> out(4, -1);
        EXPECT_EQ(document.GetIntList("W", row.key, out.data(), row.capacity), row.count)
            << row.key;
        out.erase(std::find(out.begin(), out.end(), -1), out.end());  // nothing past the count
        EXPECT_EQ(out, row.values) << row.key;
    }
    int values[400];
    std::fill(std::begin(values), std::end(values), -1000000000);
    document.SetIntList("W", "long", values, 400);  // stops before the line limit
    EXPECT_LE(strlen(document.GetValue("W", "long")), 1023u);
    EXPECT_GT(strlen(document.GetValue("W", "long")), 1000u);

    // Another program's document, or one without a version above 0.0.0, is not this program's.
    document.WriteIdentity("packwrenプロジェクト", 0x01000000);
    EXPECT_EQ(document.CheckIdentity("packwren設定ファイル"), 0);
    for (auto [version, expected] : {std::pair<const char*, int>{"2.5.300", 0x02050000 + 300},
                                     {"1", 0x01000000}, {"0.0.0", 0}, {"x", 0}}) {
        document.SetValue("INFOMATION", "APPLICATIONVERSION", version);
        EXPECT_EQ(document.CheckIdentity("packwrenプロジェクト"), expected) << version;
    }
    document.DeleteKey("INFOMATION", "APPLICATIONVERSION");
    EXPECT_EQ(document.CheckIdentity("packwrenプロジェクト"), 0);
}
