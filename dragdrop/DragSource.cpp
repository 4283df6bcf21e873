// Placeholder until the drag source lands.
#include "dragdrop/DragSource.h"

void RegisterDragFormats() {}
void BeginFileDrag(const NMLISTVIEW*) {}
