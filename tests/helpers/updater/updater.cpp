// Stands in for the vendor's updater in the update-mode tests: it writes the
// parameters it was started with, and the path it runs from, to the file
// named by TAVRIN_UPDATER_RECORD, so that a test sees what the program ran.
#include <windows.h>

#include <string>

namespace {

// The command line without the program's own name.
std::wstring Parameters()
{
    const wchar_t* line = ::GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"')
            ++line;
        if (*line)
            ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

std::string Utf8(const std::wstring& text)
{
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                              nullptr, nullptr);
    return result;
}

} // namespace

int wmain()
{
    wchar_t record[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"TAVRIN_UPDATER_RECORD", record, MAX_PATH))
        return 2;
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string text = "params=" + Utf8(Parameters()) + "\npath=" + Utf8(self) + "\n";
    // Written to a side file and moved into place, so a reader never sees
    // half a record.
    std::wstring partial = std::wstring(record) + L".partial";
    HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return ::MoveFileExW(partial.c_str(), record, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
