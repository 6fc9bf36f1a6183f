#include <gtest/gtest.h>

#include <taskschd.h>

#include <thread>

#include "net/Scheduler.h"
#include "net/TaskDefinition.h"
#include "platform/ComPtr.h"
#include "platform/ComVariant.h"
#include "platform/UniqueHandle.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TaskTestSupport.h"

using Tavrin::Net::Scheduler;
using Tavrin::Net::WeeklyUpdateTrigger;
using Tavrin::Test::FindScheduledTask;
using Tavrin::Test::ReadTask;

namespace {

class SchedulerTest : public ::testing::Test {
protected:
    SchedulerTest() : name(L"TavrinTest" + std::to_wstring(::GetCurrentProcessId())) {}
    void SetUp() override { Tavrin::Test::RemoveTask(name); }
    void TearDown() override { Tavrin::Test::RemoveTask(name); }

    bool Create()
    {
        if (FAILED(::CoInitialize(nullptr)))
            return false;
        return scheduler.CreateTask(name, L"C:\\Program Files\\Tavrin\\tavrin.exe",
                                    L"C:\\Program Files\\Tavrin");
    }

    // The task's file, opened the way a reader that does not share deletion
    // opens it.
    Tavrin::Platform::UniqueHandle OpenTaskFile() const
    {
        wchar_t windows[MAX_PATH];
        ::GetWindowsDirectoryW(windows, MAX_PATH);
        const std::wstring file = std::wstring(windows) + L"\\Tasks\\" + name + L".job";
        return Tavrin::Platform::UniqueHandle(
            ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }

    // The registrations the service saw for the test's task.
    std::vector<std::wstring> Registrations() const
    {
        return service.CallsStartingWith(L"register " + name + L" ");
    }

    Tavrin::Test::TaskServiceStandIn service;
    std::wstring name;
    Scheduler scheduler;
};

} // namespace

TEST(WeeklyTrigger, RunsSundayAndWednesdayAtEightInTheEveningFrom2006)
{
    TASK_TRIGGER trigger = WeeklyUpdateTrigger();
    EXPECT_EQ(sizeof(TASK_TRIGGER), 48u);
    EXPECT_EQ(trigger.cbTriggerSize, 48);
    EXPECT_EQ(trigger.wBeginYear, 2006);
    EXPECT_EQ(trigger.wBeginMonth, 1);
    EXPECT_EQ(trigger.wBeginDay, 1);
    EXPECT_EQ(trigger.wEndYear, 0);
    EXPECT_EQ(trigger.wStartHour, 20);
    EXPECT_EQ(trigger.wStartMinute, 0);
    EXPECT_EQ(trigger.MinutesDuration, 0u);
    EXPECT_EQ(trigger.MinutesInterval, 0u);
    EXPECT_EQ(trigger.rgFlags, 0u);
    EXPECT_EQ(trigger.TriggerType, TASK_TIME_TRIGGER_WEEKLY);
    EXPECT_EQ(trigger.Type.Weekly.WeeksInterval, 1);
    EXPECT_EQ(trigger.Type.Weekly.rgfDaysOfTheWeek, 0x0009);
    EXPECT_EQ(trigger.wRandomMinutesInterval, 0);
}

TEST_F(SchedulerTest, AMissingTaskDoesNotExist)
{
    EXPECT_FALSE(scheduler.TaskExists(name));
}

// The program demands administrator rights: a task that starts it with a
// user's limited token fails every time (0x800702E4). A task for the user who
// installed runs only while that user is logged on, and never for another.
TEST_F(SchedulerTest, ACreatedTaskRunsTheProgramWithUpdateAsLocalSystemWithoutAPassword)
{
    ASSERT_TRUE(Create());
    EXPECT_TRUE(scheduler.TaskExists(name));
    auto task = FindScheduledTask(name);
    ASSERT_TRUE(task);
    EXPECT_FALSE(task->madeThroughOldInterface);
    EXPECT_TRUE(task->RunsElevated()) << task->runLevel;
    EXPECT_EQ(task->logonType, L"ServiceAccount");
    EXPECT_TRUE(Tavrin::Test::IsLocalSystem(task->user)) << task->user;
    EXPECT_EQ(task->program, L"C:\\Program Files\\Tavrin\\tavrin.exe");
    EXPECT_EQ(task->arguments, L"/update");
    EXPECT_EQ(task->workingDirectory, L"C:\\Program Files\\Tavrin");
    EXPECT_EQ(task->description, L"Scheduled Tavrin Update Check");
    EXPECT_TRUE(task->weeklyTriggers.empty());
    auto registrations = Registrations();
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_NE(registrations[0].find(L" flags=" + std::to_wstring(TASK_CREATE) + L" "), std::wstring::npos);
    EXPECT_NE(registrations[0].find(L" logon=" + std::to_wstring(TASK_LOGON_SERVICE_ACCOUNT) + L" "),
              std::wstring::npos);
}

// The installer's action runs as LocalSystem, an administrator's "/install"
// as that administrator: both register the same task.
TEST_F(SchedulerTest, TheTaskIsTheSameWhoeverRegistersIt)
{
    ASSERT_TRUE(Create()) << std::hex << scheduler.LastResult();
    auto asUser = FindScheduledTask(name);
    ASSERT_TRUE(asUser);
    ASSERT_TRUE(scheduler.DeleteTask(name));
    service.CallAsLocalSystem();
    ASSERT_TRUE(Create()) << std::hex << scheduler.LastResult();
    auto asSystem = FindScheduledTask(name);
    ASSERT_TRUE(asSystem);
    EXPECT_EQ(asSystem->xml, asUser->xml);
    auto registrations = Registrations();
    ASSERT_EQ(registrations.size(), 2u);
    EXPECT_EQ(registrations[0], registrations[1]);
}

TEST_F(SchedulerTest, ATaskOfThatNameIsNeverReplacedByCreate)
{
    ASSERT_TRUE(Create());
    EXPECT_FALSE(Create());
    EXPECT_EQ(scheduler.LastResult(), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Registrations().size(), 2u);
}

TEST_F(SchedulerTest, CreateTaskLeavesComUninitialisedOnce)
{
    ASSERT_EQ(::CoInitialize(nullptr), S_OK); // this thread's first
    ASSERT_EQ(::CoInitialize(nullptr), S_FALSE);
    EXPECT_TRUE(scheduler.CreateTask(name, L"C:\\t.exe", L"C:\\"));
    // One of the two initialisations is left: a further one reports S_FALSE.
    EXPECT_EQ(::CoInitialize(nullptr), S_FALSE);
    ::CoUninitialize();
    ::CoUninitialize();
}

TEST_F(SchedulerTest, TheWeeklyTriggerIsSavedWithTheTask)
{
    ASSERT_TRUE(Create());
    scheduler.AddWeeklyTrigger(name, WeeklyUpdateTrigger());
    EXPECT_EQ(scheduler.LastResult(), S_OK);
    auto task = FindScheduledTask(name);
    ASSERT_TRUE(task);
    EXPECT_TRUE(task->RunsElevated());
    EXPECT_EQ(task->otherTriggers, 0u);
    ASSERT_EQ(task->weeklyTriggers.size(), 1u);
    const auto& trigger = task->weeklyTriggers[0];
    EXPECT_TRUE(trigger.enabled);
    EXPECT_EQ(trigger.start, L"2006-01-01T20:00:00");
    EXPECT_EQ(trigger.weeksInterval, 1);
    EXPECT_EQ(trigger.days, TASK_SUNDAY | TASK_WEDNESDAY);
    // The trigger updates the task the program registered.
    auto registrations = Registrations();
    ASSERT_EQ(registrations.size(), 2u);
    EXPECT_NE(registrations[1].find(L" flags=" + std::to_wstring(TASK_UPDATE) + L" "), std::wstring::npos);
}

// Only weekly triggers without repetition are carried over; anything else
// leaves the task as it was rather than half converted.
TEST_F(SchedulerTest, ATriggerOfAnotherKindChangesNothing)
{
    ASSERT_TRUE(Create());
    TASK_TRIGGER daily = WeeklyUpdateTrigger();
    daily.TriggerType = TASK_TIME_TRIGGER_DAILY;
    TASK_TRIGGER repeating = WeeklyUpdateTrigger();
    repeating.MinutesInterval = 60;
    repeating.MinutesDuration = 120;
    for (const TASK_TRIGGER& trigger : {daily, repeating}) {
        scheduler.AddWeeklyTrigger(name, trigger);
        EXPECT_EQ(scheduler.LastResult(), E_INVALIDARG);
    }
    auto task = FindScheduledTask(name);
    ASSERT_TRUE(task);
    EXPECT_TRUE(task->weeklyTriggers.empty());
    EXPECT_EQ(task->otherTriggers, 0u);
    EXPECT_EQ(Registrations().size(), 1u);
}

TEST_F(SchedulerTest, ATriggerForAMissingTaskChangesNothing)
{
    scheduler.AddWeeklyTrigger(name, WeeklyUpdateTrigger());
    EXPECT_TRUE(FAILED(scheduler.LastResult()));
    EXPECT_FALSE(scheduler.TaskExists(name));
}

TEST_F(SchedulerTest, DeleteRemovesTheTaskOnce)
{
    ASSERT_TRUE(Create());
    EXPECT_TRUE(scheduler.DeleteTask(name)) << std::hex << scheduler.LastResult();
    EXPECT_FALSE(scheduler.TaskExists(name));
    EXPECT_FALSE(FindScheduledTask(name));
    EXPECT_FALSE(scheduler.DeleteTask(name));
}

TEST_F(SchedulerTest, AnOlderVersionsTaskIsFoundAndDeleted)
{
    ASSERT_TRUE(Tavrin::Test::MakeOldTask(name, L"C:\\Tavrin\\tavrin.exe"));
    EXPECT_TRUE(scheduler.TaskExists(name));
    EXPECT_TRUE(scheduler.DeleteTask(name)) << std::hex << scheduler.LastResult();
    EXPECT_FALSE(ReadTask(name));
    EXPECT_FALSE(scheduler.TaskExists(name));
    EXPECT_FALSE(scheduler.DeleteTask(name));
}

TEST_F(SchedulerTest, ATaskFileBrieflyInUseIsStillDeleted)
{
    ASSERT_TRUE(Tavrin::Test::MakeOldTask(name, L"C:\\Tavrin\\tavrin.exe"));
    Tavrin::Platform::UniqueHandle reader = OpenTaskFile();
    ASSERT_TRUE(reader);
    std::thread release([&] {
        ::Sleep(500);
        reader.Reset();
    });
    bool deleted = scheduler.DeleteTask(name);
    release.join();
    EXPECT_TRUE(deleted) << std::hex << scheduler.LastResult();
    EXPECT_FALSE(scheduler.TaskExists(name));
}

TEST_F(SchedulerTest, ATaskFileHeldOpenIsReportedAsNotDeleted)
{
    ASSERT_TRUE(Tavrin::Test::MakeOldTask(name, L"C:\\Tavrin\\tavrin.exe"));
    Tavrin::Platform::UniqueHandle reader = OpenTaskFile();
    ASSERT_TRUE(reader);
    EXPECT_FALSE(scheduler.DeleteTask(name));
    EXPECT_EQ(scheduler.LastResult(), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    reader.Reset();
    EXPECT_TRUE(scheduler.TaskExists(name));
}

namespace {

struct Refusal {
    const char* what;
    const wchar_t* from; // replaced in the update task's definition
    const wchar_t* to;
    LONG flags;
    const wchar_t* user; // "me": the current user
    HRESULT expected;
    TASK_LOGON_TYPE logon = TASK_LOGON_SERVICE_ACCOUNT;
};

constexpr HRESULT kUnexpectedNode = static_cast<HRESULT>(0x80041317);
constexpr HRESULT kInvalidValue = static_cast<HRESULT>(0x80041318);
constexpr HRESULT kMissingNode = static_cast<HRESULT>(0x80041319);
constexpr HRESULT kMalformedXml = static_cast<HRESULT>(0x8004131A);
constexpr HRESULT kNamespace = static_cast<HRESULT>(0x8004131C);

const Refusal kRefusals[] = {
    {"the task as the program makes it", L"", L"", TASK_CREATE, nullptr, S_OK},
    {"no command", L"<Command>C:\\t.exe</Command>", L"", TASK_CREATE, nullptr, kMissingNode},
    {"an unknown run level", L"HighestAvailable", L"Highest", TASK_CREATE, nullptr, kInvalidValue},
    {"an unknown element", L"<Settings>", L"<Settings><Sparkle>true</Sparkle>", TASK_CREATE, nullptr,
     kUnexpectedNode},
    {"another namespace", L"/mit/task", L"/mit/job", TASK_CREATE, nullptr, kNamespace},
    {"broken XML", L"</Task>", L"", TASK_CREATE, nullptr, kMalformedXml},
    {"a calendar trigger without start", L"<Settings>",
     L"<Triggers><CalendarTrigger><ScheduleByWeek><DaysOfWeek><Sunday/></DaysOfWeek></ScheduleByWeek>"
     L"</CalendarTrigger></Triggers><Settings>",
     TASK_CREATE, nullptr, kMissingNode},
    {"a weekly trigger without days", L"<Settings>",
     L"<Triggers><CalendarTrigger><StartBoundary>2006-01-01T20:00:00</StartBoundary><ScheduleByWeek>"
     L"<WeeksInterval>1</WeeksInterval></ScheduleByWeek></CalendarTrigger></Triggers><Settings>",
     TASK_CREATE, nullptr, kMissingNode},
    {"an update of a missing task", L"", L"", TASK_UPDATE, nullptr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
    {"an account that does not exist", L"", L"", TASK_CREATE, L"NoSuchUser4711",
     HRESULT_FROM_WIN32(ERROR_NONE_MAPPED), TASK_LOGON_INTERACTIVE_TOKEN},
    {"the current user's interactive session", L"", L"", TASK_CREATE, L"me", S_OK,
     TASK_LOGON_INTERACTIVE_TOKEN},
    {"LocalSystem by name", L"", L"", TASK_CREATE, L"SYSTEM", S_OK},
    {"Network Service", L"", L"", TASK_CREATE, L"S-1-5-20", S_OK},
    // What "/install" registered when the installer ran it as LocalSystem.
    {"an interactive session of LocalSystem", L"", L"", TASK_CREATE, L"S-1-5-18",
     HRESULT_FROM_WIN32(ERROR_NONE_MAPPED), TASK_LOGON_INTERACTIVE_TOKEN},
    {"an interactive session of SYSTEM by name", L"", L"", TASK_CREATE, L"SYSTEM",
     HRESULT_FROM_WIN32(ERROR_NONE_MAPPED), TASK_LOGON_INTERACTIVE_TOKEN},
    {"an interactive session of the computer's account", L"", L"", TASK_CREATE, L"machine",
     HRESULT_FROM_WIN32(ERROR_NONE_MAPPED), TASK_LOGON_INTERACTIVE_TOKEN},
    {"an S4U logon of LocalSystem", L"", L"", TASK_CREATE, L"S-1-5-18", HRESULT_FROM_WIN32(ERROR_NONE_MAPPED),
     TASK_LOGON_S4U},
    {"a service-account logon of a user", L"", L"", TASK_CREATE, L"me",
     HRESULT_FROM_WIN32(ERROR_NONE_MAPPED)},
    {"a service-account logon written into the definition", L"<RunLevel>",
     L"<LogonType>ServiceAccount</LogonType><RunLevel>", TASK_CREATE, nullptr, kInvalidValue,
     TASK_LOGON_NONE},
};

// What a registration names for "me" and "machine": the current user, and
// the computer's own account as LocalSystem is called in its domain.
std::wstring AccountOf(const wchar_t* user)
{
    if (std::wstring(user) == L"me")
        return Tavrin::Test::CurrentUser();
    if (std::wstring(user) != L"machine")
        return user;
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(computer, &length);
    return std::wstring(L"WORKGROUP\\") + computer + L"$";
}

} // namespace

// The stand-in refuses, with the service's own codes, what the service
// refuses; a definition it accepts is one Windows would accept too.
TEST(TaskServiceStandIn, RefusesWhatTheServiceRefuses)
{
    Tavrin::Test::TaskServiceStandIn standIn;
    Tavrin::Platform::ComApartment com;
    Tavrin::Platform::ComPtr<ITaskService> service;
    ASSERT_EQ(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                 service.PutVoid()),
              S_OK);
    Tavrin::Platform::Variant none;
    Tavrin::Platform::BStr root(L"\\");
    Tavrin::Platform::ComPtr<ITaskFolder> folder;
    EXPECT_EQ(service->GetFolder(root.Get(), folder.Put()), HRESULT_FROM_WIN32(ERROR_ONLY_IF_CONNECTED));
    ASSERT_EQ(service->Connect(none.Get(), none.Get(), none.Get(), none.Get()), S_OK);
    ASSERT_EQ(service->GetFolder(root.Get(), folder.Put()), S_OK);

    const std::wstring base =
        Tavrin::Net::TaskDefinitionXml({L"C:\\t.exe", L"/update", L"C:\\", L"Scheduled Tavrin Update Check"});
    int index = 0;
    for (const Refusal& refusal : kRefusals) {
        std::wstring xml = base;
        if (*refusal.from) {
            size_t at = xml.find(refusal.from);
            ASSERT_NE(at, std::wstring::npos) << refusal.what;
            xml.replace(at, wcslen(refusal.from), refusal.to);
        }
        const std::wstring taskName = L"StandInTest" + std::to_wstring(++index);
        Tavrin::Platform::BStr path(taskName), text(xml);
        Tavrin::Platform::Variant user;
        if (refusal.user) {
            user.Put()->vt = VT_BSTR;
            user.Get().bstrVal = ::SysAllocString(AccountOf(refusal.user).c_str());
        }
        Tavrin::Platform::ComPtr<IRegisteredTask> task;
        EXPECT_EQ(folder->RegisterTask(path.Get(), text.Get(), refusal.flags, user.Get(), none.Get(),
                                       refusal.logon, none.Get(), task.Put()),
                  refusal.expected)
            << refusal.what;
        task.Reset();
        EXPECT_EQ(folder->GetTask(path.Get(), task.Put()) == S_OK, refusal.expected == S_OK) << refusal.what;
        if (refusal.expected == S_OK) {
            EXPECT_EQ(folder->RegisterTask(path.Get(), text.Get(), TASK_CREATE, user.Get(), none.Get(),
                                           refusal.logon, none.Get(), task.Put()),
                      HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS))
                << refusal.what;
        }
    }
}
