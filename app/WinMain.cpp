// Entry point: reads the command line and owns the one application object
// for the whole run.
#include "app/CommandLine.h"
#include "app/SearchApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const CommandLine command = ReadCommandLine(GetCommandLineW());
    if (command.usage) {
        ShowUsage();
        return 0;
    }
    static SearchApp app;
    if (FAILED(app.Initialize(instance, command.folder.c_str())))
        return -1;
    app.RunMessageLoop();
    return app.Shutdown();
}
