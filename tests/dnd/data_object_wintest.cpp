// The COM contracts of the data-transfer objects: what OLE and the drop target rely on.
#include "dnd/data_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dnd/drop_source.h"
#include "dnd/drop_target.h"
#include "dnd/entry_payload.h"
#include "dnd/enum_formatetc.h"

namespace {

ULONG Refs(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

STGMEDIUM TextMedium(const char* text, IUnknown* owner = nullptr)
{
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
    memcpy(GlobalLock(medium.hGlobal), text, strlen(text) + 1);
    GlobalUnlock(medium.hGlobal);
    medium.pUnkForRelease = owner;
    return medium;
}

std::string TextOf(HGLOBAL memory)
{
    std::string text(static_cast<const char*>(GlobalLock(memory)), GlobalSize(memory));
    GlobalUnlock(memory);
    return text;
}

class DataObjectTest : public ::testing::Test {
protected:
    void SetUp() override { g_internalClipboardFormat = RegisterClipboardFormatA("PACKWREN_INTERNAL_CLIPBOARDTYPE"); }
    void TearDown() override { data->Release(); }

    HRESULT Set(CLIPFORMAT format, const char* text)
    {
        FORMATETC formatEtc = MakeFormatEtc(format);
        STGMEDIUM medium = TextMedium(text);
        HRESULT result = data->SetData(&formatEtc, &medium, TRUE);
        if (result != S_OK)
            GlobalFree(medium.hGlobal);
        return result;
    }
    std::string Get(CLIPFORMAT format)
    {
        FORMATETC formatEtc = MakeFormatEtc(format);
        STGMEDIUM medium = {};
        if (data->GetData(&formatEtc, &medium) != S_OK)
            return "(none)";
        std::string text = static_cast<const char*>(GlobalLock(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        return text;
    }
    std::vector<CLIPFORMAT> Formats()
    {
        std::vector<CLIPFORMAT> formats;
        IEnumFORMATETC* enumerator = nullptr;
        EXPECT_EQ(data->EnumFormatEtc(DATADIR_GET, &enumerator), S_OK);
        FORMATETC format;
        while (enumerator->Next(1, &format, nullptr) == S_OK)
            formats.push_back(format.cfFormat);
        enumerator->Release();
        return formats;
    }

    CLIPFORMAT privateFormat = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("PACKWREN_INTERNAL_CLIPBOARDTYPE"));
    CDataObject* data = new CDataObject;
};

}  // namespace

TEST_F(DataObjectTest, QueryInterfaceOfEveryObject)
{
    IEnumFORMATETC* enumerator = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &enumerator), S_OK);
    CDropSource* source = new CDropSource;
    struct { IUnknown* object; const IID& own; } cases[] = {
        {data, IID_IDataObject}, {source, IID_IDropSource}, {enumerator, IID_IEnumFORMATETC},
        {&CDropTarget::Instance(), IID_IDropTarget}};
    for (const auto& c : cases) {
        for (const IID* iid : {&IID_IUnknown, &c.own}) {
            ULONG before = Refs(c.object);
            void* out = nullptr;
            EXPECT_EQ(c.object->QueryInterface(*iid, &out), S_OK);
            EXPECT_EQ(out, c.object);
            EXPECT_EQ(Refs(c.object), before + 1);
            c.object->Release();
        }
        void* out = c.object;
        EXPECT_EQ(c.object->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    enumerator->Release();
    EXPECT_EQ(source->Release(), 0u);
    // The static drop target outlives any number of releases.
    CDropTarget& target = CDropTarget::Instance();
    ULONG before = Refs(&target);
    for (int i = 0; i < 1000; ++i)
        target.Release();
    void* out = nullptr;
    EXPECT_EQ(target.QueryInterface(IID_IDropTarget, &out), S_OK);
    EXPECT_EQ(out, &target);
    for (int i = 0; i < 999; ++i)
        target.AddRef();
    EXPECT_EQ(Refs(&target), before);
}

TEST_F(DataObjectTest, GetAndQueryCheckTheFormatAndHandOutIndependentCopies)
{
    ASSERT_EQ(Set(privateFormat, "payload"), S_OK);
    struct { CLIPFORMAT format; DWORD aspect, tymed; HRESULT expected; } cases[] = {
        {privateFormat, DVASPECT_CONTENT, TYMED_HGLOBAL, S_OK},
        {privateFormat, DVASPECT_CONTENT | DVASPECT_ICON, TYMED_HGLOBAL | TYMED_ISTREAM, S_OK},
        {CF_HDROP, DVASPECT_CONTENT, TYMED_HGLOBAL, DV_E_FORMATETC},
        {privateFormat, DVASPECT_CONTENT, TYMED_ISTREAM, DV_E_FORMATETC},
        {privateFormat, DVASPECT_ICON, TYMED_HGLOBAL, DV_E_DVASPECT},
        {CF_HDROP, DVASPECT_THUMBNAIL, TYMED_ISTREAM, DV_E_DVASPECT},
    };
    for (const auto& c : cases) {
        FORMATETC format = {c.format, nullptr, c.aspect, -1, c.tymed};
        EXPECT_EQ(data->QueryGetData(&format), c.expected) << c.format << " " << c.aspect << " " << c.tymed;
        STGMEDIUM medium = {};
        EXPECT_EQ(data->GetData(&format, &medium), c.expected) << c.format << " " << c.aspect << " " << c.tymed;
        ReleaseStgMedium(&medium);
    }
    FORMATETC format = MakeFormatEtc(privateFormat);
    STGMEDIUM first = {}, second = {};
    EXPECT_EQ(data->QueryGetData(nullptr), E_INVALIDARG);
    EXPECT_EQ(data->GetData(nullptr, &first), E_INVALIDARG);
    EXPECT_EQ(data->GetData(&format, nullptr), E_INVALIDARG);
    ASSERT_EQ(data->GetData(&format, &first), S_OK);
    ASSERT_EQ(data->GetData(&format, &second), S_OK);
    EXPECT_EQ(first.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(first.pUnkForRelease, nullptr);
    EXPECT_NE(first.hGlobal, second.hGlobal);
    static_cast<char*>(GlobalLock(first.hGlobal))[0] = 'X';
    GlobalUnlock(first.hGlobal);
    EXPECT_EQ(TextOf(second.hGlobal), std::string("payload", 8));
    ReleaseStgMedium(&first);
    ReleaseStgMedium(&second);
    EXPECT_EQ(Get(privateFormat), "payload");
    CDataObject* empty = new CDataObject;
    EXPECT_EQ(empty->QueryGetData(&format), DV_E_FORMATETC);
    EXPECT_EQ(empty->Release(), 0u);
}

// Four slots, filled in turn and never replaced; without release a copy is stored (a stream cannot
// be copied); the enumeration lists the formats to get only.
TEST_F(DataObjectTest, SetDataFillsFourSlotsWithOwnedOrCopiedMedia)
{
    IEnumFORMATETC* enumerator = reinterpret_cast<IEnumFORMATETC*>(1);
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &enumerator), E_NOTIMPL);
    EXPECT_EQ(enumerator, nullptr);
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_GET, nullptr), E_INVALIDARG);
    EXPECT_EQ(Formats(), std::vector<CLIPFORMAT>{});
    STGMEDIUM mine = TextMedium("original");
    FORMATETC format = MakeFormatEtc(CF_TEXT);
    ASSERT_EQ(data->SetData(&format, &mine, FALSE), S_OK);
    static_cast<char*>(GlobalLock(mine.hGlobal))[0] = 'X';
    GlobalUnlock(mine.hGlobal);
    GlobalFree(mine.hGlobal);
    EXPECT_EQ(Get(CF_TEXT), "original");
    STGMEDIUM stream = {};
    stream.tymed = format.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->SetData(&format, &stream, FALSE), E_OUTOFMEMORY);
    EXPECT_EQ(Set(privateFormat, "one"), S_OK);
    EXPECT_EQ(Set(privateFormat, "two"), S_OK);
    EXPECT_EQ(Set(CF_HDROP, "four"), S_OK);
    EXPECT_EQ(Set(CF_TEXT, "five"), E_OUTOFMEMORY);
    EXPECT_EQ(Formats(), (std::vector<CLIPFORMAT>{CF_TEXT, privateFormat, privateFormat, CF_HDROP}));
    EXPECT_EQ(Get(privateFormat) + Get(CF_TEXT), "oneoriginal");
    EXPECT_EQ(data->SetData(nullptr, nullptr, TRUE), E_INVALIDARG);
}

