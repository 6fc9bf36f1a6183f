#include "core/compat/CompatibilityResult.h"

#include <cwchar>
#include <cwctype>
#include <functional>
#include <future>
#include <utility>
#include <vector>

#include "core/compat/DirectXVersion.h"
#include "core/compat/SavedFile.h"
#include "core/compat/WmiQuery.h"
#include "platform/Text.h"

namespace Tavrin::Core::WindowsUpdate {

const wchar_t kResultsFile[] = L"./results.saved";
const wchar_t kMonitorQuery[] = L"SELECT * FROM Win32_DesktopMonitor";
const wchar_t kProcessorQuery[] = L"SELECT * FROM Win32_Processor ";

namespace {

// Decimal text to a number; text that is no number gives 0.
std::uint64_t ToNumber(const std::wstring& text)
{
    if (text.empty() || !std::iswdigit(text.front()))
        return 0;
    return std::wcstoull(text.c_str(), nullptr, 10);
}

} // namespace

bool MemoryRequirementMet(std::uint64_t totalMemory, int is64Bit)
{
    const double memory = static_cast<double>(totalMemory);
    return is64Bit ? memory > kMemoryThreshold64 : memory >= kMemoryThreshold32;
}

bool DiskRequirementMet(std::uint64_t systemDriveFree, int is64Bit)
{
    return static_cast<double>(systemDriveFree) > (is64Bit ? kDiskThreshold64 : kDiskThreshold32);
}

bool DirectXRequirementMet(int directXVersion)
{
    return directXVersion >= 9;
}

bool DisplayRequirementMet(int screenWidth, int screenHeight)
{
    // No monitor data at all is not held against the PC.
    return (screenHeight > 600 && screenWidth > 800) || (screenHeight == 0 && screenWidth == 0);
}

bool ProcessorRequirementMet(int processorSpeed)
{
    return processorSpeed > 1000;
}

void ApplySystemDrive(COMPATIBILITY_RESULT& result)
{
    for (const DriveSpace& drive : result.systemInfo.fixedDrives) {
        if (drive.root != L"C:\\")
            continue;
        result.systemDriveFree = ToNumber(drive.freeBytes);
        result.systemDriveSize = ToNumber(drive.totalBytes);
        result.diskOk = DiskRequirementMet(result.systemDriveFree, result.is64Bit);
        return;
    }
}

bool QueryDisplay(COMPATIBILITY_RESULT& result, const wchar_t* query)
{
    const bool ran = ForEachWmiObject(query, [&result](IWbemClassObject& monitor) {
        if (auto height = ReadWmiUnsigned(monitor, L"ScreenHeight"))
            result.screenHeight = static_cast<int>(*height);
        if (auto width = ReadWmiUnsigned(monitor, L"ScreenWidth"))
            result.screenWidth = static_cast<int>(*width);
    });
    // Judged from what the members hold once the query is over: the last
    // monitor's size, or, with no monitor data at all (no monitor returned,
    // or a query that failed), the kept values, 0 x 0 on a fresh result,
    // which passes.
    result.displayOk = DisplayRequirementMet(result.screenWidth, result.screenHeight);
    return ran;
}

bool QueryProcessor(COMPATIBILITY_RESULT& result, const wchar_t* query)
{
    return ForEachWmiObject(query, [&result](IWbemClassObject& processor) {
        if (auto speed = ReadWmiUnsigned(processor, L"MaxClockSpeed")) {
            result.processorSpeed = static_cast<int>(*speed);
            result.processorOk = ProcessorRequirementMet(result.processorSpeed);
        }
    });
}

void RunCompatibilityCheck(COMPATIBILITY_RESULT& result, ProbeSchedule schedule)
{
    // Every probe fills members of its own, so they can run side by side;
    // each inventory is gathered by one probe, so its order stays. Only the
    // WMI probe uses COM, so its security call is still the process's first.
    const struct {
        const wchar_t* name;
        std::function<void()> run;
    } probes[] = {
        {L"DirectX",
         [&result] {
             result.directXVersion = DetectDirectXVersion();
             result.directXOk = DirectXRequirementMet(result.directXVersion);
         }},
        {L"display and processor",
         [&result] {
             QueryDisplay(result);
             QueryProcessor(result);
         }},
        {L"installed applications",
         [&result] {
             EnumerateInstalledApps(result.installedApps, true);
             EnumerateInstalledApps(result.installedApps, false);
         }},
        {L"file associations", [&result] { result.extensions.CollectAssociations(); }},
        {L"drivers", [&result] { result.drivers.CollectDrivers(); }},
    };
    auto runProbe = [](const auto& probe) {
        probe.run();
        Platform::DebugLine(std::wstring(L"check: ") + probe.name + L" done");
    };

    std::vector<std::future<void>> running;
    if (schedule == ProbeSchedule::Concurrent) {
        for (const auto& probe : probes)
            running.push_back(std::async(std::launch::async, [&runProbe, &probe] { runProbe(probe); }));
    }

    result.windowsVersion = ClassifyWindowsVersion(result.osEligible);
    CollectSystemInfo(result.systemInfo);
    result.is64Bit = IsWow64() ? 1 : 0;
    result.totalMemory = result.systemInfo.totalPhysicalMemory;
    result.memoryOk = MemoryRequirementMet(result.totalMemory, result.is64Bit);
    ApplySystemDrive(result);
    Platform::DebugLine(L"check: version, memory and drives done");

    if (schedule == ProbeSchedule::Sequential) {
        for (const auto& probe : probes)
            runProbe(probe);
    }
    // Every probe ends before the result is used; a probe's exception comes
    // out here, on the caller's thread, as it would from a plain call.
    for (auto& probe : running)
        probe.wait();
    for (auto& probe : running)
        probe.get();
}

bool SaveCompatibilityResult(const COMPATIBILITY_RESULT& result, const std::wstring& path)
{
    // The closing line end is CR LF, as the file always had.
    return SavedFile::SaveObject(path, result, SavedFile::LineEnds::CrLf);
}

bool SaveRecord(const COMPATIBILITY_RESULT& result, const std::function<void(RecordFile, bool)>& written)
{
    const std::pair<RecordFile, std::function<bool()>> files[] = {
        {RecordFile::Applications, [&] { return SaveInstalledApps(result.installedApps); }},
        {RecordFile::Drivers, [&] { return result.drivers.SaveDrivers(); }},
        {RecordFile::Associations, [&] { return result.extensions.SaveAssociations(); }},
        {RecordFile::Results, [&] { return SaveCompatibilityResult(result); }},
    };
    bool all = true;
    for (const auto& [file, save] : files) {
        const bool saved = save();
        all = all && saved;
        if (written)
            written(file, saved);
    }
    return all;
}

} // namespace Tavrin::Core::WindowsUpdate
