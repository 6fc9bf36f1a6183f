#include "app/AdminModes.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/ModeConsole.h"
#include "core/compat/CompatibilityResult.h"
#include "core/compat/SavedFile.h"
#include "core/settings/ChosenStates.h"
#include "core/settings/SettingsBook.h"
#include "net/UpdateCheck.h"
#include "platform/ComPtr.h"
#include "platform/LockedAppend.h"
#include "platform/Text.h"
#include "platform/UserHive.h"
#include "ui/pages/ResulstDlg.h"

// The one JSON type of the program (profiles use it too): members keep
// the order they were written in.
using Json = nlohmann::ordered_json;
using Tavrin::Core::SavedFile::ReadState;
using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;

const char kReportCsvHeader[] =
    "computer,time,tavrin_version,verdict,windows_ok,windows_version,memory_ok,memory_bytes,disk_ok,"
    "disk_free_bytes,directx_ok,directx_version,display_ok,display,processor_ok,processor_mhz,"
    "missing_applications,missing_drivers,lost_associations,settings_changed_back\r\n";

std::optional<unsigned> SettingsChangedBack()
{
    // Some rows are read through the local group policy object.
    const Tavrin::Platform::ComApartment com;
    return static_cast<unsigned>(Tavrin::Core::CountChangedBack());
}

namespace {

// Indexed by the results page's outcome.
const char* const kVerdicts[] = {"ready", "may have issues", "not ready"};

// Indexed by WindowsVersionCode.
const char* const kWindowsNames[] = {"another Windows",
                                     "Windows 10",
                                     "Windows 8.1",
                                     "Windows 8",
                                     "Windows 7 with a service pack",
                                     "Windows 7 without a service pack"};

std::string Utf8(const std::wstring& text)
{
    return Tavrin::Platform::Narrow(text, CP_UTF8);
}

// The six requirements in the order the scan page walks them: what was
// measured, what is needed and whether it passes.
class Requirements {
public:
    struct Row {
        const char* name;
        bool passes;
        long long measured; // unless there is a text
        const char* text;
        const char* needs;
    };

    explicit Requirements(const COMPATIBILITY_RESULT& r)
    {
        using namespace Tavrin::Core::WindowsUpdate;
        // The thresholds are compared as they are, with their tenth of a byte.
        std::snprintf(m_memoryNeeds, sizeof(m_memoryNeeds),
                      r.is64Bit ? "more than %.1f bytes" : "at least %.1f bytes",
                      r.is64Bit ? kMemoryThreshold64 : kMemoryThreshold32);
        std::snprintf(m_diskNeeds, sizeof(m_diskNeeds),
                      "more than %.1f bytes free on C:", r.is64Bit ? kDiskThreshold64 : kDiskThreshold32);
        std::snprintf(m_display, sizeof(m_display), "%dx%d", r.screenWidth, r.screenHeight);
        const Row rows[] = {
            {"windows", r.osEligible, r.windowsVersion, nullptr, "Windows 7, 8 or 8.1"},
            {"memory", r.memoryOk, static_cast<long long>(r.totalMemory), nullptr, m_memoryNeeds},
            {"disk", r.diskOk, static_cast<long long>(r.systemDriveFree), nullptr, m_diskNeeds},
            {"directx", r.directXOk, r.directXVersion, nullptr, "DirectX 9 or later"},
            {"display", r.displayOk, 0, m_display, "more than 800x600, or no monitor reported"},
            {"processor", r.processorOk, r.processorSpeed, nullptr, "more than 1000 MHz"},
        };
        std::copy(std::begin(rows), std::end(rows), m_rows);
    }
    Requirements(const Requirements&) = delete;
    Requirements& operator=(const Requirements&) = delete;

    const Row* begin() const { return m_rows; }
    const Row* end() const { return m_rows + 6; }

private:
    char m_memoryNeeds[48];
    char m_diskNeeds[48];
    char m_display[32];
    Row m_rows[6];
};

// The record's file names as the administrator sees them in the folder.
std::string RecordName(const wchar_t* path)
{
    std::wstring name = path;
    if (name.rfind(L"./", 0) == 0)
        name.erase(0, 2);
    return Utf8(name);
}

std::string ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &length) ? Utf8(name) : std::string();
}

