// The data object of a file drag: a small table of offered formats over its
// own copy of the dragged file's record; every format is rendered on request.
#pragma once

#include <ole2.h>

#include "search/SearchRequest.h"

enum { MAX_DATA_FORMATS = 5 };

class FileDataObject final : public IDataObject {
public:
    // Copies the record, so a target may keep the object past the next search.
    // The count starts at 0: the creator calls AddRef at once. Null when out of memory.
    static FileDataObject* Create(const FoundFile& record);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* pformatetc) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* pformatetcIn, FORMATETC* pformatetcOut) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD dwConnection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** ppenumAdvise) override;

private:
    FileDataObject() = default;
    ~FileDataObject();

    ULONG refCount = 0;
    FoundFile* record = nullptr;  // owned copy; the list's record is freed by the next search
    ULONG formatCount = 0;
    FORMATETC formats[MAX_DATA_FORMATS] = {};  // target devices owned
    STGMEDIUM media[MAX_DATA_FORMATS] = {};    // owned: released on overwrite and destruction
};
