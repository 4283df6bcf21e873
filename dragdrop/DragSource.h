// Dragging a found file out of the results list onto any drop target.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Registers the shell formats a drag can render; once, after OleInitialize.
void RegisterDragFormats();
// Runs a whole drag for the row the notification names.
void BeginFileDrag(const NMLISTVIEW* notification);
