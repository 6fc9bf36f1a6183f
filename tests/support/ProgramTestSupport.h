#pragma once
#include <windows.h>

#include <string>

#include "platform/UniqueHandle.h"

// Helpers for end-to-end tests that start the real tavrin.exe and drive its
// windows from the test process with posted messages.
namespace Tavrin::Test {

// tavrin.exe from the build's program folder (or another copy), started
// without waiting; killed if it still runs when the object goes.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& arguments = L"", const std::wstring& program = L"");
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return started_; }
    DWORD Id() const { return id_; }
    bool WaitForExit(DWORD timeoutMs) const;

private:
    bool started_ = false;
    DWORD id_ = 0;
    Platform::UniqueHandle process_;
};

enum class ProgramWindow { MessageBox, MainWindow };

// A visible dialog of the process: a message box (it has the static text
// 0xFFFF) or the main window (it has the privacy button). Null when none.
HWND FindWindowOf(DWORD process, ProgramWindow kind);
HWND WaitForWindowOf(DWORD process, ProgramWindow kind, DWORD timeoutMs);
// The direct child dialog of `parent` that holds a control `itemId`.
HWND FindChildDialogWith(HWND parent, int itemId);

} // namespace Tavrin::Test
