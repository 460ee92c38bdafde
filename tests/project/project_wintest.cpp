// The project model on Windows itself: batch mode loading projects as a process of its own, and
// disk additions from real directories with hidden and system files and Japanese names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "project/child_links.h"
#include "project/project_node.h"
#include "project/project_tree.h"
#include "tests/support/job_dialog_win32.h"
#include "tests/support/modal_watcher_win32.h"
#include "tests/support/packwren_process_win32.h"
#include "tests/support/project_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

const char kProjectTitle[] = "パックレン：プロジェクト";
const char kGoodProject[] =
    "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n"
    "[PROPERTY]\r\nCOMPLEVELENABLE=1\r\nCOMPRESSLEVEL=6\r\n"
    "[PROJECT]\r\nPROJECTNAME=リリース\r\n"
    "[FILELIST]\r\n"
    "0\t\t9\t>\tdocs\r\n"
    "0\t\t-1\t表示.txt\tC:\\work\\表示.txt\r\n"
    "\t\t\t<\r\n"
    "\t\t\t<\r\n";

struct BatchRun {
    ProcessResult run;
    DialogReport box;
    bool archiveExists;
};

BatchRun RunBatch(const std::string& projectText, bool writeProject = true)
{
    PackwrenSandbox sandbox;
    if (writeProject)
        sandbox.Dir().WriteFile("p.pwp", projectText);
    // A project that loads shows nothing: a short watch is enough to see that no box came.
    ModalWatcher watcher(kProjectTitle, IDOK, writeProject && projectText == kGoodProject ? 3000 : 20000);
    BatchRun result;
    result.run = sandbox.Run("p.pwp -o out.zip");
    result.box = watcher.Wait();
    result.archiveExists = PathExists(sandbox.Dir().Join("out.zip").c_str());
    return result;
}

}  // namespace

TEST(ProjectBatch, AProjectThatLoadsGoesOnToTheBuild)
{
    // The project loads without a message; its sources do not exist here, so the build fails
    // and its dialog stays open with the log until it is closed.
    std::string log;
    JobDriver driver([&](HWND dialog) {
        WaitForJobEnd(dialog);
        log = JobLogText(dialog);
        PressJobButton(dialog, IDOK);
    });
    BatchRun batch = RunBatch(kGoodProject);
    EXPECT_TRUE(driver.Finish());
    ASSERT_TRUE(batch.run.finished);
    EXPECT_FALSE(batch.box.found);
    EXPECT_NE(log.find("error : 見つかりません : "), std::string::npos) << log;
    EXPECT_EQ(batch.run.exitCode, 1u);
}

TEST(ProjectBatch, AProjectThatFailsShowsItsMessageAndEndsWithOne)
{
    struct Row {
        const char* what;
        std::string text;
        bool write;
        std::string message;
    } rows[] = {
        {"broken at line 4",
         "[INFOMATION]\r\nAPPLICATIONNAME=packwrenプロジェクト\r\nAPPLICATIONVERSION=1.0.0\r\n"
         "bad\rline\r\n",
         true, "プロジェクトの読込に失敗しました。\r\n(line:4)"},
        {"blank first line", "\r\n[INFOMATION]\r\n", true,
         "プロジェクトの読込に失敗しました。\r\n(line:1)"},
        {"missing", "", false, "プロジェクトの読込に失敗しました。\r\n(line:0)"},
        {"foreign", "[INFOMATION]\r\nAPPLICATIONNAME=packwren設定ファイル\r\nAPPLICATIONVERSION=1.0.0\r\n",
         true, "プロジェクトの読込に失敗しました。"},
    };
    for (const Row& row : rows) {
        BatchRun batch = RunBatch(row.text, row.write);
        ASSERT_TRUE(batch.run.finished) << row.what;
        EXPECT_TRUE(batch.box.found) << row.what;
        EXPECT_TRUE(batch.box.HasText(row.message)) << row.what;
        EXPECT_EQ(batch.run.exitCode, 1u) << row.what;
        EXPECT_FALSE(batch.archiveExists) << row.what;
    }
}

namespace {

// A directory tree on the Windows file system with what a shell drop brings along.
class WindowsDiskTest : public ProjectTest {
protected:
    std::string MakeDir(const std::string& relative)
    {
        std::string path = dir.Join(relative);
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << relative;
        return path;
    }
    std::string MakeFile(const std::string& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
    {
        std::string path = dir.WriteFile(relative, "data");
        EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << relative;
        return path;
    }
    TempDir dir;
};

}  // namespace

TEST_F(WindowsDiskTest, HiddenSystemAndJapaneseEntriesAreAllAdded)
{
    // 表, ソ and 能 end in the byte "\"; a split that took it for a separator would lose names.
    std::string top = MakeDir("表示");
    MakeFile("表示\\ソース.txt");
    MakeFile("表示\\能力.dat", FILE_ATTRIBUTE_HIDDEN);
    MakeFile("表示\\system.sys", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    std::string secret = MakeDir("表示\\秘密");
    SetFileAttributesA(secret.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeFile("表示\\秘密\\中身.txt");
    MakeDir("表示\\空");

    RecordingView view;
    SetProjectView(&view);
    const char* paths[] = {top.c_str()};
    AddDroppedPaths(paths, 1, Root());
    EXPECT_EQ(SortedShape(Root()), "表示{system.sys ソース.txt 空{} 能力.dat 秘密{中身.txt}}");
    const ProjectNode* folder = FindChildNamed(Root(), "表示");
    ASSERT_NE(folder, nullptr);
    const ProjectNode* source = FindChildNamed(folder, "ソース.txt");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->sourcePath, top + "\\ソース.txt");
    const ProjectNode* inner = FindChildNamed(FindChildNamed(folder, "秘密"), "中身.txt");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->sourcePath, secret + "\\中身.txt");
    ASSERT_FALSE(view.calls.empty());
    EXPECT_EQ(view.calls.front(), "Lock");
    EXPECT_EQ(view.calls.back(), "Unlock");
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "AddFolderItem 秘密"), 1);

    // Dropped again, and one of its files into its folder: nothing new appears.
    view.calls.clear();
    AddDroppedPaths(paths, 1, Root());
    std::string again = top + "\\ソース.txt";
    const char* file[] = {again.c_str()};
    AddDroppedPaths(file, 1, const_cast<ProjectNode*>(folder));
    EXPECT_EQ(SortedShape(Root()), "表示{system.sys ソース.txt 空{} 能力.dat 秘密{中身.txt}}");
    EXPECT_EQ(view.calls, (std::vector<std::string>{"Lock", "ExpandFolderItem 新規書庫", "Unlock",
                                                    "Lock", "ExpandFolderItem 表示", "Unlock"}));
}
