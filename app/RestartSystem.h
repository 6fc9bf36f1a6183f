#pragma once
#include <windows.h>

// The call that actually restarts Windows; replaceable so that the privilege
// handling around it can be exercised without restarting anything.
using ExitWindowsFunction = BOOL(WINAPI*)(UINT flags, DWORD reason);

// Enables the shutdown privilege and asks Windows to restart. Silent on failure.
void RestartSystem(ExitWindowsFunction exitWindows = ::ExitWindowsEx);
