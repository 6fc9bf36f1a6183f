#pragma once
#include <windows.h>

namespace Tavrin::App {

// What the program's folder ends with wherever it was installed: owned by
// the administrators, full control for SYSTEM and the administrators, read
// and run for users, nothing inherited. A folder outside Program Files
// (INSTALLDIR is public) would otherwise inherit its parent's list, often
// "Authenticated Users: Modify" at a drive's root, and anyone could replace
// the libraries, skin and saved files the elevated program loads from it.
constexpr wchar_t kProgramFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Gives the folder of the running program that access list, passed on to
// everything in it. ERROR_SUCCESS or the error.
DWORD LockProgramFolder();

} // namespace Tavrin::App
