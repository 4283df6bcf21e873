// Start-up, the idle-driven loop and teardown of the application, run on the
// real dialog in this process.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "app/AppDriver.h"
#include "search/FileSearcher.h"
#include "support/TempFolder.h"

namespace {

bool g_failSearcherAllocation = false;

}  // namespace

// Lets a test make the searcher's allocation fail; every other one goes through.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (g_failSearcherAllocation && size == sizeof(FileSearcher))
        return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

TEST(StartUp, ShowsTheIdleWindowReadyForInput)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    SearchApp* app = driver.app;
    ASSERT_NE(app->window, nullptr);
    EXPECT_TRUE(IsWindowVisible(app->window));
    EXPECT_EQ(g_dialogApp, app);
    EXPECT_NE(app->searcher, nullptr);
    EXPECT_EQ(app->instance, GetModuleHandleA(nullptr));
    EXPECT_EQ(app->request.notifyWindow, app->window);
    EXPECT_EQ(app->request.running, 0);
    EXPECT_EQ(app->request.stopRequested, 0);
    EXPECT_EQ(app->expanded, 0);
    EXPECT_EQ(driver.Text(IDC_STATUS), "");
    EXPECT_EQ(GetFocus(), driver.Control(IDC_TEXT));
    // With nothing to search the loop waits at once.
    EXPECT_EQ(app->OnIdle(), 0);
}

TEST(StartUp, FailsCleanlyWhenTheSearcherCannotBeCreated)
{
    g_failSearcherAllocation = true;
    AppDriver driver;
    g_failSearcherAllocation = false;
    EXPECT_TRUE(FAILED(driver.started));
    EXPECT_EQ(driver.app->searcher, nullptr);
    EXPECT_EQ(driver.app->window, nullptr);
    EXPECT_EQ(g_dialogApp, nullptr);
    // Nothing runs: the loop returns at once without a window.
    EXPECT_EQ(driver.app->RunMessageLoop(), 0);
}

TEST(StartUp, FailsCleanlyWithoutTheDialogTemplate)
{
    SearchApp* app = new SearchApp();
    app->Reset();
    g_searchApp = app;
    // A module without the template: the dialog cannot be created.
    EXPECT_EQ(app->Initialize(GetModuleHandleA("kernel32.dll")), E_FAIL);
    EXPECT_EQ(app->window, nullptr);
    EXPECT_EQ(app->searcher, nullptr);
    EXPECT_EQ(g_dialogApp, nullptr);
    g_searchApp = nullptr;
    delete app;
}

TEST(StartUp, ShutdownReleasesTheSearcherAndAllowsAFreshStart)
{
    {
        AppDriver first;
        ASSERT_EQ(first.started, S_OK);
    }
    EXPECT_EQ(g_dialogApp, nullptr);  // the destroyed window no longer routes here
    AppDriver second;
    ASSERT_EQ(second.started, S_OK);
    EXPECT_EQ(g_dialogApp, second.app);
    EXPECT_EQ(second.app->Shutdown(), 0);
    EXPECT_EQ(second.app->searcher, nullptr);
    second.started = E_FAIL;  // already torn down
}

// The real loop, driven by a thread timer the way a user would: Search, wait
// for the end, then Close. The loop must return once the window is gone.
struct LoopScript {
    AppDriver* driver = nullptr;
    std::string folder;
    int ticks = 0;
    bool searched = false;
    std::string summary;
    std::string buttonAtEnd;
    bool inputsEnabledAtEnd = false;
};
LoopScript* g_script = nullptr;

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    LoopScript& script = *g_script;
    AppDriver& driver = *script.driver;
    ++script.ticks;
    if (!script.searched) {
        script.searched = true;
        driver.Search(script.folder, "needle");
        return;
    }
    const bool ended = driver.app->request.running == 0;
    if (ended || script.ticks > 600) {  // about 15 s: give up rather than hang
        script.summary = driver.Text(IDC_STATUS);
        script.buttonAtEnd = driver.Text(IDOK);
        script.inputsEnabledAtEnd = IsWindowEnabled(driver.Control(IDC_TEXT)) != 0;
        driver.Click(IDCANCEL);
    }
}

