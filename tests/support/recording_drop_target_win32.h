#pragma once
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

// A drop target of the test's own that writes down what OLE calls on it. While the data offers
// the accepted format it answers `answer` (limited to what the source allows, as OLE does); at
// the drop it reads that format's bytes, and the paths when the format is CF_HDROP.
class RecordingDropTarget final : public IDropTarget {
public:
    struct Call {
        std::string name;  // "DragEnter", "DragOver", "DragLeave", "Drop"
        POINT point;       // zero for DragLeave
        DWORD allowed;     // the effects OLE offered; zero for DragLeave
        DWORD keys;        // the key state (MK_*); zero for DragLeave
    };

    RecordingDropTarget(CLIPFORMAT accepted, DWORD answer);
    RecordingDropTarget(const RecordingDropTarget&) = delete;
    RecordingDropTarget& operator=(const RecordingDropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point,
                                   DWORD* effect) override;

    std::vector<Call> calls;
    std::string droppedBytes;
    std::vector<std::string> droppedPaths;

    // The calls as "Name x,y" texts, with consecutive repeats of the same text folded into one:
    // how often OLE polls a point depends on its timer, where it polls does not.
    std::vector<std::string> Trace() const;

private:
    DWORD Answer(DWORD allowed) const;

    CLIPFORMAT accepted_;
    DWORD answer_;
    bool offered_ = false;  // the drag's data offers the accepted format
    LONG refs_ = 1;
};

// A visible, topmost pop-up window at a screen rectangle, registered as drop target with
// `target` (when one is given) while it lives. OLE must be initialised on the thread.
class DropTargetWindow {
public:
    DropTargetWindow(const RECT& screen, IDropTarget* target);
    ~DropTargetWindow();
    DropTargetWindow(const DropTargetWindow&) = delete;
    DropTargetWindow& operator=(const DropTargetWindow&) = delete;

    HWND Handle() const { return window_; }
    HRESULT Registration() const { return registered_; }

private:
    HWND window_ = nullptr;
    HRESULT registered_ = E_FAIL;
};
