#include "dnd/drop_target.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "core/format_text.h"
#include "core/report.h"
#include "core/wide_names_win32.h"
#include "dnd/data_object.h"
#include "dnd/entry_payload.h"
#include "project/project_tree.h"

CDropTarget& CDropTarget::Instance()
{
    static CDropTarget target;
    return target;
}

HRESULT CDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IDropTarget || iid == IID_IUnknown) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDropTarget::AddRef()
{
    return InterlockedIncrement(&refs_);
}

ULONG CDropTarget::Release()
{
    return InterlockedDecrement(&refs_);
}

HRESULT CDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    data_ = data;
    return DragOver(keyState, point, effect);
}

namespace {

const DWORD kRefused = DROPEFFECT_NONE;

bool Offers(IDataObject* data, CLIPFORMAT format)
{
    FORMATETC query = MakeFormatEtc(format);
    return data != nullptr && data->QueryGetData(&query) == S_OK;
}

CLIPFORMAT EntryFormat()
{
    return static_cast<CLIPFORMAT>(g_internalClipboardFormat);
}

// Hands the drag's entry payload to `use`; false when there is none to read. Another program may
// offer data under the same format name, so the record is checked against its size.
template <typename Use>
bool UseEntryPayload(IDataObject* data, Use use)
{
    FORMATETC format = MakeFormatEtc(EntryFormat());
    STGMEDIUM medium = {};
    if (data->GetData(&format, &medium) != S_OK)
        return false;
    const EntryPayload* payload = nullptr;
    if (medium.tymed == TYMED_HGLOBAL) {
        if (const void* bytes = GlobalLock(medium.hGlobal)) {
            payload = ReadEntryPayload(bytes, GlobalSize(medium.hGlobal));
            if (payload != nullptr)
                use(payload);
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    return payload != nullptr;
}

// Entries always move and shell files are always copied in, whatever keys are held and whatever
// the source allows.
DWORD HoverEffect(DropPanes& panes, IDataObject* data, POINT point)
{
    if (Offers(data, EntryFormat())) {
        DWORD effect = kRefused;
        UseEntryPayload(data, [&](const EntryPayload* payload) {
            if (panes.ResolveTarget(point, payload) != nullptr)
                effect = DROPEFFECT_MOVE;
        });
        return effect;
    }
    if (Offers(data, CF_HDROP)) {
        const EntryPayload anyFolder = {nullptr, 0};
        return panes.ResolveTarget(point, &anyFolder) != nullptr ? DROPEFFECT_COPY : kRefused;
    }
    return kRefused;
}

// Names outside code page 932 that a drop left out, in one message for the whole drop: the
// first few paths as they can be shown, and how many more there were.
void ReportSkippedNames(const std::vector<std::string>& skipped)
{
    constexpr size_t kListed = 10;
    char line[256];
    FormatText(line, sizeof line,
               "名前にシフトJIS（コードページ932）で表せない文字があるため、次の%d件は追加しません"
               "でした（表せない文字は「?」で示しています）。\r\n",
               static_cast<int>(skipped.size()));
    std::string text = line;
    for (size_t i = 0; i < skipped.size() && i < kListed; ++i)
        text += "\r\n" + skipped[i];
    if (skipped.size() > kListed) {
        FormatText(line, sizeof line, "\r\nほか%d件", static_cast<int>(skipped.size() - kListed));
        text += line;
    }
    ReportError(text.c_str(), "パックレン：ファイルの追加");
}

// The shell hands over wide paths; a path that code page 932 cannot spell exactly would name
// another file, or none, so it goes to `skipped` with what the dropped directories held.
void AddShellFiles(DropPanes& panes, HDROP drop, std::vector<std::string>* skipped)
{
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    for (UINT i = 0; i < count; ++i) {
        std::wstring wide(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        wide.resize(DragQueryFileW(drop, i, &wide[0], static_cast<UINT>(wide.size())));
        std::string path;
        if (NarrowExactly(wide, &path))
            paths.push_back(path);
        else
            skipped->push_back(path);
    }
    std::vector<const char*> texts;
    for (const std::string& path : paths)
        texts.push_back(path.c_str());
    AddDroppedPaths(texts.data(), static_cast<int>(texts.size()), panes.ShellFolder(), skipped);
}

DWORD DropEffect(DropPanes& panes, IDataObject* data, POINT point, std::vector<std::string>* skipped)
{
    if (Offers(data, EntryFormat())) {
        bool moved = false;
        UseEntryPayload(data, [&](const EntryPayload* payload) { moved = panes.DropEntries(point, payload); });
        return moved ? DROPEFFECT_MOVE : kRefused;
    }
    if (!Offers(data, CF_HDROP))
        return kRefused;
    FORMATETC format = MakeFormatEtc(CF_HDROP);
    STGMEDIUM medium = {};
    if (data->GetData(&format, &medium) != S_OK)
        return kRefused;
    // The medium owns the drop's memory: releasing it is all, DragFinish would free it twice.
    bool added = medium.tymed == TYMED_HGLOBAL;
    if (added)
        AddShellFiles(panes, static_cast<HDROP>(medium.hGlobal), skipped);
    ReleaseStgMedium(&medium);
    return added ? DROPEFFECT_COPY : kRefused;
}

}  // namespace

// While a build runs its worker reads the project tree, and Wine delivers drops to the main
// window even though the job's dialog has disabled it: every drop is refused then. A target no
// window registered refuses everything.
HRESULT CDropTarget::DragOver(DWORD, POINTL point, DWORD* effect)
{
    bool refused = panes_ == nullptr || panes_->Busy();
    *effect = refused ? kRefused : HoverEffect(*panes_, data_, POINT{point.x, point.y});
    return S_OK;
}

HRESULT CDropTarget::DragLeave()
{
    if (panes_ != nullptr)
        panes_->ClearMarks();
    return S_OK;
}

// Names left out are reported once the drop is done and its marks are gone.
HRESULT CDropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    std::vector<std::string> skipped;
    bool refused = panes_ == nullptr || panes_->Busy();
    *effect = refused ? kRefused : DropEffect(*panes_, data, POINT{point.x, point.y}, &skipped);
    if (panes_ != nullptr)
        panes_->ClearMarks();
    if (!skipped.empty())
        ReportSkippedNames(skipped);
    return S_OK;
}

HRESULT RegisterDropTarget(HWND mainWindow, DropPanes* panes)
{
    CDropTarget::Instance().SetPanes(panes);
    return RegisterDragDrop(mainWindow, &CDropTarget::Instance());
}

HRESULT RevokeDropTarget(HWND mainWindow)
{
    return RevokeDragDrop(mainWindow);
}
