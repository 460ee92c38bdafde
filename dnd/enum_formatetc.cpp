#include "dnd/enum_formatetc.h"

#include <new>

CEnumFORMATETC::CEnumFORMATETC(const FORMATETC* formats, int count, int index)
{
    while (static_cast<int>(used_) < count && used_ < kSlots) {
        formats_[used_] = formats[used_];
        ++used_;
    }
    while (static_cast<int>(index_) < index && index_ < used_)
        ++index_;
}

HRESULT CEnumFORMATETC::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IEnumFORMATETC || iid == IID_IUnknown) {
        *object = static_cast<IEnumFORMATETC*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CEnumFORMATETC::AddRef()
{
    return InterlockedIncrement(&refs_);
}

ULONG CEnumFORMATETC::Release()
{
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0)
        delete this;
    return refs;
}

// Without a place to say how many came, a caller may ask for one element only (the interface's
// own rule), so a larger request fetches nothing.
HRESULT CEnumFORMATETC::Next(ULONG wanted, FORMATETC* formats, ULONG* fetched)
{
    if (fetched != nullptr)
        *fetched = 0;
    if (wanted == 0 || formats == nullptr)
        return S_FALSE;
    if (index_ >= used_ || (fetched == nullptr && wanted > 1))
        return S_FALSE;
    ULONG copied = 0;
    while (index_ < used_ && copied < wanted)
        formats[copied++] = formats_[index_++];
    if (fetched != nullptr)
        *fetched = copied;
    return copied == wanted ? S_OK : S_FALSE;
}

HRESULT CEnumFORMATETC::Skip(ULONG count)
{
    ULONG left = used_ - index_;
    ULONG skipped = count < left ? count : left;
    index_ += skipped;
    return skipped == count ? S_OK : S_FALSE;
}

HRESULT CEnumFORMATETC::Reset()
{
    index_ = 0;
    return S_OK;
}

HRESULT CEnumFORMATETC::Clone(IEnumFORMATETC** copy)
{
    if (copy == nullptr)
        return E_POINTER;
    *copy = new (std::nothrow) CEnumFORMATETC(formats_, used_, index_);
    return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
}
