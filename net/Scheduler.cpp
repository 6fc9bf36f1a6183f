#include "net/Scheduler.h"

#include <cstdio>
#include <iterator>

#include "platform/ComPtr.h"
#include "platform/Module.h"

namespace Tavrin::Net {

using Platform::ComPtr;

namespace {

constexpr int kDeleteRetries = 20;
constexpr DWORD kDeleteRetryDelayMs = 100;

void Report(FILE* stream, const char* prefix, HRESULT hr)
{
    std::fprintf(stream, "%serror = 0x%lx\n", prefix, static_cast<unsigned long>(hr));
    std::fflush(stream);
}

HRESULT CreateTaskScheduler(ComPtr<ITaskScheduler>& scheduler)
{
    return ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                              scheduler.PutVoid());
}

std::wstring CurrentUserName()
{
    wchar_t name[1000] = {};
    DWORD length = static_cast<DWORD>(std::size(name));
    if (!::GetUserNameW(name, &length))
        return {};
    return name;
}

} // namespace

TASK_TRIGGER WeeklyUpdateTrigger()
{
    TASK_TRIGGER trigger = {};
    trigger.cbTriggerSize = sizeof(TASK_TRIGGER);
    trigger.wBeginYear = 2006;
    trigger.wBeginMonth = 1;
    trigger.wBeginDay = 1;
    trigger.wStartHour = 20;
    trigger.wStartMinute = 0;
    trigger.TriggerType = TASK_TIME_TRIGGER_WEEKLY;
    trigger.Type.Weekly.WeeksInterval = 1;
    trigger.Type.Weekly.rgfDaysOfTheWeek = TASK_SUNDAY | TASK_WEDNESDAY;
    return trigger;
}

bool Scheduler::TaskExists(const std::wstring& taskName)
{
    hr = ::CoInitialize(nullptr);
    if (FAILED(hr))
        return false;
    bool exists = false;
    {
        ComPtr<ITaskScheduler> scheduler;
        hr = CreateTaskScheduler(scheduler);
        if (SUCCEEDED(hr)) {
            ComPtr<ITask> task;
            hr = scheduler->Activate(taskName.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.Put()));
            exists = hr == S_OK;
        }
    }
    ::CoUninitialize();
    return exists;
}

bool Scheduler::CreateTask(const std::wstring& taskName, const std::wstring& programPath,
                           const std::wstring& workingDirectory)
{
    const char* failure = nullptr;
    {
        ComPtr<ITaskScheduler> scheduler;
        hr = CreateTaskScheduler(scheduler);
        if (FAILED(hr)) {
            ::CoUninitialize();
            return false;
        }
        ComPtr<ITask> task;
        hr = scheduler->NewWorkItem(taskName.c_str(), CLSID_CTask, IID_ITask,
                                    reinterpret_cast<IUnknown**>(task.Put()));
        if (FAILED(hr)) {
            failure = "Failed calling NewWorkItem, ";
        } else {
            // A task saved with some of these missing still runs or can be
            // mended by hand, so their results are not acted upon.
            task->SetApplicationName(programPath.c_str());
            task->SetParameters(L"/update");
            task->SetWorkingDirectory(workingDirectory.c_str());
            task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
            task->SetAccountInformation(CurrentUserName().c_str(), nullptr);
            task->SetComment(L"Scheduled Tavrin Update Check");

            ComPtr<IPersistFile> file;
            hr = task.As(file);
            if (FAILED(hr)) {
                failure = "Failed calling QueryInterface, ";
            } else {
                hr = file->Save(nullptr, TRUE);
                if (FAILED(hr))
                    failure = "Failed calling Save, ";
            }
        }
    }
    ::CoUninitialize();
    if (failure) {
        Report(stderr, failure, hr);
        return false;
    }
    return true;
}

void Scheduler::AddWeeklyTrigger(const std::wstring& taskName, const TASK_TRIGGER& trigger)
{
    hr = ::CoInitialize(nullptr);
    if (FAILED(hr))
        return;
    // Every interface is released before COM is uninitialised below.
    [&] {
        ComPtr<ITask> task;
        {
            ComPtr<ITaskScheduler> scheduler;
            hr = CreateTaskScheduler(scheduler);
            if (FAILED(hr))
                return;
            hr = scheduler->Activate(taskName.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.Put()));
        }
        if (FAILED(hr) || !task) {
            Report(stdout, "Failed calling ITaskScheduler::Activate: ", hr);
            return;
        }
        ComPtr<ITaskTrigger> taskTrigger;
        WORD index = 0;
        hr = task->CreateTrigger(&index, taskTrigger.Put());
        if (FAILED(hr)) {
            Report(stdout, "Failed calling ITask::CreatTrigger: ", hr);
            return;
        }
        TASK_TRIGGER copy = trigger;
        hr = taskTrigger->SetTrigger(&copy);
        if (FAILED(hr)) {
            Report(stdout, "Failed calling ITaskTrigger::SetTrigger: ", hr);
            return;
        }
        ComPtr<IPersistFile> file;
        if (SUCCEEDED(task.As(file)))
            hr = file->Save(nullptr, TRUE);
        std::fputs("The trigger was created and IPersistFile::Save was \n", stdout);
        std::fputs("called to save the new trigger to disk.\n", stdout);
        std::fflush(stdout);
    }();
    ::CoUninitialize();
}

bool Scheduler::DeleteTask(const std::wstring& taskName)
{
    hr = ::CoInitialize(nullptr);
    if (FAILED(hr))
        return false;
    bool deleted = false;
    {
        ComPtr<ITaskScheduler> scheduler;
        hr = CreateTaskScheduler(scheduler);
        if (SUCCEEDED(hr)) {
            // The scheduler service reads a task file for a moment after it
            // appears or changes; deleting it then fails with a sharing
            // violation, which a short wait resolves.
            hr = scheduler->Delete(taskName.c_str());
            for (int attempt = 0;
                 hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION) && attempt < kDeleteRetries; ++attempt) {
                ::Sleep(kDeleteRetryDelayMs);
                hr = scheduler->Delete(taskName.c_str());
            }
            deleted = hr == S_OK;
        }
    }
    ::CoUninitialize();
    return deleted;
}

void ConfigureUpdateTask(bool install)
{
    std::wstring program = Platform::ModuleFileName(nullptr);
    Scheduler scheduler;
    bool exists = scheduler.TaskExists(kUpdateTaskName);
    if (install && !exists) {
        if (SUCCEEDED(::CoInitialize(nullptr))) {
            // The task's start folder is the program's own; the program
            // makes that its current folder anyway.
            scheduler.CreateTask(kUpdateTaskName, program, Platform::FolderOf(program));
        }
        scheduler.AddWeeklyTrigger(kUpdateTaskName, WeeklyUpdateTrigger());
    } else if (!install && exists) {
        scheduler.DeleteTask(kUpdateTaskName);
    }
}

} // namespace Tavrin::Net
