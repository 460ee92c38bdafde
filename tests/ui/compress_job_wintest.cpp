// The compression job's dialog and worker on hand-built trees, driven from a second thread.
#include "ui/compress_job.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "core/file_io.h"
#include "resources/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_builder.h"
#include "tests/support/watchers_win32.h"
#include "tests/support/zip_check.h"

namespace {

const char kCounted[] = "ファイル数計測中\r\nファイル数:";

SIZE Size(HWND window)
{
    RECT box;
    GetWindowRect(window, &box);
    return {box.right - box.left, box.bottom - box.top};
}

class CompressJob : public testing::Test {
protected:
    struct Job {
        bool built = false, open = false;  // open: the dialog waited for the user
        std::string log;
    };
    // `drive` gets the dialog once the worker has ended, unless it closed itself.
    Job Run(bool autoClose, std::function<void(HWND)> drive = nullptr)
    {
        Job job;
        ModalWatcher watcher(kJobTitle, IDOK, 20000, [&](HWND dialog) {
            job.open = WaitForJobEnd(dialog) && !WaitFor(300, [&] { return !IsWindow(dialog); });
            job.log = job.open ? JobLogText(dialog) : "";
            if (job.open && drive)
                drive(dialog);
        });
        job.built = StartCompressJob(nullptr, out.c_str(), autoClose);
        EXPECT_TRUE(watcher.Wait().found);
        return job;
    }

    TempDir dir;
    TreeBuilder tree;
    std::string out = dir.Join("out.zip");
};

}  // namespace

// The bar counts beyond 65,535 files; the log takes what the dialog gains, down to its first size.
// A failed batch build stays open with its whole log, beyond the edit control's usual limit.
TEST_F(CompressJob, AFailedBuildWaitsInADialogThatSizesItsWholeLog)
{
    std::string empty = dir.WriteFile("empty", "");
    std::string expected = std::string(kCounted) + "66000\r\n圧縮開始\r\n";
    for (int i = 0; i < 66000; ++i) {
        std::string name = std::string(150, 'n') + std::to_string(i);
        std::string path = i < 2000 ? dir.Join(std::string(150, 'p') + std::to_string(i)) : empty;
        tree.File(tree.Root(), name, path, 0);
        if (i < 2000)
            expected += "error : 見つかりません : " + name + "(" + path + ")\r\n";
    }
    dir.WriteFile("out.zip", "previous");
    expected += "前の書庫はそのまま残しました : " + out + "\r\n処理を中断しました\r\n";
    std::string shown;
    Job job = Run(true, [&](HWND dialog) {
        HWND progress = GetDlgItem(dialog, IDC_JOB_PROGRESS);
        HWND text = GetDlgItem(dialog, IDC_JOB_LOG);
        LONG style = GetWindowLongA(dialog, GWL_STYLE) & (WS_THICKFRAME | WS_SYSMENU);
        SIZE before = Size(dialog), logBefore = Size(text), bar = Size(progress);
        const UINT keep = SWP_NOMOVE | SWP_NOZORDER;
        SetWindowPos(dialog, nullptr, 0, 0, before.cx + 50, before.cy + 30, keep);
        SIZE grown = Size(text), barNow = Size(progress);
        MINMAXINFO limits{};
        SendMessageA(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        SetWindowPos(dialog, nullptr, 0, 0, before.cx - 40, before.cy - 40, keep);
        SIZE shrunk = Size(dialog);
        auto pair = [](LONG a, LONG b) {
            return std::to_string(a) + "," + std::to_string(b) + " ";
        };
        shown = pair(SendMessageA(progress, PBM_GETPOS, 0, 0),
                     SendMessageA(progress, PBM_GETRANGE, 0, 0)) +
                pair(IsWindowEnabled(GetDlgItem(dialog, IDC_JOB_ABORT)), style == WS_THICKFRAME) +
                pair(grown.cx - logBefore.cx, grown.cy - logBefore.cy) +
                pair(barNow.cx - bar.cx, barNow.cy - bar.cy) +
                pair(limits.ptMinTrackSize.x - before.cx, limits.ptMinTrackSize.y - before.cy) +
                pair(shrunk.cx - before.cx, shrunk.cy - before.cy);
    });
    EXPECT_TRUE(!job.built && job.open);
    // position,range  abort enabled,resizable  log  bar  least size  after shrinking
    EXPECT_EQ(shown, "66000,66000 0,1 50,30 0,0 0,0 0,0 ");
    EXPECT_EQ(job.log, expected);

    // An empty project stops before any file is created; a path that does not fit shows nothing.
    tree.Clear();
    tree.Folder(tree.Root(), "empty");
    DeleteFileA(out.c_str());
    job = Run(true);
    EXPECT_EQ(job.log, std::string(kCounted) + "0\r\n処理を中断しました\r\n");
    EXPECT_FALSE(job.built || PathExists(out.c_str()));
    tree.File(tree.Root(), "f", dir.WriteFile("f", "data"));
    EXPECT_FALSE(StartCompressJob(nullptr, std::string(260, 'p').c_str(), false));
}

// Abort or Esc during a large file drop its entry; Esc closes the dialog once the worker ended.
TEST_F(CompressJob, AbortDuringALargeFileKeepsThePreviousArchive)
{
    // Slow to deflate at level 9, so the build is still in it when the abort comes.
    std::string large = dir.WriteFile("large", CompressibleText(1 << 20) + RandomBytes(1 << 20, 3));
    for (int i = 0; i < 5; ++i)
        large = dir.WriteFile("large", ReadWholeFile(large) + ReadWholeFile(large));
    for (int how : {IDC_JOB_ABORT, IDCANCEL}) {
        SCOPED_TRACE(how);
        tree.Clear();
        tree.File(tree.Root(), "small", dir.WriteFile("small", "s"));
        tree.File(tree.Root(), "large", large, 9);
        tree.File(tree.Root(), "after", dir.WriteFile("after", "a"));
        dir.WriteFile("out.zip", "previous");
        std::string log;
        int position = 0;
        bool closedByEsc = false;
        ModalWatcher job(kJobTitle, IDOK, 20000, [&](HWND dialog) {
            HWND bar = GetDlgItem(dialog, IDC_JOB_PROGRESS);
            WaitFor(20000, [&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) >= 1; });
            PressButton(dialog, how);
            WaitForJobEnd(dialog);
            log = JobLogText(dialog);
            position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
            PressButton(dialog, IDCANCEL);
            closedByEsc = WaitFor(5000, [&] { return !IsWindow(dialog); });
        });
        EXPECT_FALSE(StartCompressJob(nullptr, out.c_str(), false));
        ASSERT_TRUE(job.Wait().found);
        EXPECT_EQ(log, std::string(kCounted) + "3\r\n圧縮開始\r\nerror : large(" + large + ")\r\n" +
                           "前の書庫はそのまま残しました : " + out + "\r\n処理を中断しました\r\n");
        EXPECT_EQ(position, 2);
        EXPECT_TRUE(closedByEsc);
        EXPECT_EQ(ReadWholeFile(out), "previous");
    }
}
