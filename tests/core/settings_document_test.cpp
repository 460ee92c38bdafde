#include "core/settings_document.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "core/file_io.h"
#include "core/paths.h"
#include "tests/support/temp_dir.h"

namespace {

// Loads bytes through a real file, as the program does.
struct Loaded {
    bool ok;
    int line;
};

Loaded LoadBytes(SettingsDocument& document, const TempDir& dir, const std::string& bytes)
{
    std::string path = dir.WriteFile("doc.ini", bytes);
    bool ok = document.Load(path.c_str(), false);
    return {ok, document.LineCount()};
}

std::string SaveBytes(SettingsDocument& document, const TempDir& dir)
{
    std::string path = dir.Join("saved.ini");
    EXPECT_TRUE(document.Save(path.c_str()));
    return ReadWholeFile(path);
}

}  // namespace

TEST(SettingsDocumentLoad, AcceptsAndRejectsLineForms)
{
    using namespace std::string_literals;
    struct Row {
        std::string bytes;
        bool ok;
        int line;  // the line counter after the load
    } rows[] = {
        {""s, true, 0},
        {"\0[A]\r\n"s, true, 0},
        {"\r\n[A]\r\n"s, false, 1},
        {"k=v\r\n[A]\r\n"s, false, 1},
        {"text\r\n[A]\r\n"s, false, 1},
        {"\xEF\xBB\xBF[A]\r\n"s, false, 1},
        {"[A] \r\nk=v\r\n"s, false, 1},
        {"[A]\rk=v\r\n"s, false, 1},
        {"[A]\nk=v\n"s, true, 2},
        {"[A]\r\nk=v"s, true, 2},
        {"[A]\r\nk=v\r\n\0\0\0"s, true, 2},
        {"[A]\r\nk=\x01v\r\n"s, false, 2},
        {"[A]\r\nk=v\r\n[B]\r\nx\x1b\r\n"s, false, 4},
        {"[A]\r\n\r\n\r\nk=v\r\n"s, true, 4},
        {"[A]\r\nk=v\0more\r\n"s, false, 2},
        {"[A]\r\nk=v\0\0"s, true, 2},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SettingsDocument document;
        Loaded loaded = LoadBytes(document, dir, row.bytes);
        EXPECT_EQ(loaded.ok, row.ok) << row.bytes;
        EXPECT_EQ(loaded.line, row.line) << row.bytes;
        if (loaded.ok && row.line == 2) {
            EXPECT_STREQ(document.GetValue("A", "k"), "v") << row.bytes;
        }
        if (!loaded.ok) {
            EXPECT_EQ(document.FindSection("A"), nullptr) << "a failed load leaves an empty document";
        }
    }
}

TEST(SettingsDocumentLoad, SectionHeadersKeysAndKeylessLines)
{
    TempDir dir;
    SettingsDocument document;
    ASSERT_TRUE(LoadBytes(document, dir,
                          "[]\r\n"
                          "[a]b]\r\n"
                          "=empty key\r\n"
                          "novalue=\r\n"
                          "two=x=y\r\n"
                          " sp = v \r\n"
                          "\tk=v\r\n"
                          "a\tb=c\r\n"
                          "k=v\tw\r\n"
                          "    \r\n"
                          "[x=y]\r\n")
                    .ok);
    EXPECT_NE(document.FindSection(""), nullptr);
    EXPECT_EQ(document.FirstEntry(""), nullptr);
    EXPECT_STREQ(document.GetValue("a]b", ""), "empty key");
    EXPECT_STREQ(document.GetValue("a]b", "novalue"), "");
    EXPECT_STREQ(document.GetValue("a]b", "two"), "x=y");
    EXPECT_STREQ(document.GetValue("a]b", " sp "), " v ");
    EXPECT_STREQ(document.GetValue("a]b", "k"), "v\tw");
    EXPECT_NE(document.FindSection("x=y"), nullptr);

    // Keyless lines are never matched by key and keep their bytes whole.
    std::string keyless;
    for (SettingsEntry* e = document.FirstEntry("a]b"); e != nullptr; e = e->next) {
        if (e->key == nullptr)
            keyless += "[" + std::string(e->value) + "]";
    }
    EXPECT_EQ(keyless, "[\tk=v][a\tb=c][    ]");
}

TEST(SettingsDocumentLoad, MissingFile)
{
    TempDir dir;
    std::string path = dir.Join("none.ini");
    SettingsDocument document;
    EXPECT_FALSE(document.Load(path.c_str(), false));
    EXPECT_EQ(document.LineCount(), 0);
    EXPECT_TRUE(document.Load(path.c_str(), true));
    document.SetValue("S", "k", "v");
    EXPECT_TRUE(document.Save());
    EXPECT_EQ(ReadWholeFile(path), "[S]\r\nk=v\r\n");
}

