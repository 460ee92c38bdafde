#pragma once
#include <windows.h>
#include <ole2.h>

// The main window's drop target. There is one, static, for the whole run: OLE holds it while the
// window is registered, and Release never frees it.
class CDropTarget final : public IDropTarget {
public:
    static CDropTarget& Instance();

    CDropTarget(const CDropTarget&) = delete;
    CDropTarget& operator=(const CDropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point,
                                   DWORD* effect) override;

    // The data object of the drag in progress, as DragEnter received it (not AddRef'd: OLE keeps
    // it alive while the drag goes on).
    IDataObject* DragData() const { return data_; }

private:
    CDropTarget() = default;
    ~CDropTarget() = default;

    LONG refs_ = 1;
    IDataObject* data_ = nullptr;
};

// RegisterDragDrop and RevokeDragDrop of the main window with the static drop target; the main
// window pairs them at creation and at close.
HRESULT RegisterDropTarget(HWND mainWindow);
HRESULT RevokeDropTarget(HWND mainWindow);
