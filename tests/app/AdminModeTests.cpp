// "/scan" and "/report" of the real tavrin.exe, copied to a folder of its
// own (where it keeps its record) and started from another one.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <list>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/AdminModes.h"
#include "core/compat/Drivers.h"
#include "core/compat/Extensions.h"
#include "core/compat/InstalledApp.h"
#include "core/settings/SettingsBook.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;
using Json = nlohmann::json;

namespace {

constexpr wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kKeptApp[] = L"TavrinAdminKeptTool";
const wchar_t* const kRecordFiles[] = {L"applications.saved", L"drivers.saved", L"extensions.saved",
                                       L"results.saved"};

std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

class AdminMode : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = folder.File(L"tavrin.exe");
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\tavrin.exe").c_str(), program.c_str(), FALSE));
    }

    ProcessResult Run(const std::wstring& arguments) const
    {
        ProcessResult result = RunProcess(L"\"" + program + L"\" " + arguments, 120000, elsewhere.Path());
        EXPECT_FALSE(result.timedOut) << Tavrin::Platform::Narrow(arguments);
        return result;
    }

    bool RecordExists() const
    {
        for (const wchar_t* name : kRecordFiles)
            if (::GetFileAttributesW(folder.File(name).c_str()) != INVALID_FILE_ATTRIBUTES)
                return true;
        return false;
    }

    TempFolder folder;    // the program's
    TempFolder elsewhere; // where it is started, and where a relative report goes
    std::wstring program;
};

} // namespace

// Every refused command line, and "/scan" on Windows 10: the exit code, the
// message, and nothing written.
TEST_F(AdminMode, RefusesAndWritesNothing)
{
    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
        const char* message;
    } cases[] = {
        {L"/scan now", 87, "Usage: tavrin.exe /scan"},
        {L"/scan:now", 87, "Usage: tavrin.exe /scan"},
        {L"/report", 87, "Usage: tavrin.exe /report"},
        {L"/report report.txt", 87, "Usage: tavrin.exe /report"},
        {L"/report report", 87, "Usage: tavrin.exe /report"},
        {L"/report .json", 87, "Usage: tavrin.exe /report"},
        {L"/report a.json b.json", 87, "Usage: tavrin.exe /report"},
        {L"/report:report.csv", 87, "Usage: tavrin.exe /report"},
        {L"/scan", 10, "This is Windows 10"},
    };
    for (const auto& refused : cases) {
        const ProcessResult run = Run(refused.arguments);
        const std::string label = Tavrin::Platform::Narrow(refused.arguments);
        EXPECT_EQ(run.exitCode, refused.exitCode) << label << ": " << run.output;
        EXPECT_NE(run.output.find(refused.message), std::string::npos) << label << ": " << run.output;
        EXPECT_FALSE(RecordExists()) << label;
        for (const wchar_t* report : {L"report.txt", L"report", L"a.json", L"report.csv"})
            EXPECT_EQ(::GetFileAttributesW(elsewhere.File(report).c_str()), INVALID_FILE_ATTRIBUTES) << label;
    }
}

