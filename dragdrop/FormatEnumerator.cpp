// Lists the formats a file drag offers.
#include "dragdrop/FormatEnumerator.h"

#include <new>

bool CopyFormatEtc(FORMATETC* to, const FORMATETC& from)
{
    *to = from;
    if (from.ptd == nullptr)
        return true;
    to->ptd = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(from.ptd->tdSize));
    if (to->ptd == nullptr)
        return false;
    CopyMemory(to->ptd, from.ptd, from.ptd->tdSize);
    return true;
}

FormatEnumerator* FormatEnumerator::Create(const FORMATETC* source, ULONG sourceCount, ULONG start)
{
    FormatEnumerator* enumerator = new (std::nothrow) FormatEnumerator();
    if (enumerator == nullptr)
        return nullptr;
    if (sourceCount != 0) {
        enumerator->formats = new (std::nothrow) FORMATETC[sourceCount]();
        if (enumerator->formats == nullptr) {
            delete enumerator;
            return nullptr;
        }
    }
    for (ULONG i = 0; i < sourceCount; ++i) {
        if (!CopyFormatEtc(&enumerator->formats[enumerator->count], source[i])) {
            delete enumerator;
            return nullptr;
        }
        ++enumerator->count;
    }
    enumerator->cursor = start < sourceCount ? start : sourceCount;
    return enumerator;
}

FormatEnumerator::~FormatEnumerator()
{
    for (ULONG i = 0; i < count; ++i)
        CoTaskMemFree(formats[i].ptd);
    delete[] formats;
}

HRESULT FormatEnumerator::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IEnumFORMATETC))
        return E_NOINTERFACE;
    *ppv = static_cast<IEnumFORMATETC*>(this);
    AddRef();
    return S_OK;
}

ULONG FormatEnumerator::AddRef()
{
    return ++refCount;
}

ULONG FormatEnumerator::Release()
{
    if (--refCount != 0)
        return refCount;
    delete this;
    return 0;
}

// Each handed-out entry carries its own copy of a target device, which the
// caller frees as with any enumerator of formats.
HRESULT FormatEnumerator::Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched)
{
    if (pceltFetched != nullptr)
        *pceltFetched = 0;
    if (celt == 0 || rgelt == nullptr || cursor >= count)
        return S_FALSE;
    if (pceltFetched == nullptr && celt != 1)
        return S_FALSE;
    ULONG fetched = 0;
    while (fetched < celt && cursor < count) {
        if (!CopyFormatEtc(&rgelt[fetched], formats[cursor])) {
            for (ULONG i = 0; i < fetched; ++i) {
                CoTaskMemFree(rgelt[i].ptd);
                rgelt[i].ptd = nullptr;
            }
            cursor -= fetched;
            return E_OUTOFMEMORY;
        }
        ++fetched;
        ++cursor;
    }
    if (pceltFetched != nullptr)
        *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
}

HRESULT FormatEnumerator::Skip(ULONG celt)
{
    if (celt > count - cursor)
        return S_FALSE;
    cursor += celt;
    return S_OK;
}

HRESULT FormatEnumerator::Reset()
{
    cursor = 0;
    return S_OK;
}

HRESULT FormatEnumerator::Clone(IEnumFORMATETC** ppenum)
{
    if (ppenum == nullptr)
        return S_FALSE;
    *ppenum = nullptr;
    FormatEnumerator* clone = Create(formats, count, cursor);
    if (clone == nullptr)
        return E_OUTOFMEMORY;
    clone->AddRef();
    *ppenum = clone;
    return S_OK;
}
