#include <gtest/gtest.h>
#include <taskschd.h>

#include <algorithm>

#include "core/DeploymentPolicy.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TaskTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;

namespace {

const char kInstallQuery[] =
    "/prodstats/?aid=49&pid=89&cpid=349&vid=85&lid=en&Version=&LicenseKey=&INSTALLDATE=&Desktop=FALSE"
    "&Login=FALSE&Quick=FALSE&Updates=FALSE&AutoScan=FALSE&Offers=&OffersSelected=&trackingID=&ep=";
const wchar_t kTask[] = L"TavrinUpdate";

// The real program, copied to a folder of its own, run in one mode with the
// statistics endpoint pointed at a loopback server.
class InstallModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Started());
        RemoveTask(kTask);
        program = folder.File(L"tavrin.exe");
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\tavrin.exe").c_str(), program.c_str(), FALSE));
        installer.SetString(L"StatsHost", server.Address());
        server.Answer("/prodstats/", Reply(200, "ok"));
    }
    void TearDown() override { RemoveTask(kTask); }

    ProcessResult Run(const std::wstring& mode)
    {
        ProcessResult result = RunProcess(L"\"" + program + L"\" " + mode, 120000);
        // The standard streams are in text mode: line ends arrive as "\r\n".
        result.output.erase(std::remove(result.output.begin(), result.output.end(), '\r'),
                            result.output.end());
        EXPECT_FALSE(result.timedOut) << "tavrin.exe " << std::string(mode.begin(), mode.end());
        return result;
    }

    static bool HasTaskFile()
    {
        auto files = TaskFiles();
        return std::find(files.begin(), files.end(), std::wstring(kTask) + L".job") != files.end();
    }

    std::vector<std::wstring> Registrations() const
    {
        return service.CallsStartingWith(L"register " + std::wstring(kTask) + L" ");
    }

    TaskServiceStandIn service;
    InstallerKey installer;
    LoopbackHttpServer server;
    TempFolder folder;
    std::wstring program;
};

} // namespace

TEST_F(InstallModeTest, InstallCreatesTheWeeklyUpdateTaskAndSendsOneReport)
{
    ProcessResult result = Run(L"/install");
    EXPECT_NE(result.output.find("The trigger was created and IPersistFile::Save was \n"
                                 "called to save the new trigger to disk.\n"),
              std::string::npos)
        << result.output;

    auto task = FindScheduledTask(kTask);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->program, program);
    EXPECT_EQ(task->arguments, L"/update");
    EXPECT_EQ(task->description, L"Scheduled Tavrin Update Check");
    EXPECT_EQ(task->workingDirectory, folder.Path());
    EXPECT_EQ(task->otherTriggers, 0u);
    ASSERT_EQ(task->weeklyTriggers.size(), 1u);
    EXPECT_TRUE(task->weeklyTriggers[0].enabled);
    EXPECT_EQ(task->weeklyTriggers[0].days, TASK_SUNDAY | TASK_WEDNESDAY);
    EXPECT_EQ(task->weeklyTriggers[0].start, L"2006-01-01T20:00:00");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, kInstallQuery);
    EXPECT_EQ(requests[0].Header("User-Agent").value_or(""), "SurveyRequest");
}

// The manifest demands administrator rights, so a task with a user's limited
// token fails to start the program every week (0x800702E4); one for the user
// who installed runs only while that user is logged on.
TEST_F(InstallModeTest, InstallRegistersATaskThatStartsTheProgramAsLocalSystem)
{
    Run(L"/install");
    auto task = FindScheduledTask(kTask);
    ASSERT_TRUE(task);
    EXPECT_FALSE(task->madeThroughOldInterface);
    EXPECT_TRUE(task->RunsElevated()) << task->runLevel;
    EXPECT_EQ(task->logonType, L"ServiceAccount");
    EXPECT_TRUE(IsLocalSystem(task->user)) << task->user;
    // Nothing was left behind through the older interface.
    EXPECT_FALSE(HasTaskFile());
}

// The installer runs "/install" as LocalSystem; an administrator may run it
// from a prompt. Either way the same task is registered.
TEST_F(InstallModeTest, InstallAsLocalSystemRegistersTheSameTask)
{
    Run(L"/install");
    auto asUser = FindScheduledTask(kTask);
    ASSERT_TRUE(asUser);
    Run(L"/uninstall");
    ASSERT_FALSE(FindScheduledTask(kTask));
    service.CallAsLocalSystem();
    Run(L"/install");
    auto asSystem = FindScheduledTask(kTask);
    ASSERT_TRUE(asSystem);
    EXPECT_EQ(asSystem->xml, asUser->xml);
    auto registrations = Registrations();
    ASSERT_EQ(registrations.size(), 4u);
    EXPECT_EQ(registrations[2], registrations[0]);
    EXPECT_EQ(registrations[3], registrations[1]);
}

TEST_F(InstallModeTest, InstallingTwiceLeavesOneTaskWithOneEnabledTrigger)
{
    Run(L"/install");
    ProcessResult second = Run(L"-INSTALL");
    // The second run leaves the task alone: no new trigger is reported.
    EXPECT_EQ(second.output.find("The trigger was created"), std::string::npos) << second.output;
    auto task = FindScheduledTask(kTask);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->weeklyTriggers.size(), 1u);
    // One registration that creates the task and one that adds its trigger.
    auto registrations = Registrations();
    ASSERT_EQ(registrations.size(), 2u);
    EXPECT_NE(registrations[0].find(L" flags=" + std::to_wstring(TASK_CREATE) + L" "), std::wstring::npos);
    EXPECT_NE(registrations[1].find(L" flags=" + std::to_wstring(TASK_UPDATE) + L" "), std::wstring::npos);
    EXPECT_EQ(server.Requests().size(), 2u); // one report per run
}