TEST(MessageLoop, RunsASearchToItsEndAndEndsWhenTheWindowCloses)
{
    TempFolder folder;
    folder.Write("a.txt", "a needle and a needle");
    folder.Write("b.txt", "no match here");
    folder.Write("sub\\c.txt", "needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    LoopScript script;
    script.driver = &driver;
    script.folder = folder.Path();
    g_script = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 25, ScriptTick);

    EXPECT_EQ(driver.app->RunMessageLoop(), 0);

    KillTimer(nullptr, timer);
    g_script = nullptr;
    EXPECT_FALSE(IsWindow(driver.app->window));
    EXPECT_EQ(g_dialogApp, nullptr);
    EXPECT_EQ(script.summary, "Searched a total of 3 files, found 3 matches in 2 files");
    EXPECT_EQ(script.buttonAtEnd, "Search");
    EXPECT_TRUE(script.inputsEnabledAtEnd);
    EXPECT_EQ(AppDriver::RecordCount(), 2);
}

TEST(MessageLoop, StopIsNoticedBeforeAnyFurtherStep)
{
    TempFolder folder;
    for (int i = 0; i < 40; ++i)
        folder.Write("file" + std::to_string(100 + i) + ".txt", "one needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    SearchRequest& request = driver.app->request;
    driver.Search(folder.Path(), "needle");
    ASSERT_EQ(request.running, 1);
    // Stop just before a step that would take up the next file.
    ASSERT_TRUE(driver.RunUntil(
        [&] { return AppDriver::RecordCount() >= 3 && driver.app->searcher->CurrentState() == SearchFile; }));

    driver.Click(IDOK);  // the button reads "Stop" now
    EXPECT_EQ(request.stopRequested, 1);
    EXPECT_EQ(driver.Text(IDOK), "Stop");  // the look changes at the next idle pass
    const long long searched = request.filesSearched;
    const SearchState state = driver.app->searcher->CurrentState();

    // One idle pass carries out the stop; no step runs, then or later.
    driver.RunUntilWaiting();
    EXPECT_EQ(request.filesSearched, searched);
    EXPECT_EQ(state, SearchFile);
    EXPECT_EQ(driver.app->searcher->CurrentState(), Idle);
    EXPECT_EQ(AppDriver::RecordCount(), searched);
    EXPECT_EQ(request.running, 0);
    EXPECT_EQ(request.stopRequested, 0);
    EXPECT_EQ(driver.Text(IDOK), "Search");
    EXPECT_EQ(driver.Text(IDC_STATUS), "Found " + std::to_string(searched) + " matches");  // so far
    EXPECT_EQ(driver.app->OnIdle(), 0);
    EXPECT_EQ(request.filesSearched, searched);
}

TEST(MessageLoop, EnterStartsAndStopsASearchFromTheTextBox)
{
    TempFolder folder;
    for (int i = 0; i < 40; ++i)
        folder.Write("file" + std::to_string(100 + i) + ".txt", "one needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.SetText(IDC_LOCATION, folder.Path());
    driver.SetText(IDC_TEXT, "needle");
    HWND text = driver.Control(IDC_TEXT);
    SetFocus(text);
    PostMessageA(text, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(driver.RunUntil([] { return AppDriver::RecordCount() == 2; }));
    EXPECT_EQ(driver.app->request.running, 1);

    // The text box is disabled now; the keyboard still reaches the window.
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(IsWindowEnabled(focus));
    PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0);
    driver.RunUntilWaiting();
    EXPECT_EQ(driver.app->request.running, 0);
    EXPECT_EQ(AppDriver::RecordCount(), 2);
    EXPECT_EQ(driver.Text(IDOK), "Search");
}

}  // namespace
