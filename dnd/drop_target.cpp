#include "dnd/drop_target.h"

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

// Until the panes can name the folder under the cursor, no folder takes anything: every drag is
// refused with no effect, and OLE ends it with DragLeave.
HRESULT CDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    *effect = DROPEFFECT_NONE;
    return S_OK;
}

HRESULT CDropTarget::DragLeave()
{
    return S_OK;
}

HRESULT CDropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD* effect)
{
    *effect = DROPEFFECT_NONE;
    return S_OK;
}

HRESULT RegisterDropTarget(HWND mainWindow)
{
    return RegisterDragDrop(mainWindow, &CDropTarget::Instance());
}

HRESULT RevokeDropTarget(HWND mainWindow)
{
    return RevokeDragDrop(mainWindow);
}