TEST_F(InstallModeTest, InstallKeepsAnExistingTaskAsItIs)
{
    Run(L"/install");
    TempFolder other;
    std::wstring otherProgram = other.File(L"tavrin.exe");
    ASSERT_TRUE(::CopyFileW(program.c_str(), otherProgram.c_str(), FALSE));
    RunProcess(L"\"" + otherProgram + L"\" /install", 120000);
    auto task = FindScheduledTask(kTask);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->program, program);
}

// An installer that upgrades removes the older version's task with that
// version's "/uninstall"; until then "/install" leaves it alone.
TEST_F(InstallModeTest, InstallKeepsATaskAnOlderVersionMade)
{
    ASSERT_TRUE(MakeOldTask(kTask, L"C:\\Old\\tavrin.exe"));
    Run(L"/install");
    auto task = FindScheduledTask(kTask);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->program, L"C:\\Old\\tavrin.exe");
    EXPECT_TRUE(Registrations().empty());
}

TEST_F(InstallModeTest, UninstallRemovesATaskAnOlderVersionMade)
{
    ASSERT_TRUE(MakeOldTask(kTask, L"C:\\Old\\tavrin.exe"));
    ASSERT_TRUE(HasTaskFile());
    Run(L"/uninstall");
    EXPECT_FALSE(FindScheduledTask(kTask));
    EXPECT_FALSE(HasTaskFile());
}

TEST_F(InstallModeTest, TheInstallReportCarriesTheInstallerFlagsAndOffers)
{
    installer.SetDword(L"Silent", 1);
    installer.SetDword(L"Desktop", 1);
    installer.SetDword(L"Toolbar", 0, L"Offers");
    Run(L"/install");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& target = requests[0].target;
    EXPECT_EQ(target.rfind("/prodstats/?aid=51&", 0), 0u) << target;
    EXPECT_NE(target.find("&Desktop=TRUE&"), std::string::npos) << target;
    EXPECT_NE(target.find("&Offers=Toolbar&OffersSelected=0&"), std::string::npos) << target;
}

TEST_F(InstallModeTest, UninstallRemovesTheTaskAndSendsNothing)
{
    Run(L"/install");
    ASSERT_TRUE(FindScheduledTask(kTask));
    Run(L"/uninstall");
    EXPECT_FALSE(FindScheduledTask(kTask));
    EXPECT_FALSE(HasTaskFile());
    EXPECT_EQ(server.Requests().size(), 1u); // the install report only
}

// The rollback of an uninstall that failed after removing the task: the task
// as "/install" registers it, and no install report.
TEST_F(InstallModeTest, RestoreTaskRegistersTheInstalledTaskAndSendsNothing)
{
    Run(L"/install");
    auto installed = FindScheduledTask(kTask);
    ASSERT_TRUE(installed);
    Run(L"/uninstall");
    ASSERT_FALSE(FindScheduledTask(kTask));
    ProcessResult restored = Run(L"/restoretask");
    EXPECT_EQ(restored.exitCode, 0u);
    auto task = FindScheduledTask(kTask);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->xml, installed->xml);
    EXPECT_EQ(server.Requests().size(), 1u); // the install report only
    // A task already there is kept as it is.
    EXPECT_EQ(Run(L"/restoretask").exitCode, 0u);
    EXPECT_EQ(Registrations().size(), 4u);
}

TEST_F(InstallModeTest, UninstallWithoutTheTaskChangesNothing)
{
    auto before = TaskFiles();
    ProcessResult result = Run(L"/uninstall");
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(TaskFiles(), before);
    EXPECT_FALSE(FindScheduledTask(kTask));
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(InstallModeTest, ASilentStatisticsServerDoesNotHoldTheInstallMode)
{
    HttpAnswer silent;
    silent.silent = true;
    server.Answer("/prodstats/", silent);
    DWORD start = ::GetTickCount();
    ProcessResult result = Run(L"/install");
    EXPECT_FALSE(result.timedOut);
    EXPECT_LT(::GetTickCount() - start, 90000u);
    EXPECT_TRUE(FindScheduledTask(kTask));
    EXPECT_GE(server.Requests().size(), 1u);
}

TEST_F(InstallModeTest, AnUnreachableStatisticsServerStillInstallsTheTask)
{
    LoopbackHttpServer closed;
    std::wstring address = closed.Address();
    closed.Stop();
    installer.SetString(L"StatsHost", address);
    ProcessResult result = Run(L"/install");
    EXPECT_FALSE(result.timedOut);
    auto task = FindScheduledTask(kTask);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->weeklyTriggers.size(), 1u);
}

// Switched off by policy, the install registers the task and sends nothing.
TEST_F(InstallModeTest, ThePolicyDisableUsageReportSendsNoReport)
{
    const DeploymentPolicySet policy(Tavrin::Core::DeploymentPolicy::DisableUsageReport);
    ProcessResult result = Run(L"/install");
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_TRUE(FindScheduledTask(kTask));
    EXPECT_TRUE(server.Requests().empty());
}
