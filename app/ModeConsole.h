#pragma once
#include <string>

// What the modes that administrators run from a prompt or a script share:
// no window, a one-line summary on the standard output, the problems on the
// standard error, and an exit code.

// A window program has no console of its own: started from a prompt, its
// standard streams go nowhere unless it joins the prompt's console. Streams
// a caller redirected are kept.
void JoinParentConsole();

// Paths and names of the command line as the console shows text.
std::string ShownOnConsole(const std::wstring& text);

// True on Windows 10; otherwise false after saying on the standard error
// that the settings are Windows 10's and nothing was changed.
bool IsWindows10();

// Flushes both streams and returns the code.
int FinishMode(int code);

// A relative path taken from `startFolder`, the folder the program was
// started in (the program then works in its own folder).
std::wstring PathFromStartFolder(const std::wstring& path, const std::wstring& startFolder);