TEST_F(AdminMode, ScanThatCannotWriteItsRecordExitsWith2)
{
    WindowsVersionOverride win7(L"tavrin.exe", L"win7");
    // A folder where the drivers' file belongs: nothing can replace it.
    ASSERT_TRUE(::CreateDirectoryW(folder.File(L"drivers.saved").c_str(), nullptr));
    const ProcessResult run = Run(L"/scan");
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("Not written: drivers.saved"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Record not saved"), std::string::npos) << run.output;
    // The files after it are still written, as the scan page writes them.
    EXPECT_NE(::GetFileAttributesW(folder.File(L"results.saved").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Before the upgrade: every field with its type, the six requirements in
// the scan page's order, and the exit code of the verdict.
TEST_F(AdminMode, JsonReportBeforeTheUpgrade)
{
    WindowsVersionOverride win7(L"tavrin.exe", L"win7");
    const ProcessResult run = Run(L"/report report.json");
    const Json report = Json::parse(ReadFileBytes(elsewhere.File(L"report.json")));
    ASSERT_TRUE(report.is_object());
    EXPECT_TRUE(report.at("computer").is_string());
    EXPECT_FALSE(report.at("computer").get<std::string>().empty());
    const std::string time = report.at("time").get<std::string>();
    EXPECT_EQ(time.size(), 20u) << time;
    EXPECT_EQ(time.back(), 'Z') << time;
    EXPECT_EQ(time[10], 'T') << time;
    EXPECT_TRUE(report.at("tavrinVersion").is_string());
    EXPECT_EQ(report.at("windows").at("code"), 4);
    EXPECT_EQ(report.at("windows").at("name"), "Windows 7 with a service pack");
    const Json& requirements = report.at("requirements");
    ASSERT_TRUE(requirements.is_array());
    std::vector<std::string> names;
    for (const Json& requirement : requirements) {
        names.push_back(requirement.at("name"));
        EXPECT_TRUE(requirement.at("passes").is_boolean());
        EXPECT_TRUE(requirement.at("needs").is_string());
        EXPECT_TRUE(requirement.at("measured").is_number() || requirement.at("measured").is_string());
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"windows", "memory", "disk", "directx", "display", "processor"}));
    EXPECT_EQ(requirements[0].at("measured"), 4);
    EXPECT_EQ(requirements[0].at("passes"), true);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    ::GlobalMemoryStatusEx(&memory);
    EXPECT_EQ(requirements[1].at("measured").get<unsigned long long>(), memory.ullTotalPhys);

    const Json& verdict = report.at("verdict");
    const std::string outcome = verdict.at("outcome");
    EXPECT_TRUE(verdict.at("failures").is_array());
    EXPECT_TRUE(verdict.at("issues").is_array());
    bool allPass = true;
    for (const Json& requirement : requirements)
        allPass = allPass && requirement.at("passes").get<bool>();
    EXPECT_EQ(outcome == "not ready", !allPass) << outcome;
    EXPECT_EQ(run.exitCode, outcome == "ready" ? 0u : 1u) << run.output;
    // Nothing of after the upgrade.
    for (const char* later : {"records", "missingApplications", "missingDrivers", "lostAssociations",
                              "settings", "settingsChangedBack"})
        EXPECT_FALSE(report.contains(later)) << later;
    EXPECT_NE(run.output.find("Report written to"), std::string::npos) << run.output;
}

// After the upgrade, with a record an older system wrote: what went
// missing, an unreadable record named as such, and every settings row.
class UpgradedAdminMode : public AdminMode {
protected:
    void SetUp() override
    {
        AdminMode::SetUp();
        Tavrin::Platform::RegKey kept;
        ASSERT_EQ(kept.Create(HKEY_CURRENT_USER, std::wstring(kUninstall) + L"\\" + kKeptApp, KEY_WRITE),
                  ERROR_SUCCESS);
        kept.SetString(L"DisplayName", L"Kept Tool");
        std::list<Tavrin::Core::InstalledApp> apps = {
            {Tavrin::Core::kUsersRoot, L"S-1-5-21\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
             kKeptApp, L"Kept Tool"},
            {Tavrin::Core::kMachineRoot, kUninstall, L"{7A1B0C3D-TAVRIN-GONE}", L"Gone Editor \"2,1\""}};
        ASSERT_TRUE(Tavrin::Core::SaveInstalledApps(apps, folder.File(L"applications.saved")));
        Tavrin::Core::Drivers present;
        present.CollectDrivers();
        ASSERT_FALSE(present.current.empty()) << "the prefix shows no devices";
        Tavrin::Core::Drivers old;
        old.current = {present.current.front(),
                       {L"Old USB Webcam", L"USB\\VID_DEAD&PID_BEEF&REV_0001",
                        L"{ca3e7ab9-b4c3-4ae6-8251-579ef933890f}"}};
        ASSERT_TRUE(old.SaveDrivers(folder.File(L"drivers.saved")));
        // There, but cut short: it may have held anything.
        ASSERT_TRUE(WriteFileBytes(folder.File(L"extensions.saved"), "22 serialization::archive 13 0 0 5 "));
    }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, std::wstring(kUninstall) + L"\\" + kKeptApp); }
};

