#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "core/compat/SystemInfo.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Core;
using Tavrin::Test::BinFolder;
using Tavrin::Test::PrefixVersionNumbers;
using Tavrin::Test::RunProcess;
using Tavrin::Test::WindowsVersionOverride;

TEST(WindowsVersionTable, ClassifiesByMajorMinorAndServicePack)
{
    EXPECT_EQ(ClassifyVersionNumbers({10, 0, 0}), 1);
    EXPECT_EQ(ClassifyVersionNumbers({10, 7, 3}), 1); // minor and build are not looked at
    EXPECT_EQ(ClassifyVersionNumbers({6, 3, 0}), 2);
    EXPECT_EQ(ClassifyVersionNumbers({6, 2, 0}), 3);
    EXPECT_EQ(ClassifyVersionNumbers({6, 1, 1}), 4);
    EXPECT_EQ(ClassifyVersionNumbers({6, 1, 2}), 4);
    EXPECT_EQ(ClassifyVersionNumbers({6, 1, 0}), 5);
    EXPECT_EQ(ClassifyVersionNumbers({6, 0, 2}), 0);
    EXPECT_EQ(ClassifyVersionNumbers({5, 1, 3}), 0);
    EXPECT_EQ(ClassifyVersionNumbers({11, 0, 0}), 0);
}

namespace {

struct ProbeAnswer {
    int code = -1;
    int eligible = -1;
    int wow64 = -1;
};

ProbeAnswer RunProbe()
{
    auto result = RunProcess(L"\"" + BinFolder() + L"\\probe.exe\"", 30000);
    ProbeAnswer answer;
    std::sscanf(result.output.c_str(), "%d %d %d", &answer.code, &answer.eligible, &answer.wow64);
    return answer;
}

} // namespace

// Wine reports the version a prefix is configured for; each case runs the
// probe in a process of its own under that setting.
class WindowsVersionOnPrefix : public ::testing::TestWithParam<std::pair<const wchar_t*, int>> {};

