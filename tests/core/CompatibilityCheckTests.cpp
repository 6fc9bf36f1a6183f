#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/compat/CompatibilityResult.h"
#include "core/compat/DirectXVersion.h"
#include "core/compat/WmiQuery.h"
#include "platform/RegKey.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Core;
using namespace Tavrin::Core::WindowsUpdate;
using Tavrin::Platform::RegKey;
using Tavrin::Test::BinFolder;
using Tavrin::Test::DeleteTree;
using Tavrin::Test::TempFolder;

namespace {

constexpr std::uint64_t GiB = 1073741824ull;

int DirectXFor(const std::map<std::wstring, std::uint64_t>& files)
{
    return DetectDirectXVersion([&files](const std::wstring& name) -> std::optional<std::uint64_t> {
        auto found = files.find(name);
        if (found == files.end())
            return std::nullopt;
        return found->second;
    });
}

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

bool HasVersion(const std::wstring& path)
{
    DWORD ignored = 0;
    return ::GetFileVersionInfoSizeW(path.c_str(), &ignored) != 0;
}

// The maximum speed Windows reports for the first processor, in MHz.
ULONG FirstProcessorMaxMhz()
{
    struct PowerInformation {
        ULONG Number, MaxMhz, CurrentMhz, MhzLimit, MaxIdleState, CurrentIdleState;
    };
    using Function = LONG(WINAPI*)(int, void*, ULONG, void*, ULONG);
    auto query = reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtPowerInformation")));
    SYSTEM_INFO system = {};
    ::GetSystemInfo(&system);
    std::vector<PowerInformation> info(system.dwNumberOfProcessors);
    const int processorInformation = 11;
    if (!query || query(processorInformation, nullptr, 0, info.data(),
                        static_cast<ULONG>(info.size() * sizeof(PowerInformation))) != 0)
        return 0;
    return info[0].MaxMhz;
}

} // namespace

TEST(RequirementThresholds, MemoryOn64BitNeedsMoreThan1Point9GiB)
{
    EXPECT_TRUE(MemoryRequirementMet(2 * GiB, 1));
    EXPECT_TRUE(MemoryRequirementMet(2040109466ull, 1));
    EXPECT_FALSE(MemoryRequirementMet(2040109465ull, 1));
    EXPECT_FALSE(MemoryRequirementMet(0, 1));
}

TEST(RequirementThresholds, MemoryOn32BitNeedsAtLeast0Point9GiB)
{
    EXPECT_TRUE(MemoryRequirementMet(GiB, 0));
    EXPECT_FALSE(MemoryRequirementMet(966367641ull, 0));
    EXPECT_TRUE(MemoryRequirementMet(966367642ull, 0));
}

TEST(RequirementThresholds, DiskNeedsMoreThan15Point9Or31Point9GiBFree)
{
    EXPECT_FALSE(DiskRequirementMet(34252364185ull, 1));
    EXPECT_TRUE(DiskRequirementMet(34252364186ull, 1));
    EXPECT_FALSE(DiskRequirementMet(17072495001ull, 0));
    EXPECT_TRUE(DiskRequirementMet(17072495002ull, 0));
    EXPECT_TRUE(DiskRequirementMet(20 * GiB, 0));
    EXPECT_FALSE(DiskRequirementMet(20 * GiB, 1));
}

TEST(RequirementThresholds, DirectXNeedsVersion9)
{
    EXPECT_FALSE(DirectXRequirementMet(8));
    EXPECT_TRUE(DirectXRequirementMet(9));
    EXPECT_TRUE(DirectXRequirementMet(12));
}

TEST(RequirementThresholds, DisplayNeedsMoreThan800By600OrNoDataAtAll)
{
    EXPECT_FALSE(DisplayRequirementMet(800, 600));
    EXPECT_TRUE(DisplayRequirementMet(801, 601));
    EXPECT_FALSE(DisplayRequirementMet(1024, 600));
    EXPECT_FALSE(DisplayRequirementMet(800, 768));
    EXPECT_TRUE(DisplayRequirementMet(0, 0));
    EXPECT_FALSE(DisplayRequirementMet(0, 768));
    EXPECT_FALSE(DisplayRequirementMet(1024, 0));
}

