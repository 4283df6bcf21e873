// The drop source of a file drag: decides from the buttons and Escape when
// the drag drops or is cancelled.
#pragma once

#include <ole2.h>

class FileDropSource final : public IDropSource {
public:
    // The count starts at 0: the creator calls AddRef at once.
    static FileDropSource* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD dwEffect) override;

private:
    FileDropSource() = default;
    ~FileDropSource() = default;

    ULONG refCount = 0;
    DWORD latchedButtons = 0;  // the buttons that carry the drag, fixed once seen
};
