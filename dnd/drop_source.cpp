#include "dnd/drop_source.h"

HRESULT CDropSource::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IDropSource || iid == IID_IUnknown) {
        *object = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDropSource::AddRef()
{
    return InterlockedIncrement(&refs_);
}

ULONG CDropSource::Release()
{
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0)
        delete this;
    return refs;
}

// Pressing the second button while dragging with the first is the user's way to give up, as is
// Escape; letting go of the buttons drops.
HRESULT CDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    bool left = (keyState & MK_LBUTTON) != 0;
    bool right = (keyState & MK_RBUTTON) != 0;
    if (escapePressed || (left && right))
        return DRAGDROP_S_CANCEL;
    if (left || right)
        return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT CDropSource::GiveFeedback(DWORD)
{
    return DRAGDROP_S_USEDEFAULTCURSORS;
}
