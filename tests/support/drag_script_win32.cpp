#include "tests/support/drag_script_win32.h"

#include <cstring>
#include <utility>

ScriptedDropSource::ScriptedDropSource(std::vector<POINT> points, Ending ending, int callsPerPoint)
    : points_(std::move(points)),
      ending_(ending),
      callsPerPoint_(callsPerPoint < 2 ? 2 : callsPerPoint),
      feedback_(points_.size(), kNoFeedback)
{
}

HRESULT ScriptedDropSource::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IDropSource || iid == IID_IUnknown) {
        *object = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ScriptedDropSource::AddRef()
{
    return InterlockedIncrement(&refs_);
}

ULONG ScriptedDropSource::Release()
{
    return InterlockedDecrement(&refs_);
}

// Call c happens over point c / callsPerPoint. The last call of a point moves the cursor on to
// the next one; the last call of the last point ends the drag there.
HRESULT ScriptedDropSource::QueryContinueDrag(BOOL, DWORD)
{
    int call = calls_++;
    int total = static_cast<int>(points_.size()) * callsPerPoint_;
    if (call >= total - 1) {
        observed_ = points_.empty() ? 0 : static_cast<int>(points_.size()) - 1;
        return ending_ == kDrop ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
    }
    observed_ = call / callsPerPoint_;
    if (call % callsPerPoint_ == callsPerPoint_ - 1) {
        const POINT& next = points_[observed_ + 1];
        SetCursorPos(next.x, next.y);
    }
    return S_OK;
}

HRESULT ScriptedDropSource::GiveFeedback(DWORD effect)
{
    if (observed_ < static_cast<int>(feedback_.size())) {
        feedback_[observed_] = effect;
        if (probe_)
            probe_(observed_);
    }
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

HRESULT ScriptedDropSource::Run(IDataObject* data, DWORD allowedEffects, DWORD* effect,
                                DWORD heldKeys)
{
    static const struct {
        DWORD bit;
        int key;
    } kKeys[] = {{MK_LBUTTON, VK_LBUTTON}, {MK_RBUTTON, VK_RBUTTON}, {MK_MBUTTON, VK_MBUTTON},
                 {MK_SHIFT, VK_SHIFT},     {MK_CONTROL, VK_CONTROL}, {MK_ALT, VK_MENU}};
    BYTE before[256];
    GetKeyboardState(before);
    BYTE held[256];
    memcpy(held, before, sizeof held);
    for (const auto& key : kKeys) {
        if (heldKeys & key.bit)
            held[key.key] |= 0x80;
    }
    SetKeyboardState(held);
    if (!points_.empty())
        SetCursorPos(points_[0].x, points_[0].y);
    HRESULT result = DoDragDrop(data, this, allowedEffects, effect);
    SetKeyboardState(before);
    return result;
}

const char* EffectName(DWORD effect)
{
    switch (effect) {
    case DROPEFFECT_NONE:
        return "none";
    case DROPEFFECT_COPY:
        return "copy";
    case DROPEFFECT_MOVE:
        return "move";
    case DROPEFFECT_LINK:
        return "link";
    case ScriptedDropSource::kNoFeedback:
        return "no feedback";
    default:
        return "mixed";
    }
}