TEST(RequirementThresholds, ProcessorNeedsMoreThan1000MHz)
{
    EXPECT_FALSE(ProcessorRequirementMet(1000));
    EXPECT_TRUE(ProcessorRequirementMet(1001));
    EXPECT_FALSE(ProcessorRequirementMet(-5));
}

TEST(SystemDrive, TheFirstDriveNamedExactlyCColonBackslashCounts)
{
    COMPATIBILITY_RESULT result;
    result.is64Bit = 1;
    result.systemInfo.fixedDrives = {{L"D:\\", L"99999999999", L"99999999999"},
                                     {L"C:\\", L"34252364186", L"107374182400"},
                                     {L"C:\\", L"1", L"2"}};
    ApplySystemDrive(result);
    EXPECT_EQ(result.systemDriveFree, 34252364186ull);
    EXPECT_EQ(result.systemDriveSize, 107374182400ull);
    EXPECT_TRUE(result.diskOk);
}

TEST(SystemDrive, WithoutCTheValuesStayAsTheyWere)
{
    COMPATIBILITY_RESULT result;
    result.systemDriveFree = 7;
    result.systemDriveSize = 8;
    result.diskOk = true;
    result.systemInfo.fixedDrives = {{L"c:\\", L"99999999999", L"99999999999"},
                                     {L"C:", L"99999999999", L"9"}};
    ApplySystemDrive(result);
    EXPECT_EQ(result.systemDriveFree, 7u);
    EXPECT_EQ(result.systemDriveSize, 8u);
    EXPECT_TRUE(result.diskOk);

    COMPATIBILITY_RESULT fresh;
    ApplySystemDrive(fresh);
    EXPECT_FALSE(fresh.diskOk);
}

TEST(SystemDrive, TextThatIsNoNumberCountsAsZero)
{
    COMPATIBILITY_RESULT result;
    result.diskOk = true;
    result.systemInfo.fixedDrives = {{L"C:\\", L"lots", L""}};
    ApplySystemDrive(result);
    EXPECT_EQ(result.systemDriveFree, 0u);
    EXPECT_EQ(result.systemDriveSize, 0u);
    EXPECT_FALSE(result.diskOk);
}

TEST(DirectXTable, NothingFoundIsZero)
{
    EXPECT_EQ(DirectXFor({}), 0);
}

TEST(DirectXTable, DirectDrawVersionsClimbTheEarlyRows)
{
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 2, 0, 94)}}), 0);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 2, 0, 95)}}), 1);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 3, 0, 1096)}}), 2);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 4, 0, 68)}}), 3);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 5, 0, 155)}}), 5);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 6, 0, 318)}}), 6);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 7, 0, 699)}}), 6);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 7, 0, 700)}}), 7);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 8, 0, 399)}}), 7);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(4, 8, 0, 400)}}), 8);
}

TEST(DirectXTable, OtherEarlyFilesHaveTheirOwnBounds)
{
    EXPECT_EQ(DirectXFor({{L"\\d3drg8x.dll", FileVersion(4, 4, 0, 69)}}), 0);
    EXPECT_EQ(DirectXFor({{L"\\d3drg8x.dll", FileVersion(4, 4, 0, 70)}}), 3);
    EXPECT_EQ(DirectXFor({{L"\\dplayx.dll", FileVersion(4, 6, 3, 518)}}), 6);
    EXPECT_EQ(DirectXFor({{L"\\dinput.dll", FileVersion(4, 7, 0, 716)}}), 7);
    EXPECT_EQ(DirectXFor({{L"\\dinput.dll", FileVersion(4, 7, 0, 715)}}), 0);
    EXPECT_EQ(DirectXFor({{L"\\mpg2splt.ax", FileVersion(6, 3, 1, 885)}}), 8);
    EXPECT_EQ(DirectXFor({{L"\\mpg2splt.ax", FileVersion(6, 3, 1, 884)}}), 0);
}

