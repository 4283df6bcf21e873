// The COM rules of a file drag: the data object's format table, the format
// enumerator and the drop source's button latching.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>

#include "dragdrop/DragRenderers.h"
#include "dragdrop/DragSource.h"
#include "dragdrop/FileDataObject.h"
#include "support/OleEnvironment.h"
#include "dragdrop/FileDropSource.h"
#include "dragdrop/FormatEnumerator.h"

namespace {

// A record naming texts the caller keeps.
FoundFile Record(const WCHAR* folder, const WCHAR* name)
{
    FoundFile record = {};
    record.folder = folder;
    record.name = name;
    return record;
}

FORMATETC Format(CLIPFORMAT format, DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT)
{
    return FORMATETC{format, nullptr, aspect, -1, tymed};
}

// An owner of a stored medium that counts how often it is released.
class ReleaseCounter : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ++releases;
        return 1;
    }
    int releases = 0;
};

STGMEDIUM OwnedMedium(ReleaseCounter* owner)
{
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 4);
    medium.pUnkForRelease = owner;
    return medium;
}

// The data object as a drag starts it, for a file that need not exist.
class DragData : public ::testing::Test {
protected:
    void SetUp() override
    {
        FoundFile record = Record(L"C:\\data", L"report.txt");
        data = CreateFileDragData(record);
        ASSERT_NE(data, nullptr);
    }
    void TearDown() override
    {
        if (data != nullptr) {
            EXPECT_EQ(data->Release(), 0u);
        }
    }
    HRESULT Store(CLIPFORMAT format, STGMEDIUM medium = STGMEDIUM{TYMED_HGLOBAL, {nullptr}, nullptr})
    {
        FORMATETC description = Format(format);
        return data->SetData(&description, &medium, TRUE);
    }
    FileDataObject* data = nullptr;
};

}  // namespace

TEST_F(DragData, AnswersForTheFileListByTymedAndAspect)
{
    FORMATETC request = Format(CF_HDROP);
    EXPECT_EQ(data->QueryGetData(&request), S_OK);
    request = Format(CF_HDROP, TYMED_ISTREAM);
    EXPECT_EQ(data->QueryGetData(&request), DV_E_TYMED);
    request = Format(CF_HDROP, TYMED_HGLOBAL, DVASPECT_THUMBNAIL);
    EXPECT_EQ(data->QueryGetData(&request), DV_E_DVASPECT);
    request = Format(cfFileName);
    EXPECT_EQ(data->QueryGetData(&request), DV_E_TYMED);
    EXPECT_EQ(data->QueryGetData(nullptr), S_FALSE);
}

TEST_F(DragData, StoredFormatWithoutRenderingIsOfferedButNotHandedOut)
{
    const CLIPFORMAT preferredEffect = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("Preferred DropEffect"));
    ASSERT_EQ(Store(preferredEffect), S_OK);
    FORMATETC request = Format(preferredEffect);
    EXPECT_EQ(data->QueryGetData(&request), S_OK);
    STGMEDIUM medium;
    EXPECT_EQ(data->GetData(&request, &medium), DV_E_FORMATETC);
    EXPECT_EQ(medium.hGlobal, nullptr);
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_NULL));
}

TEST_F(DragData, GetDataRefusesWhatDoesNotMatchAnEntry)
{
    STGMEDIUM medium;
    FORMATETC request = Format(CF_HDROP, TYMED_ISTREAM);
    EXPECT_EQ(data->GetData(&request, &medium), DV_E_FORMATETC);
    request = Format(CF_HDROP, TYMED_HGLOBAL, DVASPECT_ICON);
    EXPECT_EQ(data->GetData(&request, &medium), DV_E_FORMATETC);
    request = Format(cfFileName);
    EXPECT_EQ(data->GetData(&request, &medium), DV_E_FORMATETC);
    EXPECT_EQ(data->GetData(nullptr, &medium), E_INVALIDARG);
    EXPECT_EQ(data->GetData(&request, nullptr), E_INVALIDARG);
}

