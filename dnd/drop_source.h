#pragma once
#include <windows.h>
#include <ole2.h>

// The source side of an entry drag: the mouse buttons decide, the cursors are OLE's own.
class CDropSource final : public IDropSource {
public:
    CDropSource() = default;
    CDropSource(const CDropSource&) = delete;
    CDropSource& operator=(const CDropSource&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

private:
    ~CDropSource() = default;

    LONG refs_ = 1;
};
