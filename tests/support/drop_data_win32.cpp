#include "tests/support/drop_data_win32.h"

#include <shlobj.h>

#include <cstring>

#include "dnd/data_object.h"

namespace {

// A data object owning moveable global memory that holds `header` and then `bytes`.
IDataObject* Owning(CLIPFORMAT format, const void* header, size_t headerSize, const void* bytes,
                    size_t size)
{
    STGMEDIUM medium = {TYMED_HGLOBAL, {}, nullptr};
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, headerSize + size);
    char* at = static_cast<char*>(GlobalLock(medium.hGlobal));
    memcpy(at, header, headerSize);
    memcpy(at + headerSize, bytes, size);
    GlobalUnlock(medium.hGlobal);
    CDataObject* data = new CDataObject;
    FORMATETC formatEtc = MakeFormatEtc(format);
    data->SetData(&formatEtc, &medium, TRUE);
    return data;
}

template <typename Text>
IDataObject* FileList(const std::vector<Text>& paths, BOOL wide)
{
    Text list;
    for (const Text& path : paths)
        list.append(path.c_str(), path.size() + 1);
    list.push_back('\0');
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = wide;
    return Owning(CF_HDROP, &header, sizeof header, list.data(), list.size() * sizeof list[0]);
}

}  // namespace

IDataObject* MakeFileDataObject(const std::vector<std::string>& paths)
{
    return FileList(paths, FALSE);
}

IDataObject* MakeFileDataObject(const std::vector<std::wstring>& paths)
{
    return FileList(paths, TRUE);
}

IDataObject* MakeTextDataObject(const std::string& text)
{
    return Owning(CF_TEXT, "", 0, text.c_str(), text.size() + 1);
}
