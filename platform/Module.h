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

} // namespace Tavrin::Platform
