// The COM contracts of the data-transfer objects that OLE and the drop target rely on.
#include "dnd/data_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dnd/drop_source.h"
#include "dnd/entry_payload.h"

namespace {

ULONG Refs(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

class DataObjectTest : public ::testing::Test {
protected:
    void TearDown() override { data->Release(); }
    HRESULT Set(CLIPFORMAT format, const char* text, IUnknown* owner = nullptr, BOOL release = TRUE)
    {
        FORMATETC formatEtc = MakeFormatEtc(format);
        STGMEDIUM medium = {TYMED_HGLOBAL, {}, owner};
        medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
        memcpy(GlobalLock(medium.hGlobal), text, strlen(text) + 1);
        GlobalUnlock(medium.hGlobal);
        HRESULT result = data->SetData(&formatEtc, &medium, release);
        if (result != S_OK || !release) {
            static_cast<char*>(GlobalLock(medium.hGlobal))[0] = 'X';  // the stored copy stays
            GlobalUnlock(medium.hGlobal);
            GlobalFree(medium.hGlobal);
        }
        return result;
    }
    std::string Get(CLIPFORMAT format, DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT)
    {
        FORMATETC formatEtc = {format, nullptr, aspect, -1, tymed};
        STGMEDIUM medium = {};
        HRESULT result = data->GetData(&formatEtc, &medium);
        if (result != data->QueryGetData(&formatEtc))
            return "(query differs)";
        if (result != S_OK)
            return result == DV_E_DVASPECT ? "(aspect)" : "(none)";
        char* bytes = static_cast<char*>(GlobalLock(medium.hGlobal));
        std::string text = bytes;
        bytes[0] = 'X';  // a copy of its own: the next reader sees the original
        GlobalUnlock(medium.hGlobal);
        if (medium.pUnkForRelease == nullptr)
            ReleaseStgMedium(&medium);
        else
            medium.pUnkForRelease->Release();  // the owner frees the memory of media it owns
        return text;
    }
    CLIPFORMAT own = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("PACKWREN_PRIVATE"));
    CDataObject* data = new CDataObject;
};

}  // namespace

// Four slots, never replaced, listed in order; each reader gets a copy that holds the medium's
// release owner.
TEST_F(DataObjectTest, SlotsHoldOwnedOrCopiedMediaAndHandOutCopies)
{
    CDropSource* owner = new CDropSource;
    ASSERT_EQ(Set(CF_TEXT, "original", owner, FALSE), S_OK);
    EXPECT_EQ(Refs(owner), 2u);
    EXPECT_EQ(Set(own, "one"), S_OK);
    EXPECT_EQ(Set(own, "two"), S_OK);
    EXPECT_EQ(Set(CF_HDROP, "four"), S_OK);
    EXPECT_EQ(Set(CF_TEXT, "five"), E_OUTOFMEMORY);
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC got[10] = {};
    ULONG fetched = 99;
    EXPECT_EQ(formats->Next(2, got, nullptr), S_FALSE);  // more than one needs a count
    EXPECT_EQ(formats->Next(10, got, &fetched), S_FALSE);
    std::vector<CLIPFORMAT> listed;
    for (ULONG i = 0; i < fetched; ++i)
        listed.push_back(got[i].cfFormat);
    EXPECT_EQ(listed, (std::vector<CLIPFORMAT>{CF_TEXT, own, own, CF_HDROP}));
    EXPECT_EQ(formats->Reset(), S_OK);
    EXPECT_EQ(formats->Skip(3), S_OK);
    IEnumFORMATETC* clone = nullptr;
    ASSERT_EQ(formats->Clone(&clone), S_OK);
    EXPECT_EQ(formats->Skip(5), S_FALSE);
    EXPECT_EQ(formats->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    // The clone kept the index it had and moves on its own.
    EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    EXPECT_EQ(clone->Release() + formats->Release(), 0u);
    struct { CLIPFORMAT format; DWORD tymed, aspect; const char* got; } cases[] = {
        {own, TYMED_HGLOBAL, DVASPECT_CONTENT, "one"},
        {own, TYMED_HGLOBAL, DVASPECT_CONTENT, "one"},
        {own, TYMED_HGLOBAL | TYMED_ISTREAM, DVASPECT_CONTENT | DVASPECT_ICON, "one"},
        {CF_TEXT, TYMED_HGLOBAL, DVASPECT_CONTENT, "original"},
        {CF_BITMAP, TYMED_HGLOBAL, DVASPECT_CONTENT, "(none)"},
        {own, TYMED_ISTREAM, DVASPECT_CONTENT, "(none)"},
        {own, TYMED_HGLOBAL, DVASPECT_ICON, "(aspect)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Get(c.format, c.tymed, c.aspect), c.got) << c.format << " " << c.tymed;
    EXPECT_EQ(Refs(owner), 2u);
    STGMEDIUM medium = {};
    EXPECT_EQ(data->GetData(nullptr, &medium), E_INVALIDARG);
    EXPECT_EQ(data->SetData(nullptr, nullptr, TRUE), E_INVALIDARG);
    data->Release();
    data = new CDataObject;
    EXPECT_EQ(owner->Release(), 0u);
}

TEST(DropSource, TheSecondButtonOrEscCancelsAndReleasingDrops)
{
    struct { BOOL escape; DWORD keys; HRESULT expected; } cases[] = {
        {FALSE, MK_LBUTTON, S_OK}, {FALSE, MK_RBUTTON | MK_SHIFT | MK_CONTROL, S_OK},
        {FALSE, 0, DRAGDROP_S_DROP}, {FALSE, MK_MBUTTON | MK_SHIFT, DRAGDROP_S_DROP},
        {FALSE, MK_LBUTTON | MK_RBUTTON, DRAGDROP_S_CANCEL}, {TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL},
    };
    CDropSource* source = new CDropSource;
    for (const auto& c : cases)
        EXPECT_EQ(source->QueryContinueDrag(c.escape, c.keys), c.expected) << c.keys;
    EXPECT_EQ(source->Release(), 0u);
}

TEST(EntryPayload, ReadOnlyWhatTheDataHolds)
{
    alignas(EntryPayload) unsigned char bytes[EntryPayloadSize(3)] = {};
    EntryPayload* payload = reinterpret_cast<EntryPayload*>(bytes);
    struct { int32_t count; size_t size; bool readable; } cases[] = {
        {0, EntryPayloadSize(0), true}, {3, EntryPayloadSize(3), true},
        {2, EntryPayloadSize(3), true},
        {3, EntryPayloadSize(3) - 1, false}, {0, sizeof(EntryPayload) - 1, false},
        {-1, EntryPayloadSize(3), false},
    };
    for (const auto& c : cases) {
        payload->count = c.count;
        EXPECT_EQ(ReadEntryPayload(bytes, c.size) == payload, c.readable) << c.count << c.size;
    }
}
