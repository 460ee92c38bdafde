// The compression job's dialog and worker, run in this process on hand-built trees, driven from
// a second thread.
#include "ui/compress_job.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/file_io.h"
#include "resources/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_builder.h"
#include "tests/support/watchers_win32.h"
#include "tests/support/zip_check.h"

namespace {

const char kCounted[] = "ファイル数計測中\r\nファイル数:";

struct JobState {
    std::string log;
    bool finished = false;  // the worker ended within the time
    bool closeEnabled = false, abortEnabled = true;
    int position = -1, rangeHigh = -1;
};

JobState ReadState(HWND dialog)
{
    JobState state;
    state.finished = WaitForJobEnd(dialog);
    state.log = JobLogText(dialog);
    state.closeEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
    state.abortEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_JOB_ABORT)) != FALSE;
    HWND bar = GetDlgItem(dialog, IDC_JOB_PROGRESS);
    state.position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
    state.rangeHigh = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    return state;
}

RECT WindowRect(HWND window)
{
    RECT box;
    GetWindowRect(window, &box);
    return box;
}

class CompressJob : public testing::Test {
protected:
    std::string Source(const std::string& name, const std::string& bytes) { return dir.WriteFile(name, bytes); }
    // Runs a job and reads it once the worker has ended; with `stillOpen`, whether it is still
    // open a moment later (no auto-close). Then it is closed as the user would.
    JobState RunUntilClosed(bool autoClose, bool* built, bool* stillOpen = nullptr)
    {
        JobState state;
        JobDriver driver([&](HWND dialog) {
            state = ReadState(dialog);
            if (stillOpen != nullptr) {
                Sleep(300);
                *stillOpen = IsWindow(dialog) != FALSE;
            }
            PressJobButton(dialog, IDOK);
        });
        *built = StartCompressJob(nullptr, out.c_str(), autoClose);
        EXPECT_TRUE(driver.Finish());
        return state;
    }

    TempDir dir;
    TreeBuilder tree;
    std::string out = dir.Join("out.zip");
};

}  // namespace

