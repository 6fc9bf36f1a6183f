#include "app/AdminModes.h"

#include <windows.h>

#include <cstdio>
#include <list>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/ModeConsole.h"
#include "core/compat/CompatibilityResult.h"
#include "core/compat/SavedFile.h"
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
    return std::nullopt;
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

// A threshold of the check, in whole and tenth bytes, as it is compared.
std::string Bytes(double threshold)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f bytes", threshold);
    return text;
}

struct Requirement {
    const char* name;
    bool COMPATIBILITY_RESULT::*passes;
    Json (*measured)(const COMPATIBILITY_RESULT&);
    std::string (*needs)(const COMPATIBILITY_RESULT&);
};

// The six requirements in the order the scan page walks them.
const Requirement kRequirements[] = {
    {"windows", &COMPATIBILITY_RESULT::osEligible,
     [](const COMPATIBILITY_RESULT& r) { return Json(static_cast<int>(r.windowsVersion)); },
     [](const COMPATIBILITY_RESULT&) { return std::string("Windows 7, 8 or 8.1"); }},
    {"memory", &COMPATIBILITY_RESULT::memoryOk,
     [](const COMPATIBILITY_RESULT& r) { return Json(r.totalMemory); },
     [](const COMPATIBILITY_RESULT& r) {
         using namespace Tavrin::Core::WindowsUpdate;
         return r.is64Bit ? "more than " + Bytes(kMemoryThreshold64)
                          : "at least " + Bytes(kMemoryThreshold32);
     }},
    {"disk", &COMPATIBILITY_RESULT::diskOk,
     [](const COMPATIBILITY_RESULT& r) { return Json(r.systemDriveFree); },
     [](const COMPATIBILITY_RESULT& r) {
         using namespace Tavrin::Core::WindowsUpdate;
         return "more than " + Bytes(r.is64Bit ? kDiskThreshold64 : kDiskThreshold32) + " free on C:";
     }},
    {"directx", &COMPATIBILITY_RESULT::directXOk,
     [](const COMPATIBILITY_RESULT& r) { return Json(r.directXVersion); },
     [](const COMPATIBILITY_RESULT&) { return std::string("DirectX 9 or later"); }},
    {"display", &COMPATIBILITY_RESULT::displayOk,
     [](const COMPATIBILITY_RESULT& r) {
         return Json(std::to_string(r.screenWidth) + "x" + std::to_string(r.screenHeight));
     },
     [](const COMPATIBILITY_RESULT&) { return std::string("more than 800x600, or no monitor reported"); }},
    {"processor", &COMPATIBILITY_RESULT::processorOk,
     [](const COMPATIBILITY_RESULT& r) { return Json(r.processorSpeed); },
     [](const COMPATIBILITY_RESULT&) { return std::string("more than 1000 MHz"); }},
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

Json ListOrUnreadable(ReadState record, Json list)
{
    return record == ReadState::Unreadable ? Json() : list;
}

Json JsonReport(const COMPATIBILITY_RESULT& result, const Tavrin::UI::ResultsReport& verdict,
                const Losses* losses)
{
    Json report;
    report["computer"] = ComputerName();
    report["time"] = UtcNow();
    report["tavrinVersion"] = Utf8(Tavrin::Net::kProgramVersion);
    report["windows"] = {{"code", static_cast<int>(result.windowsVersion)},
                         {"name", kWindowsNames[result.windowsVersion]}};
    Json requirements = Json::array();
    for (const Requirement& requirement : kRequirements)
        requirements.push_back({{"name", requirement.name},
                                {"measured", requirement.measured(result)},
                                {"needs", requirement.needs(result)},
                                {"passes", result.*requirement.passes}});
    report["requirements"] = requirements;
    Json failures = Json::array(), issues = Json::array();
    for (const std::wstring& line : verdict.failures)
        failures.push_back(Utf8(line));
    for (const std::wstring& line : verdict.issues)
        issues.push_back(Utf8(line));
    report["verdict"] = {{"outcome", kVerdicts[verdict.outcome]}, {"failures", failures}, {"issues", issues}};
    if (!losses)
        return report;

    Json records = Json::object();
    const char* const states[] = {"read", "none", "unreadable"};
    for (size_t i = 0; i < 3; ++i)
        records[RecordName(losses->files[i])] = states[static_cast<int>(losses->records[i])];
    report["records"] = records;
    Json applications = Json::array(), drivers = Json::array(), associations = Json::array();
    for (const auto& app : losses->applications)
        applications.push_back({{"rootKey", app.rootKey},
                                {"uninstallPath", Utf8(app.uninstallPath)},
                                {"keyName", Utf8(app.keyName)},
                                {"displayName", Utf8(app.displayName)}});
    for (const auto& driver : losses->drivers)
        drivers.push_back({{"name", Utf8(driver.name)},
                           {"hardwareId", Utf8(driver.hardwareId)},
                           {"classGuid", Utf8(driver.classGuid)}});
    for (const auto& association : losses->associations)
        associations.push_back({{"extension", Utf8(association.extension)},
                                {"progId", Utf8(association.progId)},
                                {"hash", Utf8(association.hash)},
                                {"openCommand", Utf8(association.openCommand)}});
    // An unreadable record may have held anything: no list, never an empty one.
    report["missingApplications"] = ListOrUnreadable(losses->records[0], applications);
    report["missingDrivers"] = ListOrUnreadable(losses->records[1], drivers);
    report["lostAssociations"] = ListOrUnreadable(losses->records[2], associations);

    Json settings = Json::object();
    {
        // The policy-bound rows are read through the local group policy object.
        Tavrin::Platform::ComApartment com;
        Tavrin::Core::SettingsBook book;
        for (const Tavrin::Core::SettingRequest& row : book.Current())
            settings[row.name] = row.ticked;
    }
    report["settings"] = settings;
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
    std::vector<std::string> fields = {ComputerName(), UtcNow(), Utf8(Tavrin::Net::kProgramVersion),
                                       kVerdicts[verdict.outcome]};
    for (const Requirement& requirement : kRequirements) {
        const Json measured = requirement.measured(result);
        fields.push_back(result.*requirement.passes ? "1" : "0");
        fields.push_back(measured.is_string() ? measured.get<std::string>() : measured.dump());
    }
    for (size_t i = 0; i < 3; ++i)
        fields.push_back(!losses                                       ? std::string()
                         : losses->records[i] == ReadState::Unreadable ? std::string("unreadable")
                                                                       : std::to_string(losses->Counts(i)));
    const std::optional<unsigned> changedBack = losses ? SettingsChangedBack() : std::nullopt;
    fields.push_back(changedBack ? std::to_string(*changedBack) : std::string());
    std::string row;
    for (const std::string& field : fields)
        row += (row.empty() ? "" : ",") + CsvField(field);
    return row + "\r\n";
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
            summary += (i ? "; " : "") + std::to_string(losses.Counts(i)) + " " + what[i];
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
