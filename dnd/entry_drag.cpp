#include "dnd/entry_payload.h"

#include <ole2.h>

#include <cstring>
#include <new>

#include "dnd/data_object.h"
#include "dnd/drop_source.h"

UINT g_internalClipboardFormat;

const EntryPayload* ReadEntryPayload(const void* data, size_t bytes)
{
    if (data == nullptr || bytes < sizeof(EntryPayload))
        return nullptr;
    const EntryPayload* payload = static_cast<const EntryPayload*>(data);
    if (payload->count < 0 || bytes < EntryPayloadSize(payload->count))
        return nullptr;
    return payload;
}

IDataObject* MakeEntryDataObject(const EntryPayload* payload)
{
    CDataObject* data = new (std::nothrow) CDataObject;
    if (data == nullptr)
        return nullptr;
    size_t size = EntryPayloadSize(payload->count);
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    void* copy = handle != nullptr ? GlobalLock(handle) : nullptr;
    if (copy == nullptr) {
        if (handle != nullptr)
            GlobalFree(handle);
        data->Release();
        return nullptr;
    }
    memcpy(copy, payload, size);
    GlobalUnlock(handle);

    FORMATETC format = MakeFormatEtc(static_cast<CLIPFORMAT>(g_internalClipboardFormat));
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = handle;
    // From here on the data object owns the handle, unless it refused it.
    if (data->SetData(&format, &medium, TRUE) != S_OK) {
        data->Release();
        GlobalFree(handle);
        return nullptr;
    }
    return data;
}

void DoEntryDragDrop(const EntryPayload* payload)
{
    IDataObject* data = MakeEntryDataObject(payload);
    if (data == nullptr)
        return;
    CDropSource* source = new (std::nothrow) CDropSource;
    if (source != nullptr) {
        DWORD effect = DROPEFFECT_NONE;
        DoDragDrop(data, source, DROPEFFECT_MOVE, &effect);
        source->Release();
    }
    data->Release();
}
