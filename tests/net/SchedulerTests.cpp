#include <gtest/gtest.h>

#include <thread>

#include "net/Scheduler.h"
#include "platform/ComPtr.h"
#include "platform/UniqueHandle.h"
#include "tests/support/NetTestSupport.h"

using Tavrin::Net::Scheduler;
using Tavrin::Net::WeeklyUpdateTrigger;
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

TEST_F(SchedulerTest, ACreatedTaskRunsTheProgramWithUpdate)
{
    ASSERT_TRUE(Create());
    EXPECT_TRUE(scheduler.TaskExists(name));
    auto task = ReadTask(name);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->application, L"C:\\Program Files\\Tavrin\\tavrin.exe");
    EXPECT_EQ(task->parameters, L"/update");
    EXPECT_EQ(task->workingDirectory, L"C:\\Program Files\\Tavrin");
    EXPECT_EQ(task->comment, L"Scheduled Tavrin Update Check");
    EXPECT_TRUE(task->flags & TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
    EXPECT_EQ(task->EnabledTriggers(), 0u);
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
    auto task = ReadTask(name);
    ASSERT_TRUE(task);
    ASSERT_EQ(task->EnabledTriggers(), 1u);
    for (const auto& entry : task->triggers) {
        if (!entry.enabled)
            continue;
        EXPECT_EQ(entry.trigger.TriggerType, TASK_TIME_TRIGGER_WEEKLY);
        EXPECT_EQ(entry.trigger.Type.Weekly.rgfDaysOfTheWeek, TASK_SUNDAY | TASK_WEDNESDAY);
        EXPECT_EQ(entry.trigger.Type.Weekly.WeeksInterval, 1);
        EXPECT_EQ(entry.trigger.wStartHour, 20);
        EXPECT_EQ(entry.trigger.wStartMinute, 0);
        EXPECT_EQ(entry.trigger.wBeginYear, 2006);
        EXPECT_EQ(entry.trigger.wBeginMonth, 1);
        EXPECT_EQ(entry.trigger.wBeginDay, 1);
    }
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
    EXPECT_FALSE(ReadTask(name));
    EXPECT_FALSE(scheduler.DeleteTask(name));
}

TEST_F(SchedulerTest, ATaskFileBrieflyInUseIsStillDeleted)
{
    ASSERT_TRUE(Create());
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
    ASSERT_TRUE(Create());
    Tavrin::Platform::UniqueHandle reader = OpenTaskFile();
    ASSERT_TRUE(reader);
    EXPECT_FALSE(scheduler.DeleteTask(name));
    EXPECT_EQ(scheduler.LastResult(), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    reader.Reset();
    EXPECT_TRUE(scheduler.TaskExists(name));
}
