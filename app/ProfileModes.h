#pragma once
#include <string>

#include "app/CommandLineParser.h"

// "/export FILE" and "/apply FILE|recommended|strict|defaults": profiles of
// the settings pages' rows, for administrators and deployment tools. Neither
// opens a window; each writes a one-line summary to the standard output, the
// problems to the standard error, and ends with one of these codes.
namespace ProfileExit {
constexpr int kDone = 0;
constexpr int kSomeNotWritten = 1;    // named on the standard error; the rest applied
constexpr int kCannotReadOrWrite = 2; // the file
constexpr int kNotWindows10 = 10;     // ERROR_BAD_ENVIRONMENT; nothing changed
constexpr int kInvalidProfile = 13;   // ERROR_INVALID_DATA; nothing changed
constexpr int kBadCommandLine = 87;   // ERROR_INVALID_PARAMETER
constexpr int kRestartNeeded = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
} // namespace ProfileExit

// What every console mode shares: it joins the console of the prompt it was
// started from (JoinParentConsole), refuses to run before Windows 10 with a
// line on the standard error (IsWindows10), and flushes both streams before
// it hands back its exit code (Finish).
void JoinParentConsole();
bool IsWindows10();
int Finish(int code);

// A relative FILE is taken from `startFolder`, the folder the program was
// started in (the program then works in its own folder).
int RunExportMode(const CommandLineOption& option, const std::wstring& startFolder);
int RunApplyMode(const CommandLineOption& option, const std::wstring& startFolder);
