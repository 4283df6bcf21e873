// Entry point: owns the one application object for the whole run.
#include "app/SearchApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    static SearchApp app;
    if (FAILED(app.Initialize(instance)))
        return -1;
    app.RunMessageLoop();
    return app.Shutdown();
}
