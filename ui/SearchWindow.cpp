// Placeholder until the search window lands.
#include "app/SearchApp.h"

INT_PTR SearchApp::DialogProc(UINT, WPARAM, LPARAM) { return 0; }
int SearchApp::OnInitDialog() { return 0; }
void SearchApp::OnSearchButton() {}
void SearchApp::ExpandWindow(int) {}
void SearchApp::SetRunning(int, SearchRequest*) {}
void SearchApp::EnableInputs(int) {}
void SearchApp::SetStatusText(const char*) {}
int SearchApp::ShowErrorBox(UINT, UINT, DWORD) { return 0; }

void ScreenRectToClient(HWND window, RECT* rect)
{
    ScreenToClient(window, reinterpret_cast<POINT*>(&rect->left));
    ScreenToClient(window, reinterpret_cast<POINT*>(&rect->right));
}