TEST(SettingsDocumentSave, RoundTripIsByteForByte)
{
    const std::string original =
        "[INFOMATION]\r\nAPPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n"
        "[PROPERTY]\r\n[FILELIST]\r\n0\t\t9\t>\tdocs\r\n\t\t\t<\r\n[dup]\r\nk=1\r\nk=2\r\n[dup]\r\nk=3\r\n"
        "   \r\n=\r\n[設定]\r\n名前=ソース表示\x7f\r\n";
    TempDir dir;
    SettingsDocument document;
    ASSERT_TRUE(LoadBytes(document, dir, original).ok);
    EXPECT_STREQ(document.GetValue("設定", "名前"), "ソース表示\x7f");  // code page 932 passes through
    std::string once = SaveBytes(document, dir);
    EXPECT_EQ(once, original);
    SettingsDocument again;
    ASSERT_TRUE(LoadBytes(again, dir, once).ok);
    EXPECT_EQ(SaveBytes(again, dir), original);
}

TEST(SettingsDocumentSave, UnescapedValuesAndKeylessLinesReadBackAsTheGrammarSays)
{
    TempDir dir;
    SettingsDocument document;
    document.SetValue("A", "multi", "one\r\ntwo");
    document.InsertLine("A", 2147483647, "a=b\tc");    // reads back as a key line
    document.InsertLine("A", 2147483647, "a\tb=c");    // stays keyless
    document.InsertLine("A", 2147483647, "");          // written as a blank line, dropped
    std::string bytes = SaveBytes(document, dir);
    SettingsDocument reread;
    ASSERT_TRUE(LoadBytes(reread, dir, bytes).ok);
    EXPECT_STREQ(reread.GetValue("A", "multi"), "one");
    EXPECT_STREQ(reread.GetValue("A", "a"), "b\tc");
    int keyless = 0;
    for (SettingsEntry* e = reread.FirstEntry("A"); e != nullptr; e = e->next)
        keyless += e->key == nullptr;
    EXPECT_EQ(keyless, 2);  // "two" and "a\tb=c"

    SettingsDocument broken;
    broken.SetValue("A", "k", "lone\rcr");
    EXPECT_EQ(LoadBytes(reread, dir, SaveBytes(broken, dir)).line, 2);
}

TEST(SettingsDocumentSave, FailedWriteKeepsTheOldFileAndLeavesNoTemporary)
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
    EXPECT_TRUE(document.Save(path.c_str()));
    EXPECT_GT(ReadWholeFile(path).size(), 100000u);
    EXPECT_EQ(dir.ListNames(), "keep.ini");
}

// A target whose path just fits in 259 bytes saves, though "~pwNNNN.tmp" would not fit beside it:
// the temporary file takes a name as short as the room allows and never one that is taken.
TEST(SettingsDocumentSave, TheTemporaryFileFitsBesideTheTargetAndTakesNoExistingName)
{
    TempDir dir;
    std::string folder = dir.Path();
    std::string relative;
    for (size_t remaining = 257 - folder.size(); remaining > 0;) {
        size_t part = remaining > 101 ? 50 : remaining - 1;
        relative += (relative.empty() ? "" : std::string(1, kPathSeparator)) + std::string(part, 'd');
        folder = dir.MakeDir(relative);
        remaining -= part + 1;
    }
    const std::string target = folder + kPathSeparator + "p";
    ASSERT_EQ(target.size(), 259u);
    // Every name of one byte the temporary file may take, but "f", is taken.
    const std::string taken = "0123456789abcde";
    for (char name : taken)
        ASSERT_EQ(dir.WriteFile(relative + kPathSeparator + name, "keep"), folder + kPathSeparator + name);
    SettingsDocument document;
    document.SetValue("A", "k", "1");
    EXPECT_TRUE(document.Save(target.c_str()));
    document.SetValue("A", "k", "2");
    EXPECT_TRUE(document.Save(target.c_str()));  // over the target this time
    EXPECT_EQ(ReadWholeFile(target), "[A]\r\nk=2\r\n");
    EXPECT_FALSE(PathExists((folder + kPathSeparator + "f").c_str()));  // gone with the rename
    for (char name : taken)
        EXPECT_EQ(ReadWholeFile(folder + kPathSeparator + name), "keep") << name;
    // With no name left the save fails and the target stays as it was.
    dir.WriteFile(relative + kPathSeparator + "f", "keep");
    document.SetValue("A", "k", "3");
    EXPECT_FALSE(document.Save(target.c_str()));
    EXPECT_EQ(ReadWholeFile(target), "[A]\r\nk=2\r\n");
}