// A medium with a release owner: copies share the owner and hold it, the object lets go of it
// when it is destroyed.
TEST_F(DataObjectTest, ReleaseOwnerIsHeldByCopiesAndLetGoAtTheEnd)
{
    CDropSource* owner = new CDropSource;
    owner->AddRef();
    STGMEDIUM medium = TextMedium("owned", owner);
    FORMATETC format = MakeFormatEtc(CF_TEXT);
    ASSERT_EQ(data->SetData(&format, &medium, TRUE), S_OK);
    STGMEDIUM copy = {};
    ASSERT_EQ(data->GetData(&format, &copy), S_OK);
    EXPECT_EQ(copy.pUnkForRelease, owner);
    EXPECT_EQ(Refs(owner), 3u);
    GlobalFree(copy.hGlobal);  // the owner frees the memory of media it owns
    ReleaseStgMedium(&copy);
    EXPECT_EQ(Refs(owner), 2u);
    data->Release();
    data = new CDataObject;
    EXPECT_EQ(Refs(owner), 1u);
    GlobalFree(medium.hGlobal);
    owner->Release();
}

TEST(EnumFormatEtc, NextSkipResetClone)
{
    const FORMATETC formats[] = {MakeFormatEtc(CF_HDROP), MakeFormatEtc(CF_TEXT)};
    CEnumFORMATETC* one = new CEnumFORMATETC(formats, 1, 0);
    FORMATETC got[10] = {};
    ULONG fetched = 99;
    EXPECT_EQ(one->Next(10, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    EXPECT_EQ(got[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(one->Next(10, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(one->Reset(), S_OK);
    got[0].cfFormat = 0;
    EXPECT_EQ(one->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    EXPECT_EQ(one->Release(), 0u);

    CEnumFORMATETC* two = new CEnumFORMATETC(formats, 2, 0);
    EXPECT_EQ(two->Next(2, got, nullptr), S_FALSE);  // more than one needs a count
    EXPECT_EQ(two->Next(0, got, &fetched), S_FALSE);
    EXPECT_EQ(two->Skip(1), S_OK);
    IEnumFORMATETC* clone = nullptr;
    ASSERT_EQ(two->Clone(&clone), S_OK);
    EXPECT_EQ(two->Clone(nullptr), E_POINTER);
    EXPECT_EQ(two->Skip(5), S_FALSE);
    EXPECT_EQ(two->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    // The clone kept the index it had and moves on its own.
    EXPECT_EQ(clone->Next(1, got, &fetched), S_OK);
    EXPECT_EQ(got[0].cfFormat, CF_TEXT);
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Next(2, got, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(clone->Release(), 0u);
    EXPECT_EQ(two->Release(), 0u);
}

TEST(DropSource, QueryContinueDragFollowsTheButtons)
{
    struct { BOOL escape; DWORD keys; HRESULT expected; } cases[] = {
        {FALSE, MK_LBUTTON, S_OK}, {FALSE, MK_RBUTTON | MK_SHIFT | MK_CONTROL, S_OK}, {FALSE, 0, DRAGDROP_S_DROP},
        {FALSE, MK_MBUTTON | MK_SHIFT, DRAGDROP_S_DROP}, {FALSE, MK_LBUTTON | MK_RBUTTON, DRAGDROP_S_CANCEL},
        {TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL}, {TRUE, 0, DRAGDROP_S_CANCEL},
    };
    CDropSource* source = new CDropSource;
    for (const auto& c : cases)
        EXPECT_EQ(source->QueryContinueDrag(c.escape, c.keys), c.expected) << c.escape << " " << c.keys;
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_MOVE), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source->Release(), 0u);
}

TEST(EntryPayload, ReadOnlyWhatTheDataHolds)
{
    alignas(EntryPayload) unsigned char bytes[EntryPayloadSize(3)] = {};
    EntryPayload* payload = reinterpret_cast<EntryPayload*>(bytes);
    struct { int32_t count; size_t size; bool readable; } cases[] = {
        {0, EntryPayloadSize(0), true}, {3, EntryPayloadSize(3), true}, {2, EntryPayloadSize(3), true},
        {3, EntryPayloadSize(3) - 1, false}, {0, sizeof(EntryPayload) - 1, false}, {-1, EntryPayloadSize(3), false},
    };
    for (const auto& c : cases) {
        payload->count = c.count;
        EXPECT_EQ(ReadEntryPayload(bytes, c.size) == payload, c.readable) << c.count << " " << c.size;
    }
    EXPECT_EQ(ReadEntryPayload(nullptr, 100), nullptr);
}
