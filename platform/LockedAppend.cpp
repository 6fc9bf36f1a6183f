#include "platform/LockedAppend.h"

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

namespace {

// The whole file and any length it may grow to.
constexpr DWORD kWholeFile = MAXDWORD;

DWORD WriteAll(HANDLE file, const std::string& bytes)
{
    LARGE_INTEGER end = {};
    if (!::SetFilePointerEx(file, end, nullptr, FILE_END))
        return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return ::GetLastError();
    if (written != bytes.size())
        return ERROR_WRITE_FAULT;
    return ::FlushFileBuffers(file) ? ERROR_SUCCESS : ::GetLastError();
}

} // namespace

DWORD AppendUnderLock(const std::wstring& path, std::string_view header, std::string_view row,
                      const AppendWait& wait)
{
    // Others open it too while this one holds the lock; the lock, not the
    // sharing, keeps the rows apart.
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ::GetLastError();
    // A blocking LockFileEx waits without end; asked again and again, the
    // wait has its bound.
    const DWORD start = ::GetTickCount();
    for (;;) {
        OVERLAPPED whole = {};
        if (::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeFile,
                         kWholeFile, &whole))
            break;
        const DWORD error = ::GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
            return error;
        if (::GetTickCount() - start >= wait.totalMs)
            return WAIT_TIMEOUT;
        ::Sleep(wait.stepMs);
    }
    LARGE_INTEGER size = {};
    DWORD error = ::GetFileSizeEx(file.Get(), &size) ? ERROR_SUCCESS : ::GetLastError();
    if (error == ERROR_SUCCESS) {
        std::string bytes;
        if (size.QuadPart == 0)
            bytes.assign(header);
        bytes.append(row);
        error = WriteAll(file.Get(), bytes);
    }
    OVERLAPPED whole = {};
    ::UnlockFileEx(file.Get(), 0, kWholeFile, kWholeFile, &whole);
    return error;
}

} // namespace Tavrin::Platform
