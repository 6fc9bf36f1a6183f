#pragma once
#include "app/TavrinApp.h"
#include "core/compat/CompatibilityResult.h"

// What every test of the main window sets up first: the delivered skin and
// the visual manager, the application's name and registry key (so that its
// profile lies under Software\Tavrin\<name>), and a record of Windows 10.
void PrepareMainWindow(CTavrinApp& app, const wchar_t* appName,
                       Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT& result);
