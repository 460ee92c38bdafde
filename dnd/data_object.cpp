#include "dnd/data_object.h"

#include <new>

#include "dnd/enum_formatetc.h"

bool DuplicateMedium(const STGMEDIUM& source, CLIPFORMAT format, STGMEDIUM* copy)
{
    switch (source.tymed) {
    case TYMED_HGLOBAL:
    case TYMED_FILE:
    case TYMED_GDI:
    case TYMED_MFPICT:
    case TYMED_ENHMF:
        break;
    default:
        return false;
    }
    // All these media keep their handle in the same place of the union.
    HANDLE handle = OleDuplicateData(source.hGlobal, format, 0);
    if (handle == nullptr)
        return false;
    *copy = STGMEDIUM{};
    copy->tymed = source.tymed;
    copy->hGlobal = static_cast<HGLOBAL>(handle);
    copy->pUnkForRelease = source.pUnkForRelease;
    if (copy->pUnkForRelease != nullptr)
        copy->pUnkForRelease->AddRef();
    return true;
}

CDataObject::CDataObject()
{
    for (Slot& slot : slots_) {
        slot.format = FORMATETC{};
        slot.medium = STGMEDIUM{};
    }
}

CDataObject::~CDataObject()
{
    for (Slot& slot : slots_) {
        if (slot.medium.tymed != 0)
            ReleaseStgMedium(&slot.medium);
    }
}

HRESULT CDataObject::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IDataObject || iid == IID_IUnknown) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDataObject::AddRef()
{
    return InterlockedIncrement(&refs_);
}

ULONG CDataObject::Release()
{
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0)
        delete this;
    return refs;
}

int CDataObject::FindSlot(const FORMATETC* format, HRESULT* result) const
{
    if ((format->dwAspect & DVASPECT_CONTENT) == 0) {
        *result = DV_E_DVASPECT;
        return -1;
    }
    *result = DV_E_FORMATETC;
    for (int i = 0; i < used_; ++i) {
        const FORMATETC& held = slots_[i].format;
        if (held.cfFormat == format->cfFormat && (held.tymed & format->tymed) != 0) {
            *result = S_OK;
            return i;
        }
    }
    return -1;
}

HRESULT CDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (format == nullptr || medium == nullptr)
        return E_INVALIDARG;
    HRESULT result;
    int slot = FindSlot(format, &result);
    if (slot < 0)
        return result;
    const Slot& held = slots_[slot];
    return DuplicateMedium(held.medium, held.format.cfFormat, medium) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CDataObject::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT CDataObject::QueryGetData(FORMATETC* format)
{
    if (format == nullptr)
        return E_INVALIDARG;
    HRESULT result;
    FindSlot(format, &result);
    return result;
}

HRESULT CDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*)
{
    return E_NOTIMPL;
}

// Every call adds a slot, even for a format already held: nothing is ever replaced.
HRESULT CDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release)
{
    if (format == nullptr || medium == nullptr)
        return E_INVALIDARG;
    if (used_ == kSlots)
        return E_OUTOFMEMORY;
    Slot& slot = slots_[used_];
    if (release) {
        slot.medium = *medium;
    } else if (!DuplicateMedium(*medium, format->cfFormat, &slot.medium)) {
        slot.medium = STGMEDIUM{};
        return E_OUTOFMEMORY;
    }
    slot.format = *format;
    ++used_;
    return S_OK;
}

HRESULT CDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    if (formats == nullptr)
        return E_INVALIDARG;
    *formats = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    FORMATETC held[kSlots];
    for (int i = 0; i < used_; ++i)
        held[i] = slots_[i].format;
    CEnumFORMATETC* enumerator = new (std::nothrow) CEnumFORMATETC(held, used_, 0);
    if (enumerator == nullptr)
        return E_OUTOFMEMORY;
    *formats = enumerator;
    return S_OK;
}

HRESULT CDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT CDataObject::DUnadvise(DWORD)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT CDataObject::EnumDAdvise(IEnumSTATDATA**)
{
    return OLE_E_ADVISENOTSUPPORTED;
}
