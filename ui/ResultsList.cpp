// Placeholder until the results list lands.
#include "ui/ResultsList.h"

namespace ResultsList {
int InitColumns(HWND) { return 1; }
void AddFoundFile(FoundFile*) {}
void OnNotify(NMHDR*) {}
}  // namespace ResultsList
