#include "tests/support/drop_data_win32.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <new>

#include "dnd/data_object.h"

namespace {
template <typename Text>
HGLOBAL MakeHdropOf(const std::vector<Text>& paths, BOOL wide)
{
    Text list;
    for (const Text& path : paths)
        list.append(path.c_str(), path.size() + 1);
    list.push_back('\0');
    size_t bytes = list.size() * sizeof list[0];
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
    if (memory == nullptr)
        return nullptr;
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = wide;
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), bytes);
    GlobalUnlock(memory);
    return memory;
}
}  // namespace

HGLOBAL MakeHdrop(const std::vector<std::string>& paths)
{
    return MakeHdropOf(paths, FALSE);
}

HGLOBAL MakeHdrop(const std::vector<std::wstring>& paths)
{
    return MakeHdropOf(paths, TRUE);
}

std::vector<std::string> HdropPaths(HGLOBAL drop)
{
    std::vector<std::string> paths;
    HDROP files = static_cast<HDROP>(drop);
    UINT count = DragQueryFileA(files, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        char path[MAX_PATH];
        DragQueryFileA(files, i, path, sizeof path);
        paths.push_back(path);
    }
    return paths;
}

namespace {
IDataObject* DataObjectOwning(CLIPFORMAT format, HGLOBAL memory)
{
    if (memory == nullptr)
        return nullptr;
    CDataObject* data = new (std::nothrow) CDataObject;
    FORMATETC formatEtc = MakeFormatEtc(format);
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = memory;
    if (data == nullptr || data->SetData(&formatEtc, &medium, TRUE) != S_OK) {
        GlobalFree(memory);
        if (data != nullptr)
            data->Release();
        return nullptr;
    }
    return data;
}
}  // namespace

IDataObject* MakeFileDataObject(const std::vector<std::string>& paths)
{
    return DataObjectOwning(CF_HDROP, MakeHdrop(paths));
}

IDataObject* MakeFileDataObject(const std::vector<std::wstring>& paths)
{
    return DataObjectOwning(CF_HDROP, MakeHdrop(paths));
}

IDataObject* MakeTextDataObject(const std::string& text)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    if (memory != nullptr) {
        memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
    }
    return DataObjectOwning(CF_TEXT, memory);
}

std::string GlobalBytes(HGLOBAL memory)
{
    std::string bytes;
    const char* data = static_cast<const char*>(GlobalLock(memory));
    if (data != nullptr) {
        bytes.assign(data, GlobalSize(memory));
        GlobalUnlock(memory);
    }
    return bytes;
}