TEST_F(UpgradedAdminMode, JsonReportListsWhatWentMissing)
{
    const ProcessResult run = Run(L"/report \"" + elsewhere.File(L"after upgrade.json") + L"\"");
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("extensions.saved saved before the upgrade cannot be read"), std::string::npos)
        << run.output;
    const Json report = Json::parse(ReadFileBytes(elsewhere.File(L"after upgrade.json")));
    EXPECT_EQ(report.at("windows").at("code"), 1);
    EXPECT_EQ(report.at("windows").at("name"), "Windows 10");
    EXPECT_EQ(report.at("records"), Json({{"applications.saved", "read"},
                                          {"drivers.saved", "read"},
                                          {"extensions.saved", "unreadable"}}));
    EXPECT_EQ(
        report.at("missingApplications"),
        Json::parse(
            R"([{"rootKey": 2147483650, "uninstallPath": "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                              "keyName": "{7A1B0C3D-TAVRIN-GONE}", "displayName": "Gone Editor \"2,1\""}])"));
    EXPECT_EQ(report.at("missingDrivers"),
              Json::parse(R"([{"name": "Old USB Webcam", "hardwareId": "USB\\VID_DEAD&PID_BEEF&REV_0001",
                              "classGuid": "{ca3e7ab9-b4c3-4ae6-8251-579ef933890f}"}])"));
    // Unreadable is no empty list.
    EXPECT_TRUE(report.at("lostAssociations").is_null());
    // No record of chosen states yet: nothing changed back.
    EXPECT_EQ(report.at("settingsChangedBack"), Json(0));

    const Json& settings = report.at("settings");
    ASSERT_TRUE(settings.is_object());
    EXPECT_EQ(settings.size(), Tavrin::Core::SettingsBook::Rows().size());
    for (const auto& row : Tavrin::Core::SettingsBook::Rows()) {
        ASSERT_TRUE(settings.contains(row.name)) << row.name;
        EXPECT_TRUE(settings.at(row.name).is_boolean()) << row.name;
    }
}

TEST_F(UpgradedAdminMode, NothingMissingAndEveryRecordReadExitsWith0)
{
    ASSERT_TRUE(::DeleteFileW(folder.File(L"extensions.saved").c_str()));
    std::list<Tavrin::Core::InstalledApp> kept = {
        {Tavrin::Core::kUsersRoot, L"S-1-5-21\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
         kKeptApp, L"Kept Tool"}};
    ASSERT_TRUE(Tavrin::Core::SaveInstalledApps(kept, folder.File(L"applications.saved")));
    ASSERT_TRUE(::DeleteFileW(folder.File(L"drivers.saved").c_str()));
    const ProcessResult run = Run(L"/report after.csv");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<std::string> lines =
        Lines(WithoutCarriageReturns(ReadFileBytes(elsewhere.File(L"after.csv"))));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 8), ",0,0,0,0") << lines[1];
}

// Several copies append to one file at once: one header, one whole row
// each. (A local file; a share's locks come from its server, which this
// machine does not have.)
TEST_F(UpgradedAdminMode, ManyWritersOfOneCsvFile)
{
    const std::wstring csv = elsewhere.File(L"readiness.csv");
    std::vector<std::unique_ptr<RunningProgram>> copies;
    for (int i = 0; i < 4; ++i)
        copies.push_back(
            std::make_unique<RunningProgram>(L"/report \"" + csv + L"\"", program, elsewhere.Path()));
    for (const auto& copy : copies) {
        ASSERT_TRUE(copy->Started());
        ASSERT_TRUE(copy->WaitForExit(180000));
        EXPECT_EQ(copy->ExitCode(), 1u); // the record has something missing
    }
    const std::string bytes = ReadFileBytes(csv);
    const std::vector<std::string> lines = Lines(bytes);
    ASSERT_EQ(lines.size(), 5u) << bytes;
    EXPECT_EQ(lines[0] + "\n", kReportCsvHeader);
    const auto fields = [](const std::string& line) {
        // The quoted display names hold no comma here: a row's fields are
        // counted by its commas.
        return std::count(line.begin(), line.end(), ',');
    };
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(fields(lines[i]), fields(lines[0])) << lines[i];
        EXPECT_EQ(lines[i].back(), '\r') << "every row ends with CR LF";
        EXPECT_NE(lines[i].find(",1,1,unreadable,"), std::string::npos) << lines[i];
    }
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 5);
}