TEST(SettingsDocumentSave, SaveUnderAnotherNameKeepsTheRememberedPath)
{
    TempDir dir;
    std::string first = dir.WriteFile("first.ini", "[A]\r\n");
    SettingsDocument document;
    ASSERT_TRUE(document.Load(first.c_str(), false));
    document.SetValue("A", "k", "1");
    EXPECT_TRUE(document.Save(dir.Join("other.ini").c_str()));
    document.SetValue("A", "k", "2");
    EXPECT_TRUE(document.Save());
    EXPECT_EQ(ReadWholeFile(first), "[A]\r\nk=2\r\n");
    EXPECT_EQ(ReadWholeFile(dir.Join("other.ini")), "[A]\r\nk=1\r\n");
}

// Edits of a loaded document, seen in the bytes it saves afterwards.
TEST(SettingsDocumentEdit, EditsAndTheBytesSaved)
{
    static const int widths[] = {120, 80, 120, 240};
    struct Row {
        const char* loaded;
        std::function<void(SettingsDocument&)> edit;
        const char* saved;
    } rows[] = {
        // Line ends are normalised and blank lines dropped.
        {"[A]\nk=v\n\n[B]", [](SettingsDocument&) {}, "[A]\r\nk=v\r\n[B]\r\n"},
        // A value changes where it stands; a new key goes to the end of its section, a new
        // section to the end.
        {"[A]\r\nx=1\r\ny=2\r\n[B]\r\n",
         [](SettingsDocument& d) {
             d.SetValue("A", "x", "changed");
             d.SetValue("A", "z", "3");
             d.SetValue("C", "w", "4");
         },
         "[A]\r\nx=changed\r\ny=2\r\nz=3\r\n[B]\r\n[C]\r\nw=4\r\n"},
        // Of duplicate sections and keys, the first one changes.
        {"[S]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\n", [](SettingsDocument& d) { d.SetValue("S", "k", "one"); },
         "[S]\r\nk=one\r\nk=2\r\n[S]\r\nk=3\r\n"},
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
        // The identity block, new or replaced where it stands.
        {"", [](SettingsDocument& d) { d.WriteIdentity("packwrenプロジェクト", 0x01000000); },
         "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n"},
        {"[X]\r\n[INFOMATION]\r\nAPPLICATIONVERSION=9.9.9\r\nAPPLICATIONNAME=other\r\n",
         [](SettingsDocument& d) { d.WriteIdentity("packwren設定ファイル", 0x01000000); },
         "[X]\r\n[INFOMATION]\r\nAPPLICATIONVERSION=1.0.0\r\nAPPLICATIONNAME=packwren設定ファイル\r\n"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.saved);
        SettingsDocument document;
        ASSERT_TRUE(LoadBytes(document, dir, row.loaded).ok);
        row.edit(document);
        EXPECT_EQ(SaveBytes(document, dir), row.saved);
    }
}

TEST(SettingsDocumentEdit, LookupsMoveTheCurrentSectionAndDeletesActOnTheFirst)
{
    TempDir dir;
    SettingsDocument document;
    ASSERT_TRUE(LoadBytes(document, dir, "[S]\r\nk=1\r\n[A]\r\n[S]\r\nk=3\r\n").ok);
    EXPECT_STREQ(document.GetValue("S", "k"), "1");
    EXPECT_STREQ(document.FindSection(nullptr)->name, "S");
    EXPECT_EQ(document.GetValue("A", "missing"), nullptr);
    EXPECT_STREQ(document.FindSection(nullptr)->name, "A");
    EXPECT_EQ(document.GetValue("none", "k"), nullptr);
    EXPECT_EQ(document.FindSection(nullptr), nullptr);
    EXPECT_EQ(document.GetValue("A", nullptr), nullptr);
    document.AddSection("B");
    EXPECT_STREQ(document.FindSection(nullptr)->name, "B");
    document.SetValue("C", "k", "v");
    EXPECT_EQ(document.FindSection(nullptr), nullptr);  // a section SetValue makes is not current

    EXPECT_TRUE(document.DeleteSection("S"));
    EXPECT_EQ(document.FindSection(nullptr), nullptr);
    EXPECT_STREQ(document.GetValue("S", "k"), "3");
    EXPECT_TRUE(document.DeleteSection("S"));
    EXPECT_FALSE(document.DeleteSection("S"));
    // Keys go from the middle and from the end; lines appended afterwards still land in order.
    document.SetValue("C", "j", "w");
    document.SetValue("C", "m", "x");
    EXPECT_TRUE(document.DeleteKey("C", "j"));
    EXPECT_TRUE(document.DeleteKey("C", "m"));
    EXPECT_FALSE(document.DeleteKey("C", "m"));
    document.SetValue("C", "n", "y");
    EXPECT_EQ(SaveBytes(document, dir), "[A]\r\n[B]\r\n[C]\r\nk=v\r\nn=y\r\n");
}

