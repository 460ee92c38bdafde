#pragma once
#include <windows.h>
#include <ole2.h>

// The formats of a CDataObject, as OLE and drop targets list them: up to four, with a cursor.
class CEnumFORMATETC final : public IEnumFORMATETC {
public:
    static constexpr int kSlots = 4;

    // Copies the first `count` formats (at most four) and starts at `index`.
    CEnumFORMATETC(const FORMATETC* formats, int count, int index);
    CEnumFORMATETC(const CEnumFORMATETC&) = delete;
    CEnumFORMATETC& operator=(const CEnumFORMATETC&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, FORMATETC* formats, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) override;

private:
    ~CEnumFORMATETC() = default;

    LONG refs_ = 1;
    FORMATETC formats_[kSlots] = {};
    ULONG index_ = 0;
    ULONG used_ = 0;
};
