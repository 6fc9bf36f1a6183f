#pragma once
#include <windows.h>

#include <string>

#include "platform/UniqueHandle.h"

// Helpers for end-to-end tests that start the real tavrin.exe and drive its
// windows from the test process with posted messages.
namespace Tavrin::Test {

// tavrin.exe from the build's program folder (or another copy), started
// without waiting in the program folder (or another working folder); killed
// if it still runs when the object goes.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& arguments = L"", const std::wstring& program = L"",
                            const std::wstring& workingFolder = L"");
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return m_started; }
    DWORD Id() const { return m_id; }
    bool WaitForExit(DWORD timeoutMs) const;
    // The exit code once the process has ended; STILL_ACTIVE before.
    DWORD ExitCode() const;

private:
    bool m_started = false;
    DWORD m_id = 0;
    Platform::UniqueHandle m_process;
};

// While it lives, Wine draws the frame and caption of tavrin.exe's windows
// itself (the test display has no window manager), so that screenshots of
// them show a whole window.
class FramedProgramWindows {
public:
    FramedProgramWindows();
    ~FramedProgramWindows();
    FramedProgramWindows(const FramedProgramWindows&) = delete;
    FramedProgramWindows& operator=(const FramedProgramWindows&) = delete;
};

enum class ProgramWindow { MessageBox, MainWindow, PreUpgradeDialog };

// A visible top-level dialog of the process: a message box (it has the
// static text 0xFFFF), the main window (it has the privacy button) or the
// pre-upgrade dialog (it has "Start Scan"). Null when none.
HWND FindWindowOf(DWORD process, ProgramWindow kind);
HWND WaitForWindowOf(DWORD process, ProgramWindow kind, DWORD timeoutMs);
// The direct child dialog of `parent` that holds a control `itemId`.
HWND FindChildDialogWith(HWND parent, int itemId);

} // namespace Tavrin::Test
