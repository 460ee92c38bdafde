#include "tests/support/recording_drop_target_win32.h"

#include "dnd/data_object.h"
#include "tests/support/drop_data_win32.h"

RecordingDropTarget::RecordingDropTarget(CLIPFORMAT accepted, DWORD answer)
    : accepted_(accepted), answer_(answer)
{
}

HRESULT RecordingDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IDropTarget || iid == IID_IUnknown) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG RecordingDropTarget::AddRef()
{
    return InterlockedIncrement(&refs_);
}

ULONG RecordingDropTarget::Release()
{
    return InterlockedDecrement(&refs_);
}

DWORD RecordingDropTarget::Answer(DWORD allowed) const
{
    return offered_ ? (answer_ & allowed) : DROPEFFECT_NONE;
}

HRESULT RecordingDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect)
{
    FORMATETC format = MakeFormatEtc(accepted_);
    offered_ = data->QueryGetData(&format) == S_OK;
    calls.push_back({"DragEnter", {point.x, point.y}, *effect, keys});
    *effect = Answer(*effect);
    return S_OK;
}

HRESULT RecordingDropTarget::DragOver(DWORD keys, POINTL point, DWORD* effect)
{
    calls.push_back({"DragOver", {point.x, point.y}, *effect, keys});
    *effect = Answer(*effect);
    return S_OK;
}

HRESULT RecordingDropTarget::DragLeave()
{
    calls.push_back({"DragLeave", {0, 0}, 0, 0});
    return S_OK;
}

HRESULT RecordingDropTarget::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect)
{
    calls.push_back({"Drop", {point.x, point.y}, *effect, keys});
    FORMATETC format = MakeFormatEtc(accepted_);
    STGMEDIUM medium = {};
    if (data->GetData(&format, &medium) != S_OK) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    droppedBytes = GlobalBytes(medium.hGlobal);
    if (accepted_ == CF_HDROP)
        droppedPaths = HdropPaths(medium.hGlobal);
    ReleaseStgMedium(&medium);
    *effect = Answer(*effect);
    return S_OK;
}

std::vector<std::string> RecordingDropTarget::Trace() const
{
    std::vector<std::string> trace;
    for (const Call& call : calls) {
        std::string text = call.name;
        if (call.name != "DragLeave")
            text += " " + std::to_string(call.point.x) + "," + std::to_string(call.point.y);
        if (trace.empty() || trace.back() != text)
            trace.push_back(text);
    }
    return trace;
}

namespace {
const char kWindowClass[] = "PACKWREN_TEST_DROP";
}

DropTargetWindow::DropTargetWindow(const RECT& screen, IDropTarget* target)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, "drop target", WS_POPUP | WS_VISIBLE,
                              screen.left, screen.top, screen.right - screen.left,
                              screen.bottom - screen.top, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (window_ != nullptr && target != nullptr)
        registered_ = RegisterDragDrop(window_, target);
}

DropTargetWindow::~DropTargetWindow()
{
    if (window_ == nullptr)
        return;
    if (registered_ == S_OK)
        RevokeDragDrop(window_);
    DestroyWindow(window_);
}
