// The headless drag harness under Wine's null graphics driver: DoDragDrop, driven by the scripted
// drop source, reaches a window's drop target at the scripted points, from this process and from
// drag_files.exe in another.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dnd/drop_target.h"
#include "tests/support/drag_files_win32.h"
#include "tests/support/drag_script_win32.h"
#include "tests/support/drop_data_win32.h"
#include "tests/support/recording_drop_target_win32.h"

namespace {

const RECT kTargetRect = {200, 150, 400, 300};
const POINT kOutside = {60, 60};
const POINT kInsideA = {250, 200};
const POINT kInsideB = {390, 290};
// CP932: 表 ends in the byte of a backslash.
const std::vector<std::string> kPaths = {"C:\\data\\a.txt", "C:\\データ\\表.txt"};

using Texts = std::vector<std::string>;
using Effects = std::vector<DWORD>;

class DragHarnessTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};

}  // namespace

TEST_F(DragHarnessTest, FilesEnterLeaveAndDropInProcess)
{
    RecordingDropTarget target(CF_HDROP, DROPEFFECT_COPY);
    DropTargetWindow window(kTargetRect, &target);
    ASSERT_EQ(window.Registration(), S_OK);
    IDataObject* data = MakeFileDataObject(kPaths);
    ScriptedDropSource source({kOutside, kInsideA, kOutside, kInsideB});
    DWORD effect = 0xFF;
    EXPECT_EQ(source.Run(data, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect, MK_CONTROL),
              DRAGDROP_S_DROP);
    data->Release();
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);

    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(source.Feedback(),
              (Effects{DROPEFFECT_NONE, DROPEFFECT_COPY, DROPEFFECT_NONE, DROPEFFECT_COPY}));
    EXPECT_EQ(target.Trace(), (Texts{"DragEnter 250,200", "DragOver 250,200", "DragLeave",
                                     "DragEnter 390,290", "DragOver 390,290", "Drop 390,290"}));
    ASSERT_FALSE(target.calls.empty());
    EXPECT_EQ(target.calls[0].allowed, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE));
    EXPECT_EQ(target.calls.back().keys, static_cast<DWORD>(MK_CONTROL));
    EXPECT_EQ(target.droppedPaths, kPaths);
}

TEST_F(DragHarnessTest, RefusedDataAndCancelEndWithoutDrop)
{
    RecordingDropTarget target(CF_HDROP, DROPEFFECT_COPY);
    DropTargetWindow window(kTargetRect, &target);
    ASSERT_EQ(window.Registration(), S_OK);
    struct Case {
        IDataObject* data;
        ScriptedDropSource::Ending ending;
        HRESULT result;
        DWORD feedback;
    } cases[] = {
        {MakeTextDataObject("text from another program"), ScriptedDropSource::kDrop,
         DRAGDROP_S_DROP, DROPEFFECT_NONE},
        {MakeFileDataObject(kPaths), ScriptedDropSource::kCancel, DRAGDROP_S_CANCEL,
         DROPEFFECT_COPY},
    };
    for (const Case& c : cases) {
        target.calls.clear();
        ScriptedDropSource source({kInsideA, kInsideB}, c.ending);
        DWORD effect = 0xFF;
        EXPECT_EQ(source.Run(c.data, DROPEFFECT_COPY, &effect), c.result);
        c.data->Release();
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(source.Feedback(), (Effects{c.feedback, c.feedback}));
        EXPECT_EQ(target.Trace(), (Texts{"DragEnter 250,200", "DragOver 250,200",
                                         "DragOver 390,290", "DragLeave"}));
    }
    EXPECT_TRUE(target.droppedPaths.empty());
}

TEST_F(DragHarnessTest, FilesDroppedFromAnotherProcess)
{
    RecordingDropTarget target(CF_HDROP, DROPEFFECT_COPY);
    DropTargetWindow window(kTargetRect, &target);
    ASSERT_EQ(window.Registration(), S_OK);
    ProcessResult run =
        RunWhilePumping(DragFilesCommandLine({kOutside, kInsideA, kInsideB}, kPaths));
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(run.output, "60,60 none\r\n250,200 copy\r\n390,290 copy\r\n"
                          "result DRAGDROP_S_DROP copy\r\n");
    EXPECT_EQ(target.Trace(),
              (Texts{"DragEnter 250,200", "DragOver 250,200", "DragOver 390,290", "Drop 390,290"}));
    EXPECT_EQ(target.droppedPaths, kPaths);
}

// The program's own target is the one OLE calls on the registered window; it keeps the drag's
// data object for the callbacks that follow DragEnter.
TEST_F(DragHarnessTest, RegisteredWindowReachesTheStaticTarget)
{
    DropTargetWindow window(kTargetRect, nullptr);
    ASSERT_EQ(RegisterDropTarget(window.Handle()), S_OK);
    IDataObject* data = MakeFileDataObject(kPaths);
    ScriptedDropSource source({kInsideA});
    DWORD effect = 0;
    EXPECT_EQ(source.Run(data, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(CDropTarget::Instance().DragData(), data);
    data->Release();
    EXPECT_EQ(RevokeDropTarget(window.Handle()), S_OK);
}