TEST_F(DragData, TwoRequestsGiveTwoIndependentBlocks)
{
    FORMATETC request = Format(CF_HDROP);
    STGMEDIUM first, second;
    ASSERT_EQ(data->GetData(&request, &first), S_OK);
    ASSERT_EQ(data->GetData(&request, &second), S_OK);
    EXPECT_EQ(first.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(first.pUnkForRelease, nullptr);
    ASSERT_NE(first.hGlobal, second.hGlobal);
    char* bytes = static_cast<char*>(GlobalLock(first.hGlobal));
    bytes[20] = 'X';
    GlobalUnlock(first.hGlobal);
    ReleaseStgMedium(&first);
    const char* other = static_cast<const char*>(GlobalLock(second.hGlobal));
    EXPECT_STREQ(reinterpret_cast<const WCHAR*>(other + 20), L"C:\\data\\report.txt");
    GlobalUnlock(second.hGlobal);
    ReleaseStgMedium(&second);
}

TEST_F(DragData, SetDataKeepsOneEntryPerFormatAndRefusesTheSixth)
{
    EXPECT_EQ(Store(CF_HDROP), S_OK);
    EXPECT_EQ(Store(cfFileName), S_OK);
    EXPECT_EQ(Store(cfFileName), S_OK);
    EXPECT_EQ(Store(cfShellIdList), S_OK);
    EXPECT_EQ(Store(cfFileContents), S_OK);
    EXPECT_EQ(Store(cfFileGroupDescriptor), S_OK);
    ReleaseCounter owner;
    EXPECT_EQ(Store(CF_TEXT, OwnedMedium(&owner)), E_OUTOFMEMORY);
    EXPECT_EQ(owner.releases, 0);  // a refused medium stays the caller's

    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[8];
    ULONG fetched = 0;
    EXPECT_EQ(formats->Next(8, listed, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 5u);
    const CLIPFORMAT order[] = {CF_HDROP, cfFileName, cfShellIdList, cfFileContents, cfFileGroupDescriptor};
    for (ULONG i = 0; i < fetched; ++i)
        EXPECT_EQ(listed[i].cfFormat, order[i]);
    formats->Release();

    STGMEDIUM medium = {TYMED_HGLOBAL, {nullptr}, nullptr};
    FORMATETC description = Format(cfFileName);
    EXPECT_EQ(data->SetData(&description, &medium, FALSE), E_FAIL);
    EXPECT_EQ(data->SetData(nullptr, &medium, TRUE), E_INVALIDARG);
    EXPECT_EQ(data->SetData(&description, nullptr, TRUE), E_INVALIDARG);
}

TEST_F(DragData, StoredMediaAreReleasedOnOverwriteAndDestruction)
{
    ReleaseCounter first, second;
    ASSERT_EQ(Store(cfFileName, OwnedMedium(&first)), S_OK);
    EXPECT_EQ(first.releases, 0);
    ASSERT_EQ(Store(cfFileName, OwnedMedium(&second)), S_OK);
    EXPECT_EQ(first.releases, 1);
    EXPECT_EQ(second.releases, 0);
    EXPECT_EQ(data->Release(), 0u);
    data = nullptr;
    EXPECT_EQ(first.releases, 1);
    EXPECT_EQ(second.releases, 1);
}

TEST_F(DragData, AnswersOfTheUnusedMethods)
{
    FORMATETC format = Format(CF_HDROP);
    STGMEDIUM medium = {};
    EXPECT_EQ(data->GetDataHere(&format, &medium), E_NOTIMPL);
    EXPECT_EQ(data->GetDataHere(nullptr, &medium), E_INVALIDARG);
    EXPECT_EQ(data->GetDataHere(&format, nullptr), E_INVALIDARG);
    FORMATETC out = {};
    out.lindex = 77;
    EXPECT_EQ(data->GetCanonicalFormatEtc(&format, &out), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(out.lindex, 77);
    DWORD connection = 0;
    EXPECT_EQ(data->DAdvise(&format, 0, nullptr, &connection), E_NOTIMPL);
    EXPECT_EQ(data->DUnadvise(0), E_NOTIMPL);
    EXPECT_EQ(data->EnumDAdvise(nullptr), E_NOTIMPL);
}

TEST_F(DragData, QueryInterfaceHandsOutOnlyItsOwnInterfaces)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(data->QueryInterface(IID_IDropSource, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(data->QueryInterface(IID_IDataObject, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDataObject*>(data));
    EXPECT_EQ(data->Release(), 1u);
    ASSERT_EQ(data->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(data->Release(), 1u);
    EXPECT_EQ(data->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(DragData, EnumeratesOnlyTheGetDirection)
{
    IEnumFORMATETC* formats = reinterpret_cast<IEnumFORMATETC*>(1);
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &formats), OLE_S_USEREG);
    EXPECT_EQ(formats, nullptr);
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_GET, nullptr), OLE_S_USEREG);
}

TEST_F(DragData, EnumeratorSequencesOverTheFileList)
{
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[10] = {};
    ULONG fetched = 99;
    EXPECT_EQ(formats->Next(1, listed, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0].cfFormat, CF_HDROP);
    EXPECT_EQ(listed[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(listed[0].dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
    EXPECT_EQ(listed[0].lindex, -1);
    EXPECT_EQ(formats->Next(1, listed, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    // A clone starts where its source stands and moves on its own.
    IEnumFORMATETC* clone = nullptr;
    ASSERT_EQ(formats->Clone(&clone), S_OK);
    EXPECT_EQ(clone->Next(1, listed, nullptr), S_FALSE);
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Next(1, listed, nullptr), S_OK);
    EXPECT_EQ(formats->Next(1, listed, &fetched), S_FALSE);
    EXPECT_EQ(clone->Release(), 0u);
    EXPECT_EQ(formats->Clone(nullptr), S_FALSE);
    EXPECT_EQ(formats->Release(), 0u);

    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    EXPECT_EQ(formats->Next(10, listed, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(formats->Next(2, listed, nullptr), S_FALSE);  // more than one needs a count
    EXPECT_EQ(formats->Reset(), S_OK);
    EXPECT_EQ(formats->Next(2, listed, nullptr), S_FALSE);
    EXPECT_EQ(formats->Next(0, listed, &fetched), S_FALSE);
    EXPECT_EQ(formats->Next(1, nullptr, &fetched), S_FALSE);
    EXPECT_EQ(formats->Release(), 0u);

    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    EXPECT_EQ(formats->Skip(2), S_FALSE);
    EXPECT_EQ(formats->Next(1, listed, nullptr), S_OK);  // the cursor stayed at 0
    EXPECT_EQ(formats->Reset(), S_OK);
    EXPECT_EQ(formats->Skip(1), S_OK);
    EXPECT_EQ(formats->Next(1, listed, &fetched), S_FALSE);
    EXPECT_EQ(formats->Skip(0xFFFFFFFFu), S_FALSE);
    EXPECT_EQ(formats->Release(), 0u);
}

TEST(FormatEnumeratorTest, HandsOutTargetDevicesTheCallerMayFree)
{
    DVTARGETDEVICE* device = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(sizeof(DVTARGETDEVICE)));
    ASSERT_NE(device, nullptr);
    std::memset(device, 0, sizeof(DVTARGETDEVICE));
    device->tdSize = sizeof(DVTARGETDEVICE);
    FORMATETC source = {CF_HDROP, device, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FormatEnumerator* formats = FormatEnumerator::Create(&source, 1, 0);
    ASSERT_NE(formats, nullptr);
    formats->AddRef();
    CoTaskMemFree(device);  // the enumerator keeps its own copy
    FORMATETC listed = {};
    ASSERT_EQ(formats->Next(1, &listed, nullptr), S_OK);
    ASSERT_NE(listed.ptd, nullptr);
    EXPECT_EQ(listed.ptd->tdSize, sizeof(DVTARGETDEVICE));
    CoTaskMemFree(listed.ptd);
    EXPECT_EQ(formats->Release(), 0u);
}

TEST(FileDataObjectTest, KeepsItsOwnCopyOfTheRecord)
{
    std::wstring folder = L"C:\\keep";
    std::wstring name = L"me.txt";
    FoundFile* record = new FoundFile(Record(folder.c_str(), name.c_str()));
    FileDataObject* data = CreateFileDragData(*record);
    ASSERT_NE(data, nullptr);
    std::memset(record, 0x5A, sizeof *record);
    delete record;
    folder.assign(folder.size(), L'Z');
    name.assign(name.size(), L'Z');
    FORMATETC request = Format(CF_HDROP);
    STGMEDIUM medium;
    ASSERT_EQ(data->GetData(&request, &medium), S_OK);
    const char* bytes = static_cast<const char*>(GlobalLock(medium.hGlobal));
    EXPECT_STREQ(reinterpret_cast<const WCHAR*>(bytes + 20), L"C:\\keep\\me.txt");
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    EXPECT_EQ(data->Release(), 0u);
}

TEST(FileDropSourceTest, ButtonsHeldAtTheFirstCallCarryTheDrag)
{
    FileDropSource* source = FileDropSource::Create();
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->AddRef(), 1u);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_SHIFT), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_RBUTTON | MK_CONTROL), DRAGDROP_S_DROP);
    EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source->Release(), 0u);

    // Started with the right button: the left one does not matter.
    source = FileDropSource::Create();
    source->AddRef();
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_RBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_RBUTTON | MK_LBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_RBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), DRAGDROP_S_DROP);
    EXPECT_EQ(source->Release(), 0u);

    // No button at the first call: it drops, and the next call latches anew.
    source = FileDropSource::Create();
    source->AddRef();
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_SHIFT), DRAGDROP_S_DROP);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_MBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), DRAGDROP_S_DROP);
    EXPECT_EQ(source->QueryContinueDrag(TRUE, 0), DRAGDROP_S_CANCEL);
    void* object = nullptr;
    EXPECT_EQ(source->QueryInterface(IID_IDataObject, &object), E_NOINTERFACE);
    ASSERT_EQ(source->QueryInterface(IID_IDropSource, &object), S_OK);
    EXPECT_EQ(source->Release(), 1u);
    EXPECT_EQ(source->Release(), 0u);
}
