// An entry drag: the payload record in the private format, offered for a move only.
#include "dnd/entry_payload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/file_io.h"
#include "dnd/data_object.h"
#include "project/project_node.h"
#include "tests/support/recording_drop_target_win32.h"

namespace {

const RECT kTargetRect = {200, 150, 400, 300};

class EntryDragTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        g_internalClipboardFormat = RegisterClipboardFormatA("PACKWREN_INTERNAL_CLIPBOARDTYPE");
        privateFormat = static_cast<CLIPFORMAT>(g_internalClipboardFormat);
    }
    void TearDown() override { OleUninitialize(); }

    CLIPFORMAT privateFormat = 0;
};

template <typename T>
T FieldAt(const std::string& bytes, size_t offset)
{
    T value;
    memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

}  // namespace

TEST_F(EntryDragTest, PayloadReachesTheTargetAsAMove)
{
    RecordingDropTarget target(privateFormat, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    DropTargetWindow window(kTargetRect, &target);
    ASSERT_EQ(window.Registration(), S_OK);
    ProjectNode first;
    ProjectNode second;
    void* buffer = nullptr;
    ASSERT_TRUE(AllocPageBuffer(&buffer, EntryPayloadSize(2)));
    EntryPayload* payload = static_cast<EntryPayload*>(buffer);
    payload->window = window.Handle();
    payload->count = 2;
    EntryPayloadNodes(payload)[0] = &second;
    EntryPayloadNodes(payload)[1] = &first;

    // The program's drop source drops as soon as no button is down, which is always so here.
    SetCursorPos(300, 200);
    DoEntryDragDrop(payload);

    ASSERT_EQ(target.calls.size(), 2u);
    EXPECT_EQ(target.calls[0].name, "DragEnter");
    EXPECT_EQ(target.calls[1].name, "Drop");
    EXPECT_EQ(target.calls[1].point.x, 300);
    for (const RecordingDropTarget::Call& call : target.calls)
        EXPECT_EQ(call.allowed, static_cast<DWORD>(DROPEFFECT_MOVE));
    const std::string& bytes = target.droppedBytes;
    ASSERT_EQ(bytes.size(), 2 * sizeof(void*) + 2 * sizeof(ProjectNode*));
    EXPECT_EQ(memcmp(bytes.data(), buffer, bytes.size()), 0);
    EXPECT_EQ(FieldAt<HWND>(bytes, 0), window.Handle());
    EXPECT_EQ(FieldAt<int32_t>(bytes, sizeof(HWND)), 2);
    EXPECT_EQ(FieldAt<ProjectNode*>(bytes, 2 * sizeof(void*)), &second);
    EXPECT_EQ(FieldAt<ProjectNode*>(bytes, 3 * sizeof(void*)), &first);
    FreePageBuffer(&buffer);
}

TEST_F(EntryDragTest, TargetWithoutThePrivateFormatGetsNoDrop)
{
    RecordingDropTarget target(CF_HDROP, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    DropTargetWindow window(kTargetRect, &target);
    ASSERT_EQ(window.Registration(), S_OK);
    EntryPayload empty = {nullptr, 0};
    SetCursorPos(300, 200);
    DoEntryDragDrop(&empty);
    EXPECT_EQ(target.Trace(), (std::vector<std::string>{"DragEnter 300,200", "DragLeave"}));
}

TEST(EntryPayload, ReadOnlyWhatTheDataHolds)
{
    alignas(EntryPayload) unsigned char data[EntryPayloadSize(3)] = {};
    EntryPayload* payload = reinterpret_cast<EntryPayload*>(data);
    struct Case {
        int32_t count;
        size_t bytes;
        bool readable;
    } cases[] = {
        {0, EntryPayloadSize(0), true},
        {3, EntryPayloadSize(3), true},
        {2, EntryPayloadSize(3), true},
        {3, EntryPayloadSize(3) - 1, false},
        {0, sizeof(EntryPayload) - 1, false},
        {-1, EntryPayloadSize(3), false},
    };
    for (const Case& c : cases) {
        payload->count = c.count;
        EXPECT_EQ(ReadEntryPayload(data, c.bytes) == payload, c.readable)
            << c.count << " " << c.bytes;
    }
    EXPECT_EQ(ReadEntryPayload(nullptr, 100), nullptr);
}
