// The data object of a file drag.
#include "dragdrop/FileDataObject.h"

#include <cstring>
#include <new>

#include "dragdrop/DragRenderers.h"
#include "dragdrop/FormatEnumerator.h"

FileDataObject* FileDataObject::Create(const FoundFile& source)
{
    FoundFile* copy = CopyFoundFile(source);
    if (copy == nullptr)
        return nullptr;
    FileDataObject* object = new (std::nothrow) FileDataObject();
    if (object == nullptr) {
        FreeFoundFile(copy);
        return nullptr;
    }
    object->record = copy;
    return object;
}

FileDataObject::~FileDataObject()
{
    for (ULONG i = 0; i < formatCount; ++i) {
        CoTaskMemFree(formats[i].ptd);
        ReleaseStgMedium(&media[i]);
    }
    FreeFoundFile(record);
}

HRESULT FileDataObject::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject))
        return E_NOINTERFACE;
    *ppv = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

ULONG FileDataObject::AddRef()
{
    return ++refCount;
}

ULONG FileDataObject::Release()
{
    if (--refCount != 0)
        return refCount;
    delete this;
    return 0;
}

// Renders a fresh medium on every call; the receiver owns it. Stored media
// are never handed out: the table only says what is offered. Every rendering
// is a global block, except the content of a file too large for one, which
// goes as a stream on the file to a request that accepts streams.
HRESULT FileDataObject::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium)
{
    if (pmedium != nullptr)
        *pmedium = STGMEDIUM{};
    if (pformatetcIn == nullptr || pmedium == nullptr)
        return E_INVALIDARG;
    const bool takesBlock = (pformatetcIn->tymed & TYMED_HGLOBAL) != 0;
    const bool takesStream = (pformatetcIn->tymed & TYMED_ISTREAM) != 0;
    if (!takesBlock && !(takesStream && pformatetcIn->cfFormat == cfFileContents && cfFileContents != 0))
        return DV_E_FORMATETC;
    for (ULONG i = 0; i < formatCount; ++i) {
        const FORMATETC& entry = formats[i];
        if ((entry.tymed & pformatetcIn->tymed) == 0 || entry.dwAspect != pformatetcIn->dwAspect
            || entry.cfFormat != pformatetcIn->cfFormat)
            continue;
        const CLIPFORMAT format = entry.cfFormat;
        HGLOBAL block = nullptr;
        if (!takesBlock)
            block = nullptr;  // only the content below may go as a stream
        else if (format == CF_HDROP)
            block = RenderHdrop(*record);
        else if (format == 0)
            block = nullptr;  // formats not registered yet render nothing
        else if (format == cfFileName)
            block = RenderFileName(*record);
        else if (format == cfShellIdList)
            block = RenderShellIdList(*record);
        else if (format == cfFileGroupDescriptor)
            block = RenderFileGroupDescriptor(*record);
        else if (format == cfFileGroupDescriptorW)
            block = RenderFileGroupDescriptorW(*record);
        else if (format == cfFileContents && (pformatetcIn->lindex == 0 || pformatetcIn->lindex == -1))
            block = RenderFileContents(*record);  // the descriptor's one file
        if (block != nullptr) {
            pmedium->tymed = TYMED_HGLOBAL;
            pmedium->hGlobal = block;
            pmedium->pUnkForRelease = nullptr;
            return S_OK;
        }
        if (takesStream && format == cfFileContents && format != 0
            && (pformatetcIn->lindex == 0 || pformatetcIn->lindex == -1)) {
            if (IStream* stream = RenderFileContentsStream(*record)) {
                pmedium->tymed = TYMED_ISTREAM;
                pmedium->pstm = stream;
                pmedium->pUnkForRelease = nullptr;
                return S_OK;
            }
        }
    }
    return DV_E_FORMATETC;
}

HRESULT FileDataObject::GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium)
{
    return pformatetc != nullptr && pmedium != nullptr ? E_NOTIMPL : E_INVALIDARG;
}

HRESULT FileDataObject::QueryGetData(FORMATETC* pformatetc)
{
    if (pformatetc == nullptr)
        return S_FALSE;
    if ((pformatetc->dwAspect & DVASPECT_CONTENT) == 0)
        return DV_E_DVASPECT;
    for (ULONG i = 0; i < formatCount; ++i) {
        if (formats[i].cfFormat == pformatetc->cfFormat && (formats[i].tymed & pformatetc->tymed) != 0)
            return S_OK;
    }
    return DV_E_TYMED;
}

HRESULT FileDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) { return DATA_S_SAMEFORMATETC; }

// Keeps the medium on success only; on failure it stays the caller's.
HRESULT FileDataObject::SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease)
{
    if (!fRelease)
        return E_FAIL;
    if (pformatetc == nullptr || pmedium == nullptr)
        return E_INVALIDARG;
    ULONG slot = 0;
    while (slot < formatCount && formats[slot].cfFormat != pformatetc->cfFormat)
        ++slot;
    if (slot == MAX_DATA_FORMATS)
        return E_OUTOFMEMORY;
    FORMATETC format;
    if (!CopyFormatEtc(&format, *pformatetc))
        return E_OUTOFMEMORY;
    if (slot < formatCount) {
        CoTaskMemFree(formats[slot].ptd);
        // The same medium handed over again is kept, not released under the caller.
        if (std::memcmp(&media[slot], pmedium, sizeof(STGMEDIUM)) != 0)
            ReleaseStgMedium(&media[slot]);
    } else {
        ++formatCount;
    }
    formats[slot] = format;
    media[slot] = *pmedium;
    return S_OK;
}

HRESULT FileDataObject::EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc)
{
    if (ppenumFormatEtc != nullptr)
        *ppenumFormatEtc = nullptr;
    if (dwDirection != DATADIR_GET || ppenumFormatEtc == nullptr)
        return OLE_S_USEREG;
    FormatEnumerator* enumerator = FormatEnumerator::Create(formats, formatCount, 0);
    if (enumerator == nullptr)
        return E_OUTOFMEMORY;
    enumerator->AddRef();
    *ppenumFormatEtc = enumerator;
    return S_OK;
}

HRESULT FileDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return E_NOTIMPL; }
HRESULT FileDataObject::DUnadvise(DWORD) { return E_NOTIMPL; }
HRESULT FileDataObject::EnumDAdvise(IEnumSTATDATA**) { return E_NOTIMPL; }