TEST(DirectXTable, DirectX8RowsCompareByTheFirstVersionPart)
{
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(5, 1, 2258, 400)}}), 8);
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(5, 1, 2258, 399)}}), 7);
    // Neither 4.x nor 5.x: only the plain "at least" rows match.
    EXPECT_EQ(DirectXFor({{L"\\ddraw.dll", FileVersion(6, 0, 0, 0)}}), 7);
    EXPECT_EQ(DirectXFor({{L"\\d3d8.dll", FileVersion(4, 8, 1, 881)}}), 8);
    EXPECT_EQ(DirectXFor({{L"\\d3d8.dll", FileVersion(4, 8, 1, 880)}}), 0);
    EXPECT_EQ(DirectXFor({{L"\\d3d8.dll", FileVersion(5, 1, 2600, 881)}}), 8);
    EXPECT_EQ(DirectXFor({{L"\\d3d8.dll", FileVersion(5, 1, 2600, 880)}}), 0);
    // A 4.x version far above the 5.x bound still compares against 4.8.1.881.
    EXPECT_EQ(DirectXFor({{L"\\d3d8.dll", FileVersion(4, 8, 0, 9999)}}), 0);
    EXPECT_EQ(DirectXFor({{L"\\dpnet.dll", FileVersion(4, 9, 0, 134)}}), 8);
    EXPECT_EQ(DirectXFor({{L"\\dpnet.dll", FileVersion(5, 2, 3677, 133)}}), 0);
    EXPECT_EQ(DirectXFor({{L"\\dpnet.dll", FileVersion(5, 2, 3677, 134)}}), 8);
    EXPECT_EQ(DirectXFor({{L"\\dpnet.dll", FileVersion(7, 0, 0, 0)}}), 0);
}

TEST(DirectXTable, LaterRuntimesNeedOnlyAVersionAndTheLastMatchWins)
{
    EXPECT_EQ(DirectXFor({{L"\\d3d9.dll", 0}}), 9);
    EXPECT_EQ(DirectXFor({{L"\\d3d9.dll", 0}, {L"\\ddraw.dll", FileVersion(4, 8, 0, 400)}}), 9);
    EXPECT_EQ(DirectXFor({{L"\\d3d10.dll", 1}}), 10);
    EXPECT_EQ(DirectXFor({{L"\\d3d10_1.dll", 1}}), 10);
    EXPECT_EQ(DirectXFor({{L"\\d3d11.dll", 1}, {L"\\d3d9.dll", 1}}), 11);
    EXPECT_EQ(DirectXFor({{L"\\d3d12.dll", 1}}), 12);
    EXPECT_EQ(DirectXFor(
                  {{L"\\ddraw.dll", FileVersion(4, 2, 0, 95)}, {L"\\dinput.dll", FileVersion(4, 7, 0, 716)}}),
              7);
}

TEST(DirectXTable, EachFileIsReadOnceHoweverManyRowsTestIt)
{
    // A system with only DirectDraw 4.7: every ddraw.dll row is tested, and
    // every other file is asked for and missing.
    std::map<std::wstring, int> reads;
    const int version =
        DetectDirectXVersion([&reads](const std::wstring& name) -> std::optional<std::uint64_t> {
            ++reads[name];
            if (name == L"\\ddraw.dll")
                return FileVersion(4, 7, 0, 700);
            return std::nullopt;
        });
    EXPECT_EQ(version, 7);
    EXPECT_EQ(reads.size(), 12u);
    for (const auto& [name, count] : reads)
        EXPECT_EQ(count, 1) << std::string(name.begin(), name.end());
}

TEST(DirectXFiles, VersionsComeFromTheFilesVersionResource)
{
    EXPECT_EQ(ReadFileVersion(BinFolder() + L"\\versioned.dll"), FileVersion(4, 8, 0, 400));
    TempFolder folder;
    Tavrin::Test::WriteFileBytes(folder.File(L"plain.dll"), "no version here");
    EXPECT_EQ(ReadFileVersion(folder.File(L"plain.dll")), std::nullopt);
    EXPECT_EQ(ReadFileVersion(folder.File(L"absent.dll")), std::nullopt);
}

namespace {

// Wine hands out its own modules for the names of system modules, whatever
// folder is asked for, unless a program is told to prefer files on disk.
class NativeModulesFor {
public:
    explicit NativeModulesFor(const std::wstring& exeName) : m_key(L"Software\\Wine\\AppDefaults\\" + exeName)
    {
        RegKey overrides;
        overrides.Create(HKEY_CURRENT_USER, m_key + L"\\DllOverrides", KEY_WRITE);
        for (const wchar_t* module : {L"ddraw", L"d3d8", L"d3d9", L"d3d10", L"d3d10_1", L"d3d11", L"d3d12",
                                      L"dinput", L"dplayx", L"dpnet", L"d3drg8x"})
            overrides.SetString(module, L"native");
    }
    ~NativeModulesFor() { DeleteTree(HKEY_CURRENT_USER, m_key); }
    NativeModulesFor(const NativeModulesFor&) = delete;
    NativeModulesFor& operator=(const NativeModulesFor&) = delete;

private:
    std::wstring m_key;
};

int DirectXOfFolder(const std::wstring& folder)
{
    auto run =
        Tavrin::Test::RunProcess(L"\"" + BinFolder() + L"\\dxversion.exe\" \"" + folder + L"\"", 30000);
    return run.exitCode == 0 ? std::atoi(run.output.c_str()) : -1;
}

} // namespace

