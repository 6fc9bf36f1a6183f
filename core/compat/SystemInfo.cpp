#include "core/compat/SystemInfo.h"

#include <atomic>
#include <cwchar>
#include <vector>

namespace Tavrin::Core {

namespace {

template <typename Function> Function LookUp(const wchar_t* module, const char* name)
{
    HMODULE handle = ::GetModuleHandleW(module);
    return handle ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(handle, name)))
                  : nullptr;
}

std::wstring Decimal(std::uint64_t value)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%llu", static_cast<unsigned long long>(value));
    return text;
}

std::atomic<FsRedirectionSwitch> replacedSwitch{nullptr};

BOOLEAN EnableRedirection(BOOLEAN enable)
{
    FsRedirectionSwitch function = replacedSwitch.load();
    if (!function)
        function = LookUp<FsRedirectionSwitch>(L"kernel32", "Wow64EnableWow64FsRedirection");
    return function ? function(enable) : 0;
}

} // namespace

WindowsVersionCode ClassifyVersionNumbers(const OsVersion& version)
{
    if (version.major == 10)
        return WindowsVersionCode::Windows10;
    if (version.major != 6)
        return WindowsVersionCode::NotEligible;
    switch (version.minor) {
    case 3:
        return WindowsVersionCode::Windows81;
    case 2:
        return WindowsVersionCode::Windows8;
    case 1:
        return version.servicePackMajor != 0 ? WindowsVersionCode::Windows7WithServicePack
                                             : WindowsVersionCode::Windows7WithoutServicePack;
    default:
        return WindowsVersionCode::NotEligible;
    }
}

WindowsVersionCode ClassifyWindowsVersion(bool& eligible)
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    auto rtlGetVersion = LookUp<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    if (!rtlGetVersion)
        return WindowsVersionCode::NotEligible;
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion(&info) != 0)
        return WindowsVersionCode::NotEligible;
    WindowsVersionCode code =
        ClassifyVersionNumbers({info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor});
    eligible = code != WindowsVersionCode::NotEligible;
    return code;
}

void CollectSystemInfo(SystemInfo& info, const DriveQueries& queries)
{
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    if (::GlobalMemoryStatusEx(&memory))
        info.totalPhysicalMemory = memory.ullTotalPhys;

    info.fixedDrives.clear();
    DWORD length = queries.getLogicalDriveStrings(0, nullptr);
    if (length == 0)
        return;
    std::vector<wchar_t> roots(length + 1, L'\0');
    DWORD written = queries.getLogicalDriveStrings(length, roots.data());
    if (written == 0 || written > length)
        return;
    for (const wchar_t* root = roots.data(); *root; root += std::wcslen(root) + 1) {
        if (queries.getDriveType(root) != DRIVE_FIXED)
            continue;
        ULARGE_INTEGER available = {}, total = {}, totalFree = {};
        if (!queries.getDiskFreeSpace(root, &available, &total, &totalFree))
            continue;
        info.fixedDrives.push_back({root, Decimal(totalFree.QuadPart), Decimal(total.QuadPart)});
    }
}

bool IsWow64()
{
#ifdef _WIN64
    return true;
#else
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = LookUp<IsWow64ProcessFunction>(L"kernel32", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
#endif
}

BOOLEAN DisableFsRedirection()
{
    return EnableRedirection(FALSE);
}

BOOLEAN RestoreFsRedirection()
{
    return EnableRedirection(TRUE);
}

FsRedirectionSwitch ReplaceFsRedirectionSwitch(FsRedirectionSwitch replacement)
{
    return replacedSwitch.exchange(replacement);
}

} // namespace Tavrin::Core
