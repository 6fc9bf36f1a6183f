#pragma once
#include "core/compat/CompatibilityResult.h"
#include "framework/CWinApp.h"

#include <string>

class CTavrinApp : public CWinApp {
public:
    CTavrinApp();

    // Runs one command-line mode or the interactive window, then returns
    // FALSE so that the process ends without a message loop.
    BOOL InitInstance() override;
    // The exit code of the run: 0, or 1 when "/undo" could not put every
    // value back, or the code of "/export" and "/apply" (app/ProfileModes.h)
    // of "/scan" and "/report" (app/AdminModes.h), or "/verify" (app/VerifyMode.h).
    int ExitInstance() override;

    // Set by a settings page when a change needs a restart, through the
    // pointer the main window hands it; never reset by the program.
    bool RestartRequired() const { return restartRequired; }
    bool* RestartRequiredFlag() { return &restartRequired; }
    void SetRestartRequired(bool required) { restartRequired = required; }

private:
    void RunInteractive();

    // The measured system and the current inventories, filled once by the
    // interactive start and read by the windows through a pointer.
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT compatibilityResult;
    std::wstring programFolder;
    bool restartRequired = false;
    int exitCode = 0;
};
