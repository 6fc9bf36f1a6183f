// Registered as a handler (of web addresses, of programs) by a test, with a
// first argument "/log:<file>": the desktop's shell, which starts it for an
// elevated program, does not have the test's environment. Appends one line
// per start, "<argument 2>|<argument 3>|...", as UTF-8 to that file, and
// the file name of the program that started it to the same file name with
// ".parents" added; then exits.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                              nullptr, nullptr);
    return bytes;
}

void Append(const std::wstring& path, const std::wstring& line)
{
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string bytes = Utf8(line);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

// The file name of the program that started this one; "?" when it has
// ended or cannot be found.
std::wstring ParentName()
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return L"?";
    DWORD parent = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == ::GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    std::wstring name = L"?";
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (parent && entry.th32ProcessID == parent)
            name = entry.szExeFile;
    ::CloseHandle(snapshot);
    return name;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const int first = 2;
    std::wstring log;
    if (arguments && count > 1 && std::wstring(arguments[1]).rfind(L"/log:", 0) == 0)
        log = arguments[1] + 5;
    std::wstring line;
    for (int index = first; arguments && index < count; ++index)
        line += (index > first ? L"|" : L"") + std::wstring(arguments[index]);
    ::LocalFree(arguments);
    if (log.empty())
        return 1;
    Append(log + L".parents", ParentName() + L"\n");
    Append(log, line + L"\n");
    return 0;
}