std::string UtcNow()
{
    SYSTEMTIME now = {};
    ::GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

// Measured as the interactive start measures, for the user whose settings
// the run shows.
void Measure(COMPATIBILITY_RESULT& result)
{
    Tavrin::Platform::UserHive::Current();
    Tavrin::Core::WindowsUpdate::RunCompatibilityCheck(result);
}

bool NoArguments(const CommandLineOption& option)
{
    if (option.arguments.empty() && option.values.empty())
        return true;
    std::fputs("Usage: tavrin.exe /scan\n", stderr);
    return false;
}

// What went missing in the upgrade, by what the record before it held.
struct Losses {
    std::list<Tavrin::Core::InstalledApp> applications;
    std::list<Tavrin::Core::SavedDriver> drivers;
    std::list<Tavrin::Core::SavedExtension> associations;
    ReadState records[3] = {};
    const wchar_t* files[3] = {Tavrin::Core::kApplicationsFile, Tavrin::Core::kDriversFile,
                               Tavrin::Core::kExtensionsFile};
    size_t Counts(size_t index) const
    {
        const size_t counts[] = {applications.size(), drivers.size(), associations.size()};
        return counts[index];
    }
};

Losses FindLosses(const COMPATIBILITY_RESULT& result)
{
    Losses losses;
    losses.applications = Tavrin::Core::MissingApplications(
        result.installedApps, Tavrin::Core::kApplicationsFile, &losses.records[0]);
    losses.drivers = result.drivers.MissingDrivers(Tavrin::Core::kDriversFile, &losses.records[1]);
    losses.associations =
        result.extensions.LostAssociations(Tavrin::Core::kExtensionsFile, &losses.records[2]);
    return losses;
}

Json Utf8List(const std::list<std::wstring>& lines)
{
    Json list = Json::array();
    for (const std::wstring& line : lines)
        list.push_back(Utf8(line));
    return list;
}

// The saved fields of each entry; null for a record that is unreadable: it
// may have held anything, so no list is given, never an empty one.
template <typename Entry, size_t N>
Json Entries(ReadState record, const std::list<Entry>& entries,
             const std::pair<const char*, std::wstring Entry::*> (&fields)[N])
{
    if (record == ReadState::Unreadable)
        return Json();
    Json list = Json::array();
    for (const Entry& entry : entries) {
        Json item = Json::object();
        if constexpr (std::is_same_v<Entry, Tavrin::Core::InstalledApp>)
            item["rootKey"] = entry.rootKey;
        for (const auto& [key, member] : fields)
            item[key] = Utf8(entry.*member);
        list.push_back(std::move(item));
    }
    return list;
}

Json JsonReport(const COMPATIBILITY_RESULT& result, const Tavrin::UI::ResultsReport& verdict,
                const Losses* losses)
{
    Json report;
    report["computer"] = ComputerName();
    report["time"] = UtcNow();
    report["tavrinVersion"] = Utf8(Tavrin::Net::kProgramVersion);
    Json& windows = report["windows"];
    windows["code"] = static_cast<int>(result.windowsVersion);
    windows["name"] = kWindowsNames[result.windowsVersion];
    Json requirements = Json::array();
    for (const Requirements::Row& row : Requirements(result)) {
        Json requirement = Json::object();
        requirement["name"] = row.name;
        requirement["measured"] = row.text ? Json(row.text) : Json(row.measured);
        requirement["needs"] = row.needs;
        requirement["passes"] = row.passes;
        requirements.push_back(std::move(requirement));
    }
    report["requirements"] = std::move(requirements);
    Json& outcome = report["verdict"];
    outcome["outcome"] = kVerdicts[verdict.outcome];
    outcome["failures"] = Utf8List(verdict.failures);
    outcome["issues"] = Utf8List(verdict.issues);
    if (!losses)
        return report;

    Json records = Json::object();
    const char* const states[] = {"read", "none", "unreadable"};
    for (size_t i = 0; i < 3; ++i)
        records[RecordName(losses->files[i])] = states[static_cast<int>(losses->records[i])];
    report["records"] = std::move(records);
    using namespace Tavrin::Core;
    static const std::pair<const char*, std::wstring InstalledApp::*> kAppFields[] = {
        {"uninstallPath", &InstalledApp::uninstallPath},
        {"keyName", &InstalledApp::keyName},
        {"displayName", &InstalledApp::displayName}};
    static const std::pair<const char*, std::wstring SavedDriver::*> kDriverFields[] = {
        {"name", &SavedDriver::name},
        {"hardwareId", &SavedDriver::hardwareId},
        {"classGuid", &SavedDriver::classGuid}};
    static const std::pair<const char*, std::wstring SavedExtension::*> kAssociationFields[] = {
        {"extension", &SavedExtension::extension},
        {"progId", &SavedExtension::progId},
        {"hash", &SavedExtension::hash},
        {"openCommand", &SavedExtension::openCommand}};
    report["missingApplications"] = Entries(losses->records[0], losses->applications, kAppFields);
    report["missingDrivers"] = Entries(losses->records[1], losses->drivers, kDriverFields);
    report["lostAssociations"] = Entries(losses->records[2], losses->associations, kAssociationFields);

    Json settings = Json::object();
    {
        // The policy-bound rows are read through the local group policy object.
        Tavrin::Platform::ComApartment com;
        Tavrin::Core::SettingsBook book;
        for (const Tavrin::Core::SettingRequest& row : book.Current())
            settings[row.name] = row.ticked;
    }
    report["settings"] = std::move(settings);
    const std::optional<unsigned> changedBack = SettingsChangedBack();
    report["settingsChangedBack"] = changedBack ? Json(*changedBack) : Json();
    return report;
}

// A field as CSV needs it: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string CsvRow(const COMPATIBILITY_RESULT& result, const Tavrin::UI::ResultsReport& verdict,
                   const Losses* losses)
{
    std::string row = CsvField(ComputerName()) + "," + UtcNow() + "," + Utf8(Tavrin::Net::kProgramVersion) +
                      "," + kVerdicts[verdict.outcome];
    char number[24];
    for (const Requirements::Row& requirement : Requirements(result)) {
        std::snprintf(number, sizeof(number), "%lld", requirement.measured);
        row += requirement.passes ? ",1," : ",0,";
        row += requirement.text ? requirement.text : number;
    }
    // The counts of what went missing exist after the upgrade only.
    for (size_t i = 0; i < 3; ++i) {
        std::snprintf(number, sizeof(number), "%u", static_cast<unsigned>(losses ? losses->Counts(i) : 0));
        row += ",";
        row += !losses ? "" : losses->records[i] == ReadState::Unreadable ? "unreadable" : number;
    }
    const std::optional<unsigned> changedBack = losses ? SettingsChangedBack() : std::nullopt;
    std::snprintf(number, sizeof(number), ",%u", changedBack.value_or(0));
    return row + (changedBack ? number : ",") + "\r\n";
}