TEST(DirectXFiles, AFolderWhoseNewestFileIsDirectDraw4Point8YieldsEight)
{
    NativeModulesFor native(L"dxversion.exe");
    TempFolder folder;
    const std::wstring module = BinFolder() + L"\\versioned.dll";
    EXPECT_EQ(DirectXOfFolder(folder.Path()), 0);
    ASSERT_TRUE(::CopyFileW(module.c_str(), folder.File(L"d3d8.dll").c_str(), FALSE));
    EXPECT_EQ(DirectXOfFolder(folder.Path()), 0); // 4.8.0.400 is below 4.8.1.881
    ASSERT_TRUE(::CopyFileW(module.c_str(), folder.File(L"ddraw.dll").c_str(), FALSE));
    EXPECT_EQ(DirectXOfFolder(folder.Path()), 8);
    EXPECT_FALSE(DirectXRequirementMet(8));
    ASSERT_TRUE(::CopyFileW(module.c_str(), folder.File(L"d3d9.dll").c_str(), FALSE));
    EXPECT_EQ(DirectXOfFolder(folder.Path()), 9);
}

TEST(DirectXFiles, TheSystemFolderOfThePrefixIsJudgedByItsNewestRuntime)
{
    const std::wstring system = SystemFolder();
    int expected = 0;
    const std::pair<const wchar_t*, int> runtimes[] = {{L"\\d3d9.dll", 9},
                                                       {L"\\d3d10.dll", 10},
                                                       {L"\\d3d10_1.dll", 10},
                                                       {L"\\d3d11.dll", 11},
                                                       {L"\\d3d12.dll", 12}};
    for (const auto& [file, version] : runtimes) {
        if (HasVersion(system + file))
            expected = version;
    }
    ASSERT_GE(expected, 9) << "Wine ships Direct3D 9 and later";
    EXPECT_EQ(DetectDirectXVersion(), expected);
}

TEST(WmiQueries, AQueryThatFailsLeavesTheValuesAsTheyWere)
{
    COMPATIBILITY_RESULT result;
    result.screenWidth = 1234;
    result.screenHeight = 767;
    result.displayOk = true;
    result.processorSpeed = 999;
    EXPECT_FALSE(QueryDisplay(result, L"THIS IS NOT WQL"));
    EXPECT_FALSE(QueryProcessor(result, L"SELECT * FROM"));
    // A class with no objects visits nothing.
    QueryProcessor(result, L"SELECT * FROM Win32_NoSuchClassAtAll");
    EXPECT_EQ(result.screenWidth, 1234);
    EXPECT_EQ(result.screenHeight, 767);
    EXPECT_TRUE(result.displayOk);
    EXPECT_EQ(result.processorSpeed, 999);
    EXPECT_FALSE(result.processorOk);
}

TEST(WmiQueries, MonitorsWithoutSizePropertiesKeepTheSizeButAreJudgedAgain)
{
    // Wine's Win32_DesktopMonitor lists the monitor ("Generic Non-PnP
    // Monitor") without ScreenWidth and ScreenHeight: the size stays as it
    // was and every monitor returned judges it again.
    COMPATIBILITY_RESULT result;
    result.screenWidth = 1024;
    result.screenHeight = 600;
    result.displayOk = true;
    ASSERT_TRUE(QueryDisplay(result));
    EXPECT_EQ(result.screenWidth, 1024);
    EXPECT_EQ(result.screenHeight, 600);
    EXPECT_FALSE(result.displayOk);
}

