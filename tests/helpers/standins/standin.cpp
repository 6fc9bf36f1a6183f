// A stand-in for a system program. On start it appends "start <command line>"
// to the file named by TAVRIN_STANDIN_LOG (and its own full path to the file
// named by TAVRIN_STANDIN_IMAGES, so that a test sees which copy ran), waits
// TAVRIN_STANDIN_DELAY_MS milliseconds (default 0), then appends "end" and
// exits with code 0.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

void Append(const std::wstring& line, const wchar_t* logVariable = L"TAVRIN_STANDIN_LOG")
{
    wchar_t path[MAX_PATH];
    if (!::GetEnvironmentVariableW(logVariable, path, MAX_PATH))
        return;
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::wstring text = line + L"\n";
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                          nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t image[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, image, MAX_PATH);
    Append(image, L"TAVRIN_STANDIN_IMAGES");
    Append(std::wstring(L"start ") + ::GetCommandLineW());
    wchar_t delay[32];
    if (::GetEnvironmentVariableW(L"TAVRIN_STANDIN_DELAY_MS", delay, 32))
        ::Sleep(static_cast<DWORD>(std::wcstoul(delay, nullptr, 10)));
    Append(L"end");
    return 0;
}
