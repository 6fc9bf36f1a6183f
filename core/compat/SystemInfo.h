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

// The classification of the running Windows. The numbers are stored in
// "./results.saved" and must not change.
enum WindowsVersionCode : int {
    NotEligible = 0,
    Windows10 = 1,
    Windows81 = 2,
    Windows8 = 3,
    Windows7WithServicePack = 4,
    Windows7WithoutServicePack = 5,
};

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

// The switch the two calls above throw: Wow64EnableWow64FsRedirection, looked
// up in kernel32 when none was put in its place. It does nothing in a 64-bit
// process, so tests put a recorder there to see when it is thrown. Returns the
// switch it replaces (null: the looked-up one).
using FsRedirectionSwitch = BOOLEAN(WINAPI*)(BOOLEAN enable);
FsRedirectionSwitch ReplaceFsRedirectionSwitch(FsRedirectionSwitch replacement);

} // namespace Tavrin::Core
