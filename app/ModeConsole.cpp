#include "app/ModeConsole.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>

#include "core/compat/SystemInfo.h"
#include "platform/Module.h"
#include "platform/Text.h"

void JoinParentConsole()
{
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output && output != INVALID_HANDLE_VALUE)
        return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::FILE* ignored = nullptr;
    _wfreopen_s(&ignored, L"CONOUT$", L"w", stdout);
    _wfreopen_s(&ignored, L"CONOUT$", L"w", stderr);
}

std::string ShownOnConsole(const std::wstring& text)
{
    return Tavrin::Platform::Narrow(text, ::GetConsoleOutputCP() ? ::GetConsoleOutputCP() : CP_ACP);
}

bool IsWindows10()
{
    bool eligible = false;
    if (Tavrin::Core::ClassifyWindowsVersion(eligible) == Tavrin::Core::WindowsVersionCode::Windows10)
        return true;
    std::fputs("The settings are those of Windows 10, and this is not Windows 10. Nothing was changed.\n",
               stderr);
    return false;
}

int FinishMode(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    return code;
}

std::wstring PathFromStartFolder(const std::wstring& path, const std::wstring& startFolder)
{
    return ::PathIsRelativeW(path.c_str()) ? Tavrin::Platform::JoinPath(startFolder, path) : path;
}
