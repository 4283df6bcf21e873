// Starts a drag of a found file from the results list: the drag's formats,
// its two COM objects and OLE's drag loop.
#include "dragdrop/DragSource.h"

#include "dragdrop/DragRenderers.h"
#include "dragdrop/FileDataObject.h"
#include "dragdrop/FileDropSource.h"

void RegisterDragFormats()
{
    cfShellIdList = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("Shell IDList Array"));
    cfFileName = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileName"));
    cfFileContents = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileContents"));
    cfFileGroupDescriptor = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptor"));
    cfFileGroupDescriptorW = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptorW"));
}

FileDataObject* CreateFileDragData(const FoundFile& record)
{
    FileDataObject* data = FileDataObject::Create(record);
    if (data == nullptr)
        return nullptr;
    data->AddRef();
    // Only the file list is offered; it is rendered when a target asks.
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    if (FAILED(data->SetData(&format, &medium, TRUE))) {
        data->Release();
        return nullptr;
    }
    return data;
}

// The list and the record stay as they are whatever the target did: only
// copy and link are offered, never a move.
void BeginFileDrag(const NMLISTVIEW* notification)
{
    if (notification == nullptr)
        return;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = notification->iItem;
    if (!SendMessageA(notification->hdr.hwndFrom, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return;
    const FoundFile* record = reinterpret_cast<const FoundFile*>(item.lParam);
    if (record == nullptr)
        return;
    FileDropSource* source = FileDropSource::Create();
    if (source == nullptr)
        return;
    source->AddRef();
    FileDataObject* data = CreateFileDragData(*record);
    if (data == nullptr) {
        source->Release();
        return;
    }
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
    data->Release();
    source->Release();
}