TEST(WmiQueries, NoMonitorDataCountsAsZeroByZeroWhichPasses)
{
    const wchar_t* const noMonitors[] = {
        L"THIS IS NOT WQL",                                                   // the query fails
        L"SELECT * FROM Win32_DesktopMonitor WHERE Name = 'no such monitor'", // it returns nothing
    };
    for (const wchar_t* query : noMonitors) {
        COMPATIBILITY_RESULT result;
        QueryDisplay(result, query);
        EXPECT_EQ(result.screenWidth, 0) << query;
        EXPECT_EQ(result.screenHeight, 0) << query;
        EXPECT_TRUE(result.displayOk) << query;
    }
}

namespace {

struct SecurityCall {
    int calls = 0;
    LONG authenticationServices = 0;
    DWORD authenticationLevel = 0, impersonationLevel = 0, capabilities = 0;
} securityCall;

HRESULT WINAPI RecordSecurity(PSECURITY_DESCRIPTOR, LONG services, SOLE_AUTHENTICATION_SERVICE*, void*,
                              DWORD authenticationLevel, DWORD impersonationLevel, void*, DWORD capabilities,
                              void*)
{
    ++securityCall.calls;
    securityCall.authenticationServices = services;
    securityCall.authenticationLevel = authenticationLevel;
    securityCall.impersonationLevel = impersonationLevel;
    securityCall.capabilities = capabilities;
    return S_OK;
}

} // namespace

TEST(WmiQueries, TheProcessSecurityAsksForPacketAuthenticationAndImpersonation)
{
    ASSERT_TRUE(ForEachWmiObject(
        kProcessorQuery, [](IWbemClassObject&) {}, RecordSecurity));
    EXPECT_EQ(securityCall.calls, 1);
    EXPECT_EQ(securityCall.authenticationServices, -1);
    EXPECT_EQ(securityCall.authenticationLevel, 4u); // RPC_C_AUTHN_LEVEL_PKT
    EXPECT_EQ(securityCall.impersonationLevel, 3u);  // RPC_C_IMP_LEVEL_IMPERSONATE
    EXPECT_EQ(securityCall.capabilities, 0u);        // EOAC_NONE
}

TEST(WmiQueries, TheProcessorQueryReportsTheMaximumClockSpeed)
{
    COMPATIBILITY_RESULT result;
    ASSERT_TRUE(QueryProcessor(result));
    EXPECT_EQ(result.processorSpeed, static_cast<int>(FirstProcessorMaxMhz()));
    EXPECT_EQ(result.processorOk, result.processorSpeed > 1000);
}

TEST(WmiQueries, QueriesWorkFromAThreadAlreadyInASingleThreadedApartment)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    COMPATIBILITY_RESULT result;
    const bool ran = QueryProcessor(result);
    // The thread's own apartment is left in place.
    const HRESULT again = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ::CoUninitialize();
    ::CoUninitialize();
    EXPECT_TRUE(ran);
    EXPECT_EQ(again, S_FALSE);
    EXPECT_EQ(result.processorSpeed, static_cast<int>(FirstProcessorMaxMhz()));
}

// One application and one association of our own for the check to find,
// removed when the fixture goes.
class CompatibilityCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, uninstall, KEY_WRITE), ERROR_SUCCESS);
        key.SetString(L"DisplayName", L"Check App");
        RegKey user;
        ASSERT_EQ(user.Create(HKEY_CURRENT_USER, choice + L"\\UserChoice", KEY_WRITE), ERROR_SUCCESS);
        user.SetString(L"Progid", tag);
        RegKey command;
        ASSERT_EQ(command.Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + tag + L"\\shell\\open\\command",
                                 KEY_WRITE | KEY_WOW64_64KEY),
                  ERROR_SUCCESS);
        command.SetString(L"", L"calendar.exe %1");
    }
    void TearDown() override
    {
        DeleteTree(HKEY_CURRENT_USER, uninstall);
        DeleteTree(HKEY_CURRENT_USER, choice);
        DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + tag, KEY_WOW64_64KEY);
    }

    const std::wstring tag = L"TavrinCheck" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + tag;
    const std::wstring choice = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.ICS";
};

