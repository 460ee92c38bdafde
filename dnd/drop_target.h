#pragma once
#include <windows.h>
#include <ole2.h>

struct EntryPayload;
struct ProjectNode;

// What a drop means is the panes' decision: the drop target turns OLE's calls into these plain
// requests. Points are screen points.
class DropPanes {
public:
    // True while nothing may be dropped (a build's worker reads the project tree).
    virtual bool Busy() = 0;
    // The folder a drop at the point would go to, or none; with a payload, it must take the
    // payload's entries and is marked; without one any folder answers and nothing is marked.
    virtual ProjectNode* ResolveTarget(POINT point, const EntryPayload* payload) = 0;
    virtual void ClearMarks() = 0;
    // Moves the payload's entries into the folder under the point; true when they moved.
    virtual bool DropEntries(POINT point, const EntryPayload* payload) = 0;
    // Where shell files dropped at the cursor go.
    virtual ProjectNode* ShellFolder() = 0;

protected:
    ~DropPanes() = default;
};

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
    void SetPanes(DropPanes* panes) { panes_ = panes; }

private:
    CDropTarget() = default;
    ~CDropTarget() = default;

    LONG refs_ = 1;
    IDataObject* data_ = nullptr;
    DropPanes* panes_ = nullptr;
};

// RegisterDragDrop and RevokeDragDrop of the main window with the static drop target, which asks
// `panes` what a drop means; the main window pairs them at creation and at close.
HRESULT RegisterDropTarget(HWND mainWindow, DropPanes* panes);
HRESULT RevokeDropTarget(HWND mainWindow);
