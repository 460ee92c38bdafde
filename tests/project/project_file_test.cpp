#include "project/project_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings_document.h"
#include "project/child_links.h"
#include "project/project_tree.h"
#include "tests/support/project_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

const char kHeader[] =
    "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n";

// Projects are opened into the test's project document, as the program opens them into its own.
class ProjectFileTest : public ProjectTest {
protected:
    // Stores the tree and saves the project document; the file's bytes.
    std::string SaveAndRead(const char* name = "saved.pwp")
    {
        std::string path = dir.Join(name);
        EXPECT_TRUE(StoreProject(&project));
        EXPECT_TRUE(project.Save(path.c_str()));
        return ReadWholeFile(path);
    }
    // Opens a project file with these FILELIST lines (each given without its line end).
    int OpenWithFileList(const std::vector<std::string>& lines)
    {
        std::string text = std::string(kHeader) + "[FILELIST]\r\n";
        for (const std::string& line : lines)
            text += line + "\r\n";
        return OpenProject(dir.WriteFile("list.pwp", text).c_str());
    }

    TempDir dir;
};

const std::string kWorkedExample = std::string(kHeader) +
    "[PROPERTY]\r\nCOMPLEVELENABLE=1\r\nCOMPRESSLEVEL=6\r\nPASSWORDENABLE=0\r\nPASSWORD=\r\n"
    "[PROJECT]\r\nPROJECTNAME=Release\r\n"
    "[FILELIST]\r\n"
    "0\t\t9\t>\tdocs\r\n"
    "0\t\t-1\treadme.txt\tC:\\work\\readme.txt\r\n"
    "1\t\t-1\t>\tpublic\r\n"
    "\t\t\t<\r\n"
    "\t\t\t<\r\n"
    "1\tp=q\t0\ta=b.txt\tC:\\x=y\\a=b.txt\r\n"
    "0\t\t-1\t>\t<odd>\r\n"  // a folder's name is the last field: no marker
    "\t\t\t<\r\n"
    "\t\t\t<\r\n";

}  // namespace

// Every field read shows in the bytes saved back; entries that would not read back are refused.
TEST_F(ProjectFileTest, TheWorkedExampleSavesBackByteForByteAndNothingUnreadableIsWritten)
{
    ASSERT_EQ(OpenProject(dir.WriteFile("release.pwp", kWorkedExample).c_str()), 0);
    EXPECT_TRUE(errors.texts.empty());
    EXPECT_EQ(CurrentProjectPath, dir.Join("release.pwp"));
    EXPECT_EQ(Shape(Root()), "docs{readme.txt public{}} a=b.txt <odd>{}");
    EXPECT_EQ(Root()->level, 6);  // the project's own settings reach the root
    EXPECT_EQ(SaveAndRead(), kWorkedExample);  // the list read is replaced, not added to
    struct { const char *path, *name; } rows[] = {
        {"C:\\a", "line\nbreak"}, {"C:\\b", "<angle"}, {"C:\\c", ">angle"},
        {"C:\\d\\e\tf", nullptr}};
    for (const auto& row : rows) {
        ProjectNode* bad = File(Root(), row.path, row.name);
        ASSERT_NE(bad, nullptr);
        errors.texts.clear();
        EXPECT_FALSE(StoreProject(&project));
        ASSERT_EQ(errors.texts.size(), 1u);
        EXPECT_NE(errors.texts[0].find(bad->name), std::string::npos);
        DeleteEntry(bad);
        ASSERT_TRUE(project.Save(dir.Join("check.pwp").c_str()));  // the last good list is kept
        EXPECT_EQ(ReadWholeFile(dir.Join("check.pwp")), kWorkedExample) << row.path;
    }
}

// A folder line meeting a folder merges (its level dropped), meeting a file takes a free name.
TEST_F(ProjectFileTest, LinesAreReadFieldByField)
{
    struct { const char* field; int level; } levels[] = {  // the level is read by its first byte
        {"7", 7}, {"", -1}, {"12", 12}, {"x", 0}, {"+3", 3}, {"7abc", 7}, {" 5", -1},
        {"\x82\x4f", -1},
    };
    for (const auto& row : levels) {
        ASSERT_EQ(OpenWithFileList({std::string("0\t\t") + row.field + "\tf\tC:\\f"}), 0);
        ASSERT_NE(Root()->firstChild, nullptr) << row.field;
        EXPECT_EQ(Root()->firstChild->level, row.level) << row.field;
    }
    RecordingView view;
    SetProjectView(&view);
    ASSERT_EQ(OpenWithFileList({
                  "1\tpw\t-1\tflagged\tC:\\a",    // flag 1: the password
                  "0\tpw\t-1\tunflagged\tC:\\b",  // flag 0: none, whatever field 2 holds
                  "10\t\t-1\tlong flag\tC:\\c",   // the flag is read by its first byte
                  "0\t\t-1\tno path",             // a missing field reads as empty
                  "0\t\t3\t>\tdocs", "0\t\t-1\ta.txt\tC:\\a.txt", "0\t\t-1\t>\tsub", "\t\t\t<",
                  "\t\t\t<",
                  "0\t\t5\t>\tDOCS", "0\t\t-1\ta.txt\tC:\\a.txt" /* a duplicate */,
                  "0\t\t-1\ta.txt\tC:\\other\\a.txt", "\t\t\t<",
                  "0\t\t-1\tdata\tC:\\data", "0\t\t-1\t>\tDATA",
                  "0\t\t-1\tinner.txt\tC:\\inner.txt", "\t\t\t<",
                  "0\t\t-1\t<\t",                 // "<" anywhere ends the top level
                  "0\t\t-1\tafter\tC:\\after",
              }),
              0);
    EXPECT_EQ(Shape(Root()), "flagged unflagged long flag no path docs{a.txt sub{} a.txt(1)} data "
                             "DATA(1){inner.txt}");
    const ProjectNode* node = Root()->firstChild;
    EXPECT_STREQ(node->password, "pw");
    EXPECT_EQ(node->nextSibling->password, nullptr);
    EXPECT_STREQ(node->nextSibling->nextSibling->password, "");
    EXPECT_EQ(FindChildNamed(Root(), "docs")->level, 3);
    EXPECT_EQ(view.calls, (Calls{"ResetTree", "AppendRow flagged", "AppendRow unflagged",
                                 "AppendRow long flag", "AppendRow no path", "AddFolderItem docs",
                                 "AppendRow docs", "AddFolderItem sub", "AppendRow data",
                                 "AddFolderItem DATA(1)", "AppendRow DATA(1)",
                                 "ExpandFolderItem 新規書庫"}));
}