bool EndsWith(const std::wstring& text, const wchar_t* suffix)
{
    const std::wstring tail = suffix;
    return text.size() > tail.size() &&
           Tavrin::Platform::EqualsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}

} // namespace

int RunScanMode(const CommandLineOption& option)
{
    JoinParentConsole();
    if (!NoArguments(option))
        return FinishMode(AdminExit::kBadCommandLine);
    bool eligible = false;
    if (Tavrin::Core::ClassifyWindowsVersion(eligible) == Tavrin::Core::WindowsVersionCode::Windows10) {
        std::fputs("This is Windows 10: the record from before the upgrade is kept. Nothing was written.\n",
                   stderr);
        return FinishMode(AdminExit::kNotBeforeUpgrade);
    }
    COMPATIBILITY_RESULT result;
    Measure(result);
    using Tavrin::Core::WindowsUpdate::RecordFile;
    const wchar_t* const files[] = {Tavrin::Core::kApplicationsFile, Tavrin::Core::kDriversFile,
                                    Tavrin::Core::kExtensionsFile, Tavrin::Core::WindowsUpdate::kResultsFile};
    const bool recordSaved =
        Tavrin::Core::WindowsUpdate::SaveRecord(result, [&](RecordFile file, bool saved) {
            if (!saved)
                std::fprintf(stderr, "Not written: %s\n", RecordName(files[static_cast<int>(file)]).c_str());
        });
    const Tavrin::UI::ResultsReport verdict = Tavrin::UI::BuildResultsReport(result, recordSaved);
    std::printf("Record %s; this PC: %s\n", recordSaved ? "saved" : "not saved", kVerdicts[verdict.outcome]);
    if (!recordSaved)
        return FinishMode(AdminExit::kCannotWrite);
    return FinishMode(verdict.outcome == Tavrin::UI::kOutcomeReady ? AdminExit::kReady
                                                                   : AdminExit::kNotReady);
}

