// Placeholder until start-up and the message loop land.
#include "app/SearchApp.h"

SearchApp* g_searchApp = nullptr;
SearchApp* g_dialogApp = nullptr;

void SearchApp::Reset() { window = nullptr; expanded = 0; digitsBitmap = nullptr; searcher = nullptr; }
HRESULT SearchApp::Initialize(HINSTANCE) { return E_FAIL; }
int SearchApp::CreateSearchWindow() { return 0; }
INT_PTR CALLBACK SearchApp::StaticDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
int SearchApp::RunMessageLoop() { return 0; }
int SearchApp::OnIdle() { return 0; }
int SearchApp::Shutdown() { return 0; }
