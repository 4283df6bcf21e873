// Lists the formats a file drag offers, over its own copy of them.
#pragma once

#include <ole2.h>

class FormatEnumerator final : public IEnumFORMATETC {
public:
    // Copies the entries (their target devices too) and starts at start.
    // The count starts at 0: the creator calls AddRef at once. Null when out of memory.
    static FormatEnumerator* Create(const FORMATETC* source, ULONG sourceCount, ULONG start);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** ppenum) override;

private:
    FormatEnumerator() = default;
    ~FormatEnumerator();

    ULONG refCount = 0;
    FORMATETC* formats = nullptr;  // owned, with owned target devices
    ULONG cursor = 0;
    ULONG count = 0;
};

// A copy of a FORMATETC whose target device (if any) is a fresh task-memory
// block the receiver frees with CoTaskMemFree. False when out of memory.
bool CopyFormatEtc(FORMATETC* to, const FORMATETC& from);