TEST_P(WindowsVersionOnPrefix, MatchesTheTable)
{
    WindowsVersionOverride version(L"probe.exe", GetParam().first);
    ProbeAnswer answer = RunProbe();
    EXPECT_EQ(answer.code, GetParam().second);
    EXPECT_EQ(answer.eligible, GetParam().second != 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, WindowsVersionOnPrefix,
                         ::testing::Values(std::make_pair(L"win10", 1), std::make_pair(L"win81", 2),
                                           std::make_pair(L"win8", 3), std::make_pair(L"win7", 4),
                                           std::make_pair(L"vista", 0), std::make_pair(L"winxp64", 0)),
                         [](const auto& info) {
                             std::wstring name = info.param.first;
                             return std::string(name.begin(), name.end());
                         });

TEST(WindowsVersionOnPrefix, SevenWithoutServicePackIsFive)
{
    PrefixVersionNumbers seven(6, 1, 7600, L"", 0);
    ProbeAnswer answer = RunProbe();
    EXPECT_EQ(answer.code, 5);
    EXPECT_EQ(answer.eligible, 1);
}

TEST(WindowsVersionOnPrefix, TenIsOneWhateverTheBuild)
{
    PrefixVersionNumbers ten(10, 0, 99999, L"", 0);
    EXPECT_EQ(RunProbe().code, 1);
}

TEST(Wow64Probe, WindowsIsSixtyFourBitForEveryBuildOfTheProgram)
{
    EXPECT_TRUE(IsWow64());
    EXPECT_EQ(RunProbe().wow64, 1);
}

TEST(SystemInfoProbe, MeasuresMemoryAndListsTheSystemDrive)
{
    SystemInfo info;
    CollectSystemInfo(info);
    EXPECT_GT(info.totalPhysicalMemory, 0u);
    ASSERT_FALSE(info.fixedDrives.empty());
    EXPECT_EQ(info.fixedDrives.front().root, L"C:\\");
    for (const auto& drive : info.fixedDrives) {
        EXPECT_EQ(drive.freeBytes.find_first_not_of(L"0123456789"), std::wstring::npos);
        EXPECT_EQ(drive.totalBytes.find_first_not_of(L"0123456789"), std::wstring::npos);
        EXPECT_GT(std::stoull(drive.totalBytes), 0u);
    }
}

namespace {

// A made-up machine: C: fixed, D: optical, E: fixed but locked, F: network,
// G: fixed. Space of a drive is its letter's position times 1000.
DWORD WINAPI FakeDriveStrings(DWORD length, LPWSTR buffer)
{
    static const wchar_t roots[] = L"C:\\\0D:\\\0E:\\\0F:\\\0G:\\\0";
    const DWORD needed = sizeof(roots) / sizeof(wchar_t);
    if (length < needed)
        return needed;
    std::copy(roots, roots + needed, buffer);
    return needed - 1;
}

UINT WINAPI FakeDriveType(LPCWSTR root)
{
    static const std::map<wchar_t, UINT> types = {{L'C', DRIVE_FIXED},
                                                  {L'D', DRIVE_CDROM},
                                                  {L'E', DRIVE_FIXED},
                                                  {L'F', DRIVE_REMOTE},
                                                  {L'G', DRIVE_FIXED}};
    return types.at(root[0]);
}

BOOL WINAPI FakeSpace(LPCWSTR root, PULARGE_INTEGER available, PULARGE_INTEGER total,
                      PULARGE_INTEGER totalFree)
{
    if (root[0] == L'E')
        return FALSE;
    ULONGLONG base = static_cast<ULONGLONG>(root[0] - L'A' + 1) * 1000;
    available->QuadPart = base / 2;
    totalFree->QuadPart = base;
    total->QuadPart = base * 10;
    return TRUE;
}

DWORD WINAPI NoDriveStrings(DWORD, LPWSTR)
{
    return 0;
}

} // namespace

TEST(SystemInfoProbe, KeepsOnlyFixedDrivesWhoseSpaceCanBeRead)
{
    SystemInfo info;
    info.fixedDrives.push_back({L"X:\\", L"1", L"2"}); // stale entry from an earlier run
    DriveQueries fake;
    fake.getLogicalDriveStrings = FakeDriveStrings;
    fake.getDriveType = FakeDriveType;
    fake.getDiskFreeSpace = FakeSpace;
    CollectSystemInfo(info, fake);

    ASSERT_EQ(info.fixedDrives.size(), 2u);
    EXPECT_EQ(info.fixedDrives.front().root, L"C:\\");
    EXPECT_EQ(info.fixedDrives.front().freeBytes, L"3000"); // total free, not the caller's share
    EXPECT_EQ(info.fixedDrives.front().totalBytes, L"30000");
    EXPECT_EQ(info.fixedDrives.back().root, L"G:\\");
    EXPECT_EQ(info.fixedDrives.back().totalBytes, L"70000");
}

TEST(SystemInfoProbe, FailedDriveListKeepsMemoryAndEmptiesTheDrives)
{
    SystemInfo info;
    info.fixedDrives.push_back({L"X:\\", L"1", L"2"});
    DriveQueries broken;
    broken.getLogicalDriveStrings = NoDriveStrings;
    CollectSystemInfo(info, broken);
    EXPECT_TRUE(info.fixedDrives.empty());
    EXPECT_GT(info.totalPhysicalMemory, 0u);
}

namespace {

// The machine field of a program file's header: IMAGE_FILE_MACHINE_I386 or
// IMAGE_FILE_MACHINE_AMD64; 0 when the file is no program.
WORD MachineOf(const std::wstring& path)
{
    const std::string bytes = Tavrin::Test::ReadFileBytes(path);
    if (bytes.size() < 0x40)
        return 0;
    DWORD header = 0;
    std::memcpy(&header, bytes.data() + 0x3c, sizeof(header));
    WORD machine = 0;
    if (header > bytes.size() - 6 || bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0)
        return 0;
    std::memcpy(&machine, bytes.data() + header + 4, sizeof(machine));
    return machine;
}

} // namespace

// The test prefix is 64-bit Windows: its native system folder holds 64-bit
// programs, and a 32-bit process sees its own folder there until it turns
// the redirection off. A 64-bit process has nothing to switch; the calls must
// still be harmless and balanced.
TEST(FsRedirection, TurningItOffReachesTheNativeSystemFolder)
{
    wchar_t system[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring kernel32 = std::wstring(system) + L"\\kernel32.dll";
    const WORD own = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    EXPECT_EQ(MachineOf(kernel32), own);
    const BOOLEAN turnedOff = DisableFsRedirection();
    const WORD native = MachineOf(kernel32);
    const BOOLEAN turnedOn = RestoreFsRedirection();
    EXPECT_EQ(native, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(MachineOf(kernel32), own);
    if (own == IMAGE_FILE_MACHINE_I386) {
        EXPECT_TRUE(turnedOff);
        EXPECT_TRUE(turnedOn);
    }
}
