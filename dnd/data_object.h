#pragma once
#include <windows.h>
#include <ole2.h>

// The one shape of FORMATETC the program builds: content aspect, global memory.
inline FORMATETC MakeFormatEtc(CLIPFORMAT format)
{
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// The data of a drag this program starts: up to four formats, each with the medium it was given.
// Readers get duplicates, so the object's own media stay intact until its last Release.
class CDataObject final : public IDataObject {
public:
    static constexpr int kSlots = 4;

    CDataObject();
    CDataObject(const CDataObject&) = delete;
    CDataObject& operator=(const CDataObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                      DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

private:
    ~CDataObject();
    // The used slot that serves a request, or -1; `result` tells why none does.
    int FindSlot(const FORMATETC* format, HRESULT* result) const;

    struct Slot {
        FORMATETC format;
        STGMEDIUM medium;
    };
    LONG refs_ = 1;
    Slot slots_[kSlots];
    int used_ = 0;
};

// A copy of a handle-based medium (global memory, file, bitmap, metafiles) with the same tymed
// and release owner; false for stream and storage media and when the copy cannot be made.
bool DuplicateMedium(const STGMEDIUM& source, CLIPFORMAT format, STGMEDIUM* copy);
