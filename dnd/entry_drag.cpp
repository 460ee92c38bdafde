#include "dnd/entry_payload.h"

#include <ole2.h>

#include <cstring>
#include <new>

#include "dnd/data_object.h"
#include "dnd/drop_source.h"

const EntryPayload* ReadEntryPayload(const void* data, size_t bytes)
{
    if (data == nullptr || bytes < sizeof(EntryPayload))
        return nullptr;
    const EntryPayload* payload = static_cast<const EntryPayload*>(data);
    if (payload->count < 0 || bytes < EntryPayloadSize(payload->count))
        return nullptr;
    return payload;
}

void DoEntryDragDrop(const EntryPayload* payload)
{
    CDataObject* data = new (std::nothrow) CDataObject;
    if (data == nullptr)
        return;
    size_t size = EntryPayloadSize(payload->count);
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    void* copy = handle != nullptr ? GlobalLock(handle) : nullptr;
    if (copy == nullptr) {
        if (handle != nullptr)
            GlobalFree(handle);
        data->Release();
        return;
    }
    memcpy(copy, payload, size);
    GlobalUnlock(handle);

    FORMATETC format = MakeFormatEtc(static_cast<CLIPFORMAT>(g_internalClipboardFormat));
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = handle;
    HRESULT stored = data->SetData(&format, &medium, TRUE);
    if (stored == S_OK) {
        CDropSource* source = new (std::nothrow) CDropSource;
        if (source != nullptr) {
            DWORD effect = DROPEFFECT_NONE;
            DoDragDrop(data, source, DROPEFFECT_MOVE, &effect);
            source->Release();
        }
    }
    // The data object owns the handle once SetData took it.
    data->Release();
    if (stored != S_OK)
        GlobalFree(handle);
}
