#pragma once
#include <windows.h>

#include <string>

namespace Tavrin::Platform {

// Full path of a module's file (the program's when module is null).
std::wstring ModuleFileName(HMODULE module = nullptr);
// Everything before the last backslash; empty when there is none.
std::wstring FolderOf(const std::wstring& path);
// Joins with exactly one backslash between the parts.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// File name without folder and extension.
std::wstring BaseName(const std::wstring& path);

// A function of a system library, looked up when it is first needed so the
// library costs nothing at start. The library is loaded from the system
// folder only (never from beside the program or the path: the program runs
// elevated) and stays loaded. Null when the library or function is missing.
FARPROC SystemLibraryFunction(const wchar_t* library, const char* function);

template <typename Function> Function SystemFunction(const wchar_t* library, const char* function)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemLibraryFunction(library, function)));
}

} // namespace Tavrin::Platform
