#pragma once
#include <windows.h>
#include <ole2.h>

#include <cstddef>
#include <cstdint>

struct ProjectNode;

// The private clipboard format of dragged entries, registered at windowed start-up.
extern UINT g_internalClipboardFormat;

// Entries dragged between the panes: a header followed by `count` node references, in the order
// they were collected. The references are addresses in the process that started the drag, so a
// receiver accepts them only when `window` is its own main window. Window 0 with count 0 is the
// empty payload that stands for a shell drag.
struct EntryPayload {
    HWND window;
    int32_t count;
};

constexpr size_t EntryPayloadSize(int32_t count)
{
    return sizeof(EntryPayload) + static_cast<size_t>(count) * sizeof(ProjectNode*);
}

// The node references follow the header; the header's size keeps them pointer-aligned.
inline ProjectNode** EntryPayloadNodes(EntryPayload* payload)
{
    return reinterpret_cast<ProjectNode**>(payload + 1);
}
inline ProjectNode* const* EntryPayloadNodes(const EntryPayload* payload)
{
    return reinterpret_cast<ProjectNode* const*>(payload + 1);
}

// The payload in `bytes` bytes of data in the private format, or none when the data cannot hold
// the count it announces (another program may register the same format name).
const EntryPayload* ReadEntryPayload(const void* data, size_t bytes);

// A data object (one reference, the caller's) holding a copy of the payload in the private
// format; none when memory runs out.
IDataObject* MakeEntryDataObject(const EntryPayload* payload);

// Drags the payload in the private format, allowing only a move, and returns when the drag has
// ended. The receiving drop target carries out the move; nothing is reported here.
void DoEntryDragDrop(const EntryPayload* payload);