// Everything a result holds that is written to a file, as the files' bytes.
std::string SavedBytesOf(const COMPATIBILITY_RESULT& result)
{
    TempFolder folder;
    const std::wstring base = folder.Path() + L"\\";
    EXPECT_TRUE(SaveCompatibilityResult(result, base + L"results.saved"));
    EXPECT_TRUE(SaveInstalledApps(result.installedApps, base + L"applications.saved"));
    EXPECT_TRUE(result.drivers.SaveDrivers(base + L"drivers.saved"));
    EXPECT_TRUE(result.extensions.SaveAssociations(base + L"extensions.saved"));
    std::string bytes;
    for (const wchar_t* name :
         {L"results.saved", L"applications.saved", L"drivers.saved", L"extensions.saved"})
        bytes += Tavrin::Test::ReadFileBytes(base + name) + '\n';
    return bytes;
}

TEST_F(CompatibilityCheck, ConcurrentProbesGiveTheSequentialResult)
{
    COMPATIBILITY_RESULT sequential, concurrent;
    RunCompatibilityCheck(sequential, ProbeSchedule::Sequential);
    RunCompatibilityCheck(concurrent, ProbeSchedule::Concurrent);

    ASSERT_FALSE(concurrent.installedApps.empty());
    ASSERT_FALSE(concurrent.drivers.current.empty());
    ASSERT_FALSE(concurrent.extensions.current.empty());
    // Free space is the one measurement that moves between two checks.
    EXPECT_NEAR(static_cast<double>(concurrent.systemDriveFree),
                static_cast<double>(sequential.systemDriveFree), 1e9);
    concurrent.systemDriveFree = sequential.systemDriveFree;
    EXPECT_EQ(SavedBytesOf(concurrent), SavedBytesOf(sequential));
    EXPECT_EQ(concurrent.drivers.current, sequential.drivers.current);
    EXPECT_EQ(concurrent.extensions.current, sequential.extensions.current);
    EXPECT_EQ(concurrent.installedApps, sequential.installedApps);
    const bool COMPATIBILITY_RESULT::*flags[] = {
        &COMPATIBILITY_RESULT::osEligible, &COMPATIBILITY_RESULT::memoryOk,
        &COMPATIBILITY_RESULT::diskOk,     &COMPATIBILITY_RESULT::directXOk,
        &COMPATIBILITY_RESULT::displayOk,  &COMPATIBILITY_RESULT::processorOk};
    for (auto flag : flags)
        EXPECT_EQ(concurrent.*flag, sequential.*flag);
}

TEST_F(CompatibilityCheck, MeasuresThisPcAndGathersTheInventories)
{
    COMPATIBILITY_RESULT result;
    RunCompatibilityCheck(result);

    EXPECT_EQ(result.windowsVersion, 1); // the test prefix reports Windows 10
    EXPECT_TRUE(result.osEligible);
    EXPECT_EQ(result.is64Bit, 1);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
    EXPECT_EQ(result.totalMemory, memory.ullTotalPhys);
    EXPECT_EQ(result.memoryOk, MemoryRequirementMet(memory.ullTotalPhys, 1));
    ULARGE_INTEGER available = {}, total = {}, free = {};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free));
    EXPECT_EQ(result.systemDriveSize, total.QuadPart);
    EXPECT_NEAR(static_cast<double>(result.systemDriveFree), static_cast<double>(free.QuadPart), 1e9);
    EXPECT_EQ(result.diskOk, DiskRequirementMet(result.systemDriveFree, 1));
    EXPECT_EQ(result.directXVersion, DetectDirectXVersion());
    EXPECT_TRUE(result.directXOk);
    // No size from Wine's monitor class: 0 x 0, which passes.
    EXPECT_EQ(result.screenWidth, 0);
    EXPECT_EQ(result.screenHeight, 0);
    EXPECT_TRUE(result.displayOk);
    EXPECT_EQ(result.processorSpeed, static_cast<int>(FirstProcessorMaxMhz()));
    EXPECT_EQ(result.processorOk, result.processorSpeed > 1000);

    int ourApps = 0;
    for (const auto& app : result.installedApps)
        ourApps += app.keyName == tag && app.rootKey == kUsersRoot && app.displayName == L"Check App";
    EXPECT_EQ(ourApps, 2); // once per registry pass
    ASSERT_FALSE(result.extensions.current.empty());
    EXPECT_EQ(result.extensions.current.back(), (SavedExtension{L".ICS", tag, L"", L"calendar.exe %1"}));
    EXPECT_EQ(result.drivers.current.size(), BuildDeviceTree()->nodes.front()->devices.size());
    EXPECT_FALSE(result.drivers.current.empty());
}
