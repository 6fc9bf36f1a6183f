#pragma once
#include <windows.h>

#include <cstdint>
#include <list>
#include <string>

namespace Tavrin::Core {

struct DriveSpace {
    std::wstring root;       // "C:\"
    std::wstring freeBytes;  // decimal, no separators
    std::wstring totalBytes; // decimal, no separators
};

struct SystemInfo {
    std::list<DriveSpace> fixedDrives;
    std::uint64_t totalPhysicalMemory = 0;
};

// 0 not eligible or unknown, 1 Windows 10, 2 Windows 8.1, 3 Windows 8,
// 4 Windows 7 with a service pack, 5 Windows 7 without.
using WindowsVersionCode = int;

// The numbers RtlGetVersion reports that the classification looks at.
struct OsVersion {
    DWORD major = 0;
    DWORD minor = 0;
    WORD servicePackMajor = 0;
};

// Pure table lookup; 0 when no row matches.
WindowsVersionCode ClassifyVersionNumbers(const OsVersion& version);

// Classifies the running Windows through RtlGetVersion. The eligible flag is
// set for codes 1 to 5, cleared for any other answer, and left alone when the
// version cannot be read at all.
WindowsVersionCode ClassifyWindowsVersion(bool& eligible);

// The drive functions CollectSystemInfo uses, replaceable so that failures the
// host cannot produce on demand can still be exercised.
struct DriveQueries {
    UINT(WINAPI* getDriveType)(LPCWSTR root) = ::GetDriveTypeW;
    BOOL(WINAPI* getDiskFreeSpace)
    (LPCWSTR root, PULARGE_INTEGER available, PULARGE_INTEGER total,
     PULARGE_INTEGER totalFree) = ::GetDiskFreeSpaceExW;
    DWORD(WINAPI* getLogicalDriveStrings)(DWORD length, LPWSTR buffer) = ::GetLogicalDriveStringsW;
};

// Memory first, then the fixed drives in the order the system lists them.
void CollectSystemInfo(SystemInfo& info, const DriveQueries& queries = DriveQueries());

// True when Windows itself is 64-bit. The shipped 32-bit program asks
// IsWow64Process; a 64-bit build can only run on 64-bit Windows.
bool IsWow64();

// Wow64EnableWow64FsRedirection(FALSE / TRUE); 0 where the function is missing.
BOOLEAN DisableFsRedirection();
BOOLEAN RestoreFsRedirection();

} // namespace Tavrin::Core
