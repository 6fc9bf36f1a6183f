#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <string>

#include "core/compat/Drivers.h"
#include "core/compat/Extensions.h"
#include "core/compat/InstalledApp.h"
#include "core/compat/SystemInfo.h"

namespace Tavrin::Core::WindowsUpdate {

// What the start-up check measured and gathered. Members 1 to 9 are saved to
// "./results.saved"; the six flags are consecutive and in the order the scan
// page walks them.
struct COMPATIBILITY_RESULT {
    WindowsVersionCode windowsVersion = WindowsVersionCode::NotEligible;
    std::uint64_t totalMemory = 0;
    std::uint64_t systemDriveFree = 0;
    std::uint64_t systemDriveSize = 0;
    int directXVersion = 0;
    int screenWidth = 0;
    int screenHeight = 0;
    int processorSpeed = 0;
    int is64Bit = 0;
    bool osEligible = false;
    bool memoryOk = false;
    bool diskOk = false;
    bool directXOk = false;
    bool displayOk = false;
    bool processorOk = false;
    SystemInfo systemInfo;
    std::list<InstalledApp> installedApps;
    Extensions extensions;
    Drivers drivers;
};

template <class Archive>
void serialize(Archive& archive, COMPATIBILITY_RESULT& result, const unsigned int /*version*/)
{
    archive& result.windowsVersion& result.totalMemory& result.systemDriveFree& result.systemDriveSize& result
        .directXVersion& result.screenWidth& result.screenHeight& result.processorSpeed& result.is64Bit;
}

extern const wchar_t kResultsFile[];
extern const wchar_t kMonitorQuery[];
extern const wchar_t kProcessorQuery[];

// How the check's independent probes run: side by side on worker threads
// that all end before the check returns, or one after another on the caller's
// thread. Both give the same result.
enum class ProbeSchedule { Concurrent, Sequential };

// Measures the PC, judges the six requirements and gathers the three
// inventories. Reports nothing; what cannot be measured keeps its previous
// value.
void RunCompatibilityCheck(COMPATIBILITY_RESULT& result, ProbeSchedule schedule = ProbeSchedule::Concurrent);

// Writes members 1 to 9 to "./results.saved" (the closing line end is CR LF,
// as a text-mode stream writes it), replacing the file whole. False when the
// file cannot be written.
bool SaveCompatibilityResult(const COMPATIBILITY_RESULT& result, const std::wstring& path = kResultsFile);

// The four files of the record of this PC before the upgrade, in the order
// they are written.
enum class RecordFile { Applications, Drivers, Associations, Results };

// Writes the record: the three inventories, then the measurements, each to
// its own file in the current folder. After each file, `written` (when
// given) learns whether it could be written; a file that could not be is no
// reason to skip the next. True when all four were written.
bool SaveRecord(const COMPATIBILITY_RESULT& result,
                const std::function<void(RecordFile file, bool saved)>& written = {});

// The requirement thresholds in bytes: 0.9 and 1.9 GiB of memory, 15.9 and
// 31.9 GiB free on the system drive (32-bit and 64-bit Windows), compared in
// double precision.
constexpr double kMemoryThreshold32 = 966367641.6;
constexpr double kMemoryThreshold64 = 2040109465.6;
constexpr double kDiskThreshold32 = 17072495001.6;
constexpr double kDiskThreshold64 = 34252364185.6;

// The requirement rules, kept here alone: the check sets its flags by them and
// the results page words its failures by them. Each is an "above" test (at
// least, for memory on 32-bit Windows), the way the requirements are
// published; a "below" test against these thresholds, which are no whole
// byte counts, judges every measured value the same, but two spellings of
// one rule drift apart.
bool MemoryRequirementMet(std::uint64_t totalMemory, int is64Bit);
bool DiskRequirementMet(std::uint64_t systemDriveFree, int is64Bit);
bool DirectXRequirementMet(int directXVersion);
bool DisplayRequirementMet(int screenWidth, int screenHeight);
bool ProcessorRequirementMet(int processorSpeed);

// Single steps of the check.
// Drive "C:\" of systemInfo (exact text): its sizes and diskOk; all three are
// left alone when there is no such drive.
void ApplySystemDrive(COMPATIBILITY_RESULT& result);
// The last monitor / processor the query returns decides; false when the
// query could not be run, in which case the values stay as they were. The
// display flag is judged from the values held after the query in every case,
// so no monitor data at all on a fresh result is 0 x 0, which passes.
bool QueryDisplay(COMPATIBILITY_RESULT& result, const wchar_t* query = kMonitorQuery);
bool QueryProcessor(COMPATIBILITY_RESULT& result, const wchar_t* query = kProcessorQuery);

} // namespace Tavrin::Core::WindowsUpdate
