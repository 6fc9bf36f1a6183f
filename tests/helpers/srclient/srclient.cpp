// A restore point that takes as long as a test wants. Read from the
// environment of the process that calls it, on every call:
//   TAVRIN_TEST_RESTORE_POINT_MS   unset: no restore point, at once (as
//                                  Wine's own srclient.dll answers); a number:
//                                  a begin takes that many milliseconds, then
//                                  succeeds with sequence number 7;
//   TAVRIN_TEST_RESTORE_POINT_LOG  a file each call appends a line to:
//                                  "begin <description>" when it starts,
//                                  "begun 7" when a begin is over, "end <n>".
#include <windows.h>
#include <srrestoreptapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

void Log(const std::wstring& line)
{
    const std::wstring path = Variable(L"TAVRIN_TEST_RESTORE_POINT_LOG");
    if (path.empty())
        return;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::wstring text = line + L"\n";
    char bytes[512] = {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes,
                                           sizeof(bytes), nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace

extern "C" BOOL WINAPI SRSetRestorePointW(PRESTOREPOINTINFOW info, PSTATEMGRSTATUS status)
{
    if (!info || !status)
        return FALSE;
    const std::wstring delay = Variable(L"TAVRIN_TEST_RESTORE_POINT_MS");
    if (delay.empty()) {
        status->nStatus = ERROR_SERVICE_DISABLED;
        status->llSequenceNumber = 0;
        return FALSE;
    }
    if (info->dwEventType == END_SYSTEM_CHANGE) {
        Log(L"end " + std::to_wstring(info->llSequenceNumber));
        status->nStatus = ERROR_SUCCESS;
        status->llSequenceNumber = info->llSequenceNumber;
        return TRUE;
    }
    Log(L"begin " + std::wstring(info->szDescription));
    ::Sleep(static_cast<DWORD>(std::wcstoul(delay.c_str(), nullptr, 10)));
    Log(L"begun 7");
    status->nStatus = ERROR_SUCCESS;
    status->llSequenceNumber = 7;
    return TRUE;
}
