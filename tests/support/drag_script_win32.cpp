#include "tests/support/drag_script_win32.h"

#include <cstring>

HRESULT ScriptedDropSource::QueryInterface(REFIID iid, void** object)
{
    if (iid != IID_IDropSource && iid != IID_IUnknown) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IDropSource*>(this);
    AddRef();
    return S_OK;
}

// Call c happens over point c / 2. The second call of a point moves the cursor on to the next
// one; the last call of the last point drops there.
HRESULT ScriptedDropSource::QueryContinueDrag(BOOL, DWORD)
{
    int call = calls_++;
    int points = static_cast<int>(points_.size());
    if (call >= points * 2 - 1) {
        observed_ = points > 0 ? points - 1 : 0;
        return DRAGDROP_S_DROP;
    }
    observed_ = call / 2;
    if (call % 2 == 1)
        SetCursorPos(points_[observed_ + 1].x, points_[observed_ + 1].y);
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
    static const struct { DWORD bit; int key; } kKeys[] = {{MK_SHIFT, VK_SHIFT},
                                                            {MK_CONTROL, VK_CONTROL}};
    BYTE before[256], held[256];
    GetKeyboardState(before);
    memcpy(held, before, sizeof held);
    for (const auto& key : kKeys)
        held[key.key] |= (heldKeys & key.bit) ? 0x80 : 0;
    SetKeyboardState(held);
    if (!points_.empty())
        SetCursorPos(points_[0].x, points_[0].y);
    HRESULT result = DoDragDrop(data, this, allowedEffects, effect);
    SetKeyboardState(before);
    return result;
}
