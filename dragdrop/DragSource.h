// Dragging a found file out of the results list onto any drop target.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct FoundFile;
class FileDataObject;

// Registers the shell formats a drag can render; once, after OleInitialize.
void RegisterDragFormats();
// Runs a whole drag for the row the notification names (its list's item data
// is the row's FoundFile); returns when the drag is over.
void BeginFileDrag(const NMLISTVIEW* notification);
// The data object a drag of this record hands out, offering the file list,
// with one reference held by the caller; null when out of memory.
FileDataObject* CreateFileDragData(const FoundFile& record);
