// Placeholder until layout, size limits, animation and browser land.
#include "app/SearchApp.h"

void SearchApp::LayoutControls(WPARAM, int, int) {}
int SearchApp::OnGetMinMaxInfo(MINMAXINFO*) { return 0; }
void SearchApp::DrawAnimation(int) {}
void SearchApp::BrowseForFolder() {}
