#include "tests/support/drop_data_win32.h"

#include <shlobj.h>

#include <cstring>
#include <new>

#include "dnd/data_object.h"

namespace {

// Moveable global memory holding `header` and then `bytes`; none when it cannot be allocated.
HGLOBAL Block(const void* header, size_t headerSize, const void* bytes, size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, headerSize + size);
    if (memory == nullptr)
        return nullptr;
    char* at = static_cast<char*>(GlobalLock(memory));
    memcpy(at, header, headerSize);
    memcpy(at + headerSize, bytes, size);
    GlobalUnlock(memory);
    return memory;
}

template <typename Text>
HGLOBAL FileList(const std::vector<Text>& paths, BOOL wide)
{
    Text list;
    for (const Text& path : paths)
        list.append(path.c_str(), path.size() + 1);
    list.push_back('\0');
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = wide;
    return Block(&header, sizeof header, list.data(), list.size() * sizeof list[0]);
}

IDataObject* Owning(CLIPFORMAT format, HGLOBAL memory)
{
    CDataObject* data = memory != nullptr ? new (std::nothrow) CDataObject : nullptr;
    FORMATETC formatEtc = MakeFormatEtc(format);
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = memory;
    if (data != nullptr && data->SetData(&formatEtc, &medium, TRUE) == S_OK)
        return data;
    if (memory != nullptr)
        GlobalFree(memory);
    if (data != nullptr)
        data->Release();
    return nullptr;
}

}  // namespace

IDataObject* MakeFileDataObject(const std::vector<std::string>& paths)
{
    return Owning(CF_HDROP, FileList(paths, FALSE));
}

IDataObject* MakeFileDataObject(const std::vector<std::wstring>& paths)
{
    return Owning(CF_HDROP, FileList(paths, TRUE));
}

IDataObject* MakeTextDataObject(const std::string& text)
{
    return Owning(CF_TEXT, Block("", 0, text.c_str(), text.size() + 1));
}