// A failed open starts an empty project, with the settings file's PROPERTY when it was one.
TEST_F(ProjectFileTest, FailedOpensReportTheLineAndStartEmpty)
{
    const std::string failed = "プロジェクトの読込に失敗しました。";
    struct Row { const char *name, *text; std::string message; int level; const char* password; };
    const Row rows[] = {
        {"missing.pwp", nullptr, failed + "\r\n(line:0)", -1, nullptr},
        {"cr.pwp", "[INFOMATION]\r\nA=1\r\n[FILELIST]\r\n0\t\t-1\tx\tC:\\x\r\n\t\r\t\t<\r\n",
         failed + "\r\n(line:5)", -1, nullptr},
        {"foreign.pwp", "[INFOMATION]\r\nAPPLICATIONNAME=other\r\nAPPLICATIONVERSION=1.0.0\r\n",
         failed, -1, nullptr},
        {"packwren.ini",
         "[INFOMATION]\r\nAPPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n"
         "[PROPERTY]\r\nCOMPLEVELENABLE=1\r\nCOMPRESSLEVEL=3\r\n"
         "PASSWORDENABLE=1\r\nPASSWORD=ini\r\n",
         failed, 3, "ini"},
        {"", nullptr, "", -1, nullptr},  // no path: a new project
    };
    RecordingView view;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(OpenWithFileList({"0\t\t-1\told\tC:\\old"}), 0);  // something to replace
        errors.texts.clear();
        errors.titles.clear();
        view.calls.clear();
        SetProjectView(&view);
        std::string path = row.text   ? dir.WriteFile(row.name, row.text)
                           : row.name[0] ? dir.Join(row.name)
                                         : "";
        EXPECT_EQ(OpenProject(path.c_str()), row.message.empty() ? 0 : 1);
        SetProjectView(nullptr);
        EXPECT_EQ(errors.texts, row.message.empty() ? Calls{} : Calls{row.message});
        EXPECT_EQ(errors.titles, row.message.empty() ? Calls{} : Calls{"パックレン：プロジェクト"});
        EXPECT_STREQ(CurrentProjectPath, "");
        EXPECT_EQ(view.calls, (Calls{"ResetTree", "ExpandFolderItem 新規書庫"}));
        EXPECT_EQ(Root()->level, row.level);
        EXPECT_STREQ(Root()->password, row.password);
    }
    // From here on the document carries this program's identity.
    EXPECT_EQ(SaveAndRead(), std::string(kHeader) +
                                 "[PROPERTY]\r\n[PROJECT]\r\nPROJECTNAME=新規書庫\r\n"
                                 "[FILELIST]\r\n\t\t\t<\r\n");
}

// Deep enough to overflow any recursive walk, under Wine's 1 MiB stack and the sanitizers' frames:
// the move deletes the old tree, the open clears the moved one, the fixture the one read.
TEST_F(ProjectFileTest, TreesOfAnyDepthAreWalkedWithoutRecursion)
{
    constexpr int kDepth = 100000;
    ASSERT_EQ(OpenProject(""), 0);
    ProjectNode* top = Folder(Root(), "top");
    ProjectNode* folder = top;
    for (int i = 0; i < kDepth; ++i)
        folder = Folder(folder, "d");
    File(folder, "C:\\leaf.txt");
    EXPECT_FALSE(CanMoveInto(&top, 1, folder));
    ASSERT_TRUE(MoveEntries(&top, 1, Folder(Root(), "target")));
    SaveAndRead("deep.pwp");
    ASSERT_EQ(OpenProject(dir.Join("deep.pwp").c_str()), 0);
    int depth = 0;
    const ProjectNode* node = Root()->firstChild;
    for (; node->firstChild != nullptr && node->firstChild->IsFolder(); ++depth)
        node = node->firstChild;
    EXPECT_EQ(depth, kDepth + 1);
    ASSERT_NE(node->firstChild, nullptr);
    EXPECT_STREQ(node->firstChild->name, "leaf.txt");
}