// A successful build logs four lines and waits for the user. Its dialog is laid out in dialog
// units; the log takes whatever the dialog gains, and the opening size is the least it takes.
TEST_F(CompressJob, ASuccessfulBuildWaitsForTheUserInADialogThatSizesItsLog)
{
    for (int i = 0; i < 3; ++i)
        tree.File(tree.Root(), "f" + std::to_string(i), Source("f" + std::to_string(i), "data"));
    struct { int id; const char *className, *text; RECT units; LONG style; } controls[] = {
        {IDC_JOB_PROGRESS, "msctls_progress32", "", {3, 2, 124, 14}, 0},
        {IDOK, "Button", "閉じる(&C)", {127, 2, 44, 14}, BS_DEFPUSHBUTTON},
        {IDC_JOB_ABORT, "Button", "中止(&X)", {175, 2, 36, 14}, 0},
        {IDC_JOB_LOG, "Edit", nullptr, {3, 18, 208, 119},
         ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP},
    };
    JobState state;
    bool stillOpen = false, built = false;
    std::string title, fails;
    LONG style = 0;
    RECT before{}, logBefore{}, logAfter{}, barBefore{}, barAfter{}, shrunk{};
    MINMAXINFO limits{};
    JobDriver driver([&](HWND dialog) {
        state = ReadState(dialog);
        Sleep(300);
        stillOpen = IsWindow(dialog) != FALSE;
        char text[256];
        GetWindowTextA(dialog, text, sizeof text);
        title = text;
        style = GetWindowLongA(dialog, GWL_STYLE);
        for (const auto& c : controls) {
            HWND control = GetDlgItem(dialog, c.id);
            RECT expected = c.units, actual = WindowRect(control);  // each converted on its own
            MapDialogRect(dialog, &expected);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
            actual.right -= actual.left;
            actual.bottom -= actual.top;
            GetClassNameA(control, text, sizeof text);
            bool classOk = _stricmp(text, c.className) == 0;
            GetWindowTextA(control, text, sizeof text);
            // An edit control turns WS_BORDER into the sunken WS_EX_CLIENTEDGE when it is created.
            bool border = (GetWindowLongA(control, GWL_STYLE) & WS_BORDER) != 0 ||
                          (GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
            if (!EqualRect(&expected, &actual) || !classOk || (c.text != nullptr && std::string(text) != c.text) ||
                (GetWindowLongA(control, GWL_STYLE) & c.style) != c.style || (c.id == IDC_JOB_LOG && !border))
                fails += std::to_string(c.id) + " ";
        }
        HWND log = GetDlgItem(dialog, IDC_JOB_LOG), bar = GetDlgItem(dialog, IDC_JOB_PROGRESS);
        before = WindowRect(dialog);
        logBefore = WindowRect(log);
        barBefore = WindowRect(bar);
        int width = before.right - before.left, height = before.bottom - before.top;
        SetWindowPos(dialog, nullptr, 0, 0, width + 50, height + 30, SWP_NOMOVE | SWP_NOZORDER);
        logAfter = WindowRect(log);
        barAfter = WindowRect(bar);
        SendMessageA(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        SetWindowPos(dialog, nullptr, 0, 0, width - 40, height - 40, SWP_NOMOVE | SWP_NOZORDER);
        shrunk = WindowRect(dialog);
        PressJobButton(dialog, IDOK);
    });
    built = StartCompressJob(nullptr, out.c_str(), false);
    ASSERT_TRUE(driver.Finish());
    EXPECT_TRUE(built);
    ASSERT_TRUE(state.finished);
    // "処理を完了しました(Nsec.)" with N of 0 or 1: the clock may pass a second boundary.
    std::string start = std::string(kCounted) + "3\r\n圧縮開始\r\n処理を完了しました(";
    EXPECT_TRUE(state.log == start + "0sec.)\r\n" || state.log == start + "1sec.)\r\n") << state.log;
    EXPECT_TRUE(state.closeEnabled && !state.abortEnabled);
    EXPECT_EQ(state.position * 10 + state.rangeHigh, 33);
    EXPECT_TRUE(stillOpen);
    ZipParsed parsed;
    EXPECT_TRUE(ParseZip(ReadWholeFile(out), &parsed));
    EXPECT_EQ(parsed.entries.size(), 3u);

    EXPECT_EQ(title, "圧縮処理");
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_THICKFRAME);
    EXPECT_EQ(fails, "");
    EXPECT_EQ(logAfter.right - logAfter.left, logBefore.right - logBefore.left + 50);
    EXPECT_EQ(logAfter.bottom - logAfter.top, logBefore.bottom - logBefore.top + 30);
    EXPECT_EQ(logAfter.left * 10000 + logAfter.top, logBefore.left * 10000 + logBefore.top);
    EXPECT_TRUE(EqualRect(&barAfter, &barBefore));
    EXPECT_EQ(limits.ptMinTrackSize.x, before.right - before.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, before.bottom - before.top);
    EXPECT_TRUE(shrunk.right - shrunk.left == before.right - before.left &&
                shrunk.bottom - shrunk.top == before.bottom - before.top);
}

TEST_F(CompressJob, ASuccessfulBatchBuildClosesItselfAndAFailedOneStaysOpen)
{
    tree.File(tree.Root(), "f", Source("f", "data"));
    // Nobody presses anything unless the dialog is still there after ten seconds.
    std::atomic<bool> returned{false};
    bool hadToClose = false;
    FindWindowA(nullptr, "");  // connect to the desktop on this thread first (see ModalWatcher)
    std::thread watchdog([&] {
        DWORD start = GetTickCount();
        while (!returned && GetTickCount() - start < 10000)
            Sleep(10);
        if (!returned) {
            hadToClose = true;
            if (HWND dialog = WaitForJobDialog(1000))
                PressJobButton(dialog, IDOK);
        }
    });
    EXPECT_TRUE(StartCompressJob(nullptr, out.c_str(), true));
    returned = true;
    watchdog.join();
    EXPECT_FALSE(hadToClose);
    ZipParsed parsed;
    EXPECT_TRUE(ParseZip(ReadWholeFile(out), &parsed));
    EXPECT_EQ(parsed.entries.size(), 1u);

    tree.Clear();
    std::string missing = dir.Join("missing");
    tree.File(tree.Root(), "gone", missing);
    tree.File(tree.Root(), "there", Source("there", "t"));
    bool built = true, stillOpen = false;
    JobState state = RunUntilClosed(true, &built, &stillOpen);
    EXPECT_FALSE(built);
    EXPECT_EQ(state.log, std::string(kCounted) + "2\r\n圧縮開始\r\nerror : 見つかりません : gone(" + missing +
                             ")\r\n前の書庫はそのまま残しました : " + out + "\r\n処理を中断しました\r\n");
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(state.position, 2);

    // An empty project stops before any file is created; a path that does not fit shows nothing.
    tree.Clear();
    tree.Folder(tree.Root(), "empty");
    DeleteFileA(out.c_str());
    state = RunUntilClosed(true, &built);
    EXPECT_FALSE(built);
    EXPECT_EQ(state.log, std::string(kCounted) + "0\r\n処理を中断しました\r\n");
    EXPECT_FALSE(PathExists(out.c_str()));
    tree.File(tree.Root(), "f", Source("f", "data"));
    EXPECT_FALSE(StartCompressJob(nullptr, std::string(260, 'p').c_str(), false));
}

// Abort by the button or by Esc while a large file is being compressed: the file's entry is
// dropped, the walk stops, and Esc closes the dialog once the worker has ended.
TEST_F(CompressJob, AbortDuringALargeFileKeepsThePreviousArchive)
{
    // Slow to deflate at level 9, so the build is still in it when the abort comes.
    std::string large = Source("large", CompressibleText(1 << 20) + RandomBytes(1 << 20, 3));
    for (int i = 0; i < 5; ++i)
        large = Source("large", ReadWholeFile(large) + ReadWholeFile(large));
    for (int how : {IDC_JOB_ABORT, IDCANCEL}) {
        SCOPED_TRACE(how);
        tree.Clear();
        tree.File(tree.Root(), "small", Source("small", "s"));
        tree.File(tree.Root(), "large", large, 9);
        tree.File(tree.Root(), "after", Source("after", "a"));
        Source("out.zip", "previous");
        JobState state;
        bool closedByEsc = false;
        JobDriver driver([&](HWND dialog) {
            HWND bar = GetDlgItem(dialog, IDC_JOB_PROGRESS);
            DWORD start = GetTickCount();
            while (SendMessageA(bar, PBM_GETPOS, 0, 0) < 1 && GetTickCount() - start < 20000)
                Sleep(1);
            PressJobButton(dialog, how);
            state = ReadState(dialog);
            PressJobButton(dialog, IDCANCEL);
            closedByEsc = WaitForWindowGone(dialog, 5000);
            if (!closedByEsc)
                PressJobButton(dialog, IDOK);
        });
        EXPECT_FALSE(StartCompressJob(nullptr, out.c_str(), false));
        ASSERT_TRUE(driver.Finish());
        EXPECT_EQ(state.log, std::string(kCounted) + "3\r\n圧縮開始\r\nerror : large(" + large +
                                 ")\r\n前の書庫はそのまま残しました : " + out + "\r\n処理を中断しました\r\n");
        EXPECT_EQ(state.position, 2);
        EXPECT_TRUE(closedByEsc);
        EXPECT_EQ(ReadWholeFile(out), "previous");
    }
}

// Far beyond the edit control's default limit of about 32,000 characters, the log is never cut;
// and the bar counts beyond 65,535 files.
TEST_F(CompressJob, ALongLogIsNeverCutAndTheBarCountsBeyond65535Files)
{
    const int kLines = 2000;
    std::string expected = std::string(kCounted) + std::to_string(kLines) + "\r\n圧縮開始\r\n";
    for (int i = 0; i < kLines; ++i) {
        std::string name = std::string(150, 'n') + std::to_string(i);
        std::string path = dir.Join(std::string(150, 'p') + std::to_string(i));
        tree.File(tree.Root(), name, path);
        expected += "error : 見つかりません : " + name + "(" + path + ")\r\n";
    }
    expected += "処理を中断しました\r\n";
    bool built = true;
    JobState state = RunUntilClosed(false, &built);
    EXPECT_FALSE(built);
    EXPECT_GT(expected.size(), 600000u);
    EXPECT_EQ(state.log, expected);

    tree.Clear();
    std::string empty = Source("empty", "");
    for (int i = 0; i < 66000; ++i)
        tree.File(tree.Root(), std::to_string(i), empty, 0);
    state = RunUntilClosed(false, &built);
    EXPECT_TRUE(built);
    EXPECT_EQ(state.rangeHigh, 66000);
    EXPECT_EQ(state.position, 66000);
    EXPECT_NE(state.log.find("ファイル数:66000\r\n"), std::string::npos);
}
