// The drop source of a file drag.
#include "dragdrop/FileDropSource.h"

#include <new>

FileDropSource* FileDropSource::Create()
{
    return new (std::nothrow) FileDropSource();
}

HRESULT FileDropSource::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDropSource))
        return E_NOINTERFACE;
    *ppv = static_cast<IDropSource*>(this);
    AddRef();
    return S_OK;
}

ULONG FileDropSource::AddRef()
{
    return ++refCount;
}

ULONG FileDropSource::Release()
{
    if (--refCount != 0)
        return refCount;
    delete this;
    return 0;
}

// The buttons held at the first call that sees any carry the drag; it drops
// when all of them are up. Other buttons and the modifier keys play no part.
HRESULT FileDropSource::QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState)
{
    if (fEscapePressed)
        return DRAGDROP_S_CANCEL;
    if (latchedButtons == 0)
        latchedButtons = grfKeyState & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
    return (grfKeyState & latchedButtons) != 0 ? S_OK : DRAGDROP_S_DROP;
}

HRESULT FileDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }
