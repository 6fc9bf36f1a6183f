#include "net/Scheduler.h"

#include <cstdio>

#include <taskschd.h>

#include "net/TaskDefinition.h"
#include "platform/ComPtr.h"
#include "platform/ComVariant.h"
#include "platform/Module.h"

namespace Tavrin::Net {

using Platform::BStr;
using Platform::ComPtr;
using Platform::Variant;

namespace {

constexpr int kDeleteRetries = 20;
constexpr DWORD kDeleteRetryDelayMs = 100;
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

void Report(FILE* stream, const char* prefix, HRESULT hr)
{
    std::fprintf(stream, "%serror = 0x%lx\n", prefix, static_cast<unsigned long>(hr));
    std::fflush(stream);
}

HRESULT CreateTaskScheduler(ComPtr<ITaskScheduler>& scheduler)
{
    return scheduler.CreateInstance(CLSID_CTaskScheduler, CLSCTX_INPROC_SERVER, IID_ITaskScheduler);
}

// The root folder of the Task Scheduler service of this computer, connected
// as the calling user.
HRESULT OpenRootFolder(ComPtr<ITaskFolder>& folder)
{
    ComPtr<ITaskService> service;
    HRESULT hr = service.CreateInstance(CLSID_TaskScheduler, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;
    Variant none;
    hr = service->Connect(none.Get(), none.Get(), none.Get(), none.Get());
    if (FAILED(hr))
        return hr;
    BStr root(L"\\");
    return service->GetFolder(root.Get(), folder.Put());
}

// Registers the definition for its account with the service-account logon:
// nothing in the registration depends on who calls, so the MSI's action
// (LocalSystem) and an administrator's "/install" register the same task.
HRESULT RegisterDefinition(ITaskFolder* folder, const std::wstring& taskName, const std::wstring& xml,
                           TASK_CREATION creation)
{
    BStr path(taskName), text(xml);
    Variant account, none;
    VARIANT* accountValue = account.Put();
    accountValue->vt = VT_BSTR;
    accountValue->bstrVal = ::SysAllocString(kUpdateTaskAccount);
    ComPtr<IRegisteredTask> registered;
    return folder->RegisterTask(path.Get(), text.Get(), creation, account.Get(), none.Get(),
                                TASK_LOGON_SERVICE_ACCOUNT, none.Get(), registered.Put());
}

// Deletes a task of the 1.0 interface. Where both interfaces share one store
// (Windows itself) the service has already deleted it and this finds nothing.
HRESULT DeleteOldTask(const std::wstring& taskName)
{
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(CreateTaskScheduler(scheduler)))
        return kNotFound;
    // The scheduler service reads a task file for a moment after it appears
    // or changes; deleting it then fails with a sharing violation, which a
    // short wait resolves.
    HRESULT hr = scheduler->Delete(taskName.c_str());
    for (int attempt = 0; hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION) && attempt < kDeleteRetries;
         ++attempt) {
        ::Sleep(kDeleteRetryDelayMs);
        hr = scheduler->Delete(taskName.c_str());
    }
    return hr;
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
    m_hr = ::CoInitialize(nullptr);
    if (FAILED(m_hr))
        return false;
    bool exists = false;
    {
        ComPtr<ITaskFolder> folder;
        m_hr = OpenRootFolder(folder);
        if (SUCCEEDED(m_hr)) {
            BStr path(taskName);
            ComPtr<IRegisteredTask> task;
            m_hr = folder->GetTask(path.Get(), task.Put());
            exists = m_hr == S_OK;
        }
        ComPtr<ITaskScheduler> scheduler;
        if (!exists && SUCCEEDED(m_hr = CreateTaskScheduler(scheduler))) {
            ComPtr<ITask> task;
            m_hr = scheduler->Activate(taskName.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.Put()));
            exists = m_hr == S_OK;
        }
    }
    ::CoUninitialize();
    return exists;
}

bool Scheduler::CreateTask(const std::wstring& taskName, const std::wstring& programPath,
                           const std::wstring& workingDirectory)
{
    {
        ComPtr<ITaskFolder> folder;
        m_hr = OpenRootFolder(folder);
        if (FAILED(m_hr)) {
            ::CoUninitialize();
            return false;
        }
        m_hr = RegisterDefinition(
            folder.Get(), taskName,
            TaskDefinitionXml({programPath, L"/update", workingDirectory, L"Scheduled Tavrin Update Check"}),
            TASK_CREATE);
    }
    ::CoUninitialize();
    if (FAILED(m_hr)) {
        // A name already taken is where the older interface's NewWorkItem
        // failed; anything else is a failure to store the task.
        Report(stderr,
               m_hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) ? "Failed calling NewWorkItem, "
                                                                : "Failed calling Save, ",
               m_hr);
        return false;
    }
    return true;
}

void Scheduler::AddWeeklyTrigger(const std::wstring& taskName, const TASK_TRIGGER& trigger)
{
    m_hr = ::CoInitialize(nullptr);
    if (FAILED(m_hr))
        return;
    // Every interface is released before COM is uninitialised below.
    [&] {
        ComPtr<ITaskFolder> folder;
        m_hr = OpenRootFolder(folder);
        if (FAILED(m_hr))
            return;
        BStr path(taskName);
        ComPtr<IRegisteredTask> task;
        m_hr = folder->GetTask(path.Get(), task.Put());
        if (FAILED(m_hr) || !task) {
            Report(stdout, "Failed calling ITaskScheduler::Activate: ", m_hr);
            return;
        }
        BStr text;
        m_hr = task->get_Xml(text.Put());
        std::wstring xml = text.Text();
        if (FAILED(m_hr)) {
            Report(stdout, "Failed calling ITask::CreatTrigger: ", m_hr);
            return;
        }
        m_hr = AddTriggerToDefinition(xml, trigger);
        if (FAILED(m_hr)) {
            Report(stdout, "Failed calling ITaskTrigger::SetTrigger: ", m_hr);
            return;
        }
        m_hr = RegisterDefinition(folder.Get(), taskName, xml, TASK_UPDATE);
        std::fputs("The trigger was created and IPersistFile::Save was \n", stdout);
        std::fputs("called to save the new trigger to disk.\n", stdout);
        std::fflush(stdout);
    }();
    ::CoUninitialize();
}

bool Scheduler::DeleteTask(const std::wstring& taskName)
{
    m_hr = ::CoInitialize(nullptr);
    if (FAILED(m_hr))
        return false;
    {
        ComPtr<ITaskFolder> folder;
        m_hr = OpenRootFolder(folder);
        if (SUCCEEDED(m_hr)) {
            BStr path(taskName);
            m_hr = folder->DeleteTask(path.Get(), 0);
        }
    }
    const HRESULT old = DeleteOldTask(taskName);
    const bool deleted = m_hr == S_OK || old == S_OK;
    // The result that tells why a task still exists: the older interface's
    // when it found one.
    if (m_hr != S_OK && old != kNotFound)
        m_hr = old;
    ::CoUninitialize();
    return deleted;
}

bool ConfigureUpdateTask(bool install)
{
    std::wstring program = Platform::ModuleFileName(nullptr);
    Scheduler scheduler;
    bool exists = scheduler.TaskExists(kUpdateTaskName);
    if (install && !exists) {
        bool created = false;
        if (SUCCEEDED(::CoInitialize(nullptr))) {
            // The task's start folder is the program's own; the program
            // makes that its current folder anyway.
            created = scheduler.CreateTask(kUpdateTaskName, program, Platform::FolderOf(program));
        }
        scheduler.AddWeeklyTrigger(kUpdateTaskName, WeeklyUpdateTrigger());
        return created && scheduler.LastResult() == S_OK;
    }
    if (!install && exists)
        return scheduler.DeleteTask(kUpdateTaskName);
    return true;
}

} // namespace Tavrin::Net