TEST(SettingsDocumentEdit, IntegersAndLists)
{
    TempDir dir;
    SettingsDocument document;
    ASSERT_TRUE(LoadBytes(document, dir,
                          "[W]\r\nn= -42x\r\nplus=+7\r\nbad=abc\r\nlist=10,,20\r\nsp=1 2\r\n"
                          "spaced=120 , 80,120 ,  240\r\nsigned=+5,6\r\nempty=\r\ntrail=1,\r\n")
                    .ok);
    for (auto [key, expected] : {std::pair<const char*, int>{"n", -42}, {"plus", 7}, {"bad", 0}}) {
        int value = 99;
        EXPECT_TRUE(document.GetInt("W", key, &value)) << key;
        EXPECT_EQ(value, expected) << key;
    }
    int value = 99;
    EXPECT_FALSE(document.GetInt("W", "missing", &value));
    EXPECT_EQ(value, 99);

    struct Row {
        const char* key;
        int capacity;
        int count;
        int values[4];
    } rows[] = {
        {"list", 4, 3, {10, 0, 20, -1}},
        {"sp", 4, 1, {1, -1, -1, -1}},
        {"spaced", 4, 4, {120, 80, 120, 240}},
        {"spaced", 2, 2, {120, 80, -1, -1}},
        {"signed", 4, 1, {5, -1, -1, -1}},
        {"empty", 4, 0, {-1, -1, -1, -1}},
        {"trail", 4, 1, {1, -1, -1, -1}},
        {"missing", 4, 0, {-1, -1, -1, -1}},
        {"list", 0, 0, {-1, -1, -1, -1}},
    };
    for (const Row& row : rows) {
        int out[4] = {-1, -1, -1, -1};
        EXPECT_EQ(document.GetIntList("W", row.key, out, row.capacity), row.count) << row.key;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(out[i], row.values[i]) << row.key << " element " << i;
    }

    // A long list stops before the line limit.
    int values[400];
    for (int& v : values)
        v = -1000000000;
    document.SetIntList("W", "long", values, 400);
    std::string text = document.GetValue("W", "long");
    EXPECT_LE(text.size(), 1023u);
    EXPECT_GT(text.size(), 1000u);
}

TEST(SettingsScope, OpenCreatesTheSectionAndGetSetUseIt)
{
    TempDir dir;
    SettingsDocument document;
    document.AddSection("OTHER");
    SettingsScope application;
    ASSERT_TRUE(application.Open(&document, "PROPERTY", nullptr));
    SettingsScope child;
    ASSERT_TRUE(child.Open(&document, "OTHER", &application));
    EXPECT_EQ(child.Parent(), &application);
    EXPECT_EQ(application.Parent(), nullptr);
    EXPECT_TRUE(application.Set("PASSWORD", "pw"));
    EXPECT_TRUE(child.Set("PASSWORD", "own"));
    // A lookup elsewhere moves the current section; scopes rebind before they act.
    document.GetValue("nowhere", "k");
    EXPECT_STREQ(application.Get("PASSWORD"), "pw");
    EXPECT_STREQ(child.Get("PASSWORD"), "own");
    EXPECT_EQ(application.Get("missing"), nullptr);
    SettingsScope again;
    ASSERT_TRUE(again.Open(&document, "PROPERTY", nullptr));
    EXPECT_EQ(SaveBytes(document, dir), "[OTHER]\r\nPASSWORD=own\r\n[PROPERTY]\r\nPASSWORD=pw\r\n");
}

TEST(SettingsIdentity, CheckReadsTheVersion)
{
    SettingsDocument document;
    document.WriteIdentity("packwrenプロジェクト", 0x01000000);
    EXPECT_EQ(document.CheckIdentity("packwrenプロジェクト"), 16777216);
    EXPECT_EQ(document.CheckIdentity("packwren設定ファイル"), 0);
    struct Row {
        const char* version;
        int expected;
    } rows[] = {{"2.5.300", 2 * 16777216 + 5 * 65536 + 300}, {"1", 16777216}, {"0.0.0", 0},
                {"9.9.9", 9 * 16777216 + 9 * 65536 + 9}, {"x", 0}};
    for (const Row& row : rows) {
        document.SetValue("INFOMATION", "APPLICATIONVERSION", row.version);
        EXPECT_EQ(document.CheckIdentity("packwrenプロジェクト"), row.expected) << row.version;
    }
    SettingsDocument noVersion;
    noVersion.SetValue("INFOMATION", "APPLICATIONNAME", "n");
    EXPECT_EQ(noVersion.CheckIdentity("n"), 0);
}