int RunReportMode(const CommandLineOption& option, const std::wstring& startFolder)
{
    JoinParentConsole();
    const bool one = option.arguments.size() == 1 && option.values.empty();
    const bool json = one && EndsWith(option.arguments.front(), L".json");
    const bool csv = one && EndsWith(option.arguments.front(), L".csv");
    if (!json && !csv) {
        std::fputs("Usage: tavrin.exe /report FILE.json|FILE.csv\n", stderr);
        return FinishMode(AdminExit::kBadCommandLine);
    }
    const std::wstring path = PathFromStartFolder(option.arguments.front(), startFolder);

    COMPATIBILITY_RESULT result;
    Measure(result);
    const Tavrin::UI::ResultsReport verdict = Tavrin::UI::BuildResultsReport(result);
    const bool upgraded = result.windowsVersion == Tavrin::Core::WindowsVersionCode::Windows10;
    Losses losses;
    int code = verdict.outcome == Tavrin::UI::kOutcomeReady ? AdminExit::kReady : AdminExit::kNotReady;
    std::string summary = kVerdicts[verdict.outcome];
    if (upgraded) {
        losses = FindLosses(result);
        code = AdminExit::kReady;
        summary.clear();
        const char* const what[] = {"applications missing", "drivers missing", "associations lost"};
        for (size_t i = 0; i < 3; ++i) {
            char count[64];
            std::snprintf(count, sizeof(count), "%s%u %s", i ? "; " : "",
                          static_cast<unsigned>(losses.Counts(i)), what[i]);
            summary += count;
            if (losses.Counts(i))
                code = AdminExit::kNotReady;
            if (losses.records[i] != ReadState::Unreadable)
                continue;
            code = AdminExit::kNotReady;
            summary += " (record unreadable)";
            std::fprintf(stderr, "The record %s saved before the upgrade cannot be read.\n",
                         RecordName(losses.files[i]).c_str());
        }
    }

    DWORD error = ERROR_SUCCESS;
    if (json) {
        const std::string text = JsonReport(result, verdict, upgraded ? &losses : nullptr)
                                     .dump(2, ' ', false, nlohmann::detail::error_handler_t::replace) +
                                 "\n";
        error = Tavrin::Core::SavedFile::ReplaceWholeFile(path, text);
    } else {
        error = Tavrin::Platform::AppendUnderLock(path, kReportCsvHeader,
                                                  CsvRow(result, verdict, upgraded ? &losses : nullptr));
    }
    if (error == WAIT_TIMEOUT) {
        std::fprintf(stderr,
                     "The report %s stayed locked by other writers for 30 seconds; nothing was added.\n",
                     ShownOnConsole(path).c_str());
        return FinishMode(AdminExit::kCannotWrite);
    }
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "The report %s cannot be written (error %lu).\n", ShownOnConsole(path).c_str(),
                     static_cast<unsigned long>(error));
        return FinishMode(AdminExit::kCannotWrite);
    }
    std::printf("Report written to %s: %s\n", ShownOnConsole(path).c_str(), summary.c_str());
    return FinishMode(code);
}
