#include "tests/support/TaskTestSupport.h"

#include <mstask.h>
#include <sddl.h>
#include <taskschd.h>

#include <pugixml.hpp>

#include "platform/ComPtr.h"
#include "platform/ComVariant.h"
#include "platform/RegKey.h"
#include "tests/helpers/common/ComServer.h"
#include "tests/support/NetTestSupport.h"

namespace Tavrin::Test {

using Platform::BStr;
using Platform::ComPtr;
using Platform::RegKey;

namespace {

const std::wstring kServerKey =
    std::wstring(L"SOFTWARE\\Classes\\CLSID\\{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}") + L"\\InprocServer32";

// The names of the task schema's DaysOfWeek elements, in TASK_SUNDAY ... bit order.
const wchar_t* const kDayNames[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                    L"Thursday", L"Friday", L"Saturday"};

std::optional<ScheduledTask> FromDefinition(const std::wstring& xml)
{
    pugi::xml_document document;
    if (!document.load_string(xml.c_str()))
        return std::nullopt;
    pugi::xml_node task = document.document_element();
    ScheduledTask found;
    pugi::xml_node exec = task.child(L"Actions").child(L"Exec");
    found.program = exec.child(L"Command").text().get();
    found.arguments = exec.child(L"Arguments").text().get();
    found.workingDirectory = exec.child(L"WorkingDirectory").text().get();
    found.description = task.child(L"RegistrationInfo").child(L"Description").text().get();
    pugi::xml_node principal = task.child(L"Principals").child(L"Principal");
    found.xml = xml;
    found.user = principal.child(L"UserId").text().get();
    // The service stores no logon type for a service account.
    found.logonType = principal.child(L"LogonType")
                          .text()
                          .as_string(IsLocalSystem(found.user) ? L"ServiceAccount" : L"InteractiveToken");
    found.runLevel = principal.child(L"RunLevel").text().as_string(L"LeastPrivilege");
    for (pugi::xml_node trigger : task.child(L"Triggers").children()) {
        pugi::xml_node weekly = trigger.child(L"ScheduleByWeek");
        if (std::wstring(trigger.name()) != L"CalendarTrigger" || !weekly) {
            ++found.otherTriggers;
            continue;
        }
        ScheduledTask::WeeklyTrigger entry;
        entry.start = trigger.child(L"StartBoundary").text().get();
        entry.enabled = trigger.child(L"Enabled").text().as_bool(true);
        entry.weeksInterval = weekly.child(L"WeeksInterval").text().as_int(1);
        for (int day = 0; day < 7; ++day)
            if (weekly.child(L"DaysOfWeek").child(kDayNames[day]))
                entry.days |= static_cast<WORD>(1 << day);
        found.weeklyTriggers.push_back(entry);
    }
    return found;
}

std::optional<ScheduledTask> FindThroughService(const std::wstring& name)
{
    ComPtr<ITaskService> service;
    if (FAILED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  service.PutVoid())))
        return std::nullopt;
    VARIANT none;
    ::VariantInit(&none);
    ComPtr<ITaskFolder> folder;
    ComPtr<IRegisteredTask> task;
    BStr root(L"\\"), path(name);
    BSTR xml = nullptr;
    if (FAILED(service->Connect(none, none, none, none)) ||
        FAILED(service->GetFolder(root.Get(), folder.Put())) ||
        folder->GetTask(path.Get(), task.Put()) != S_OK || FAILED(task->get_Xml(&xml)))
        return std::nullopt;
    std::wstring text = xml ? xml : L"";
    ::SysFreeString(xml);
    return FromDefinition(text);
}

std::optional<ScheduledTask> FindThroughOldInterface(const std::wstring& name)
{
    auto old = ReadTask(name);
    if (!old)
        return std::nullopt;
    ScheduledTask found;
    found.madeThroughOldInterface = true;
    found.runLevel = L"LeastPrivilege";
    found.program = old->application;
    found.arguments = old->parameters;
    found.workingDirectory = old->workingDirectory;
    found.description = old->comment;
    found.logonType = (old->flags & TASK_FLAG_RUN_ONLY_IF_LOGGED_ON) ? L"InteractiveToken" : L"Password";
    // Only the triggers that fire count.
    for (const TaskTriggerInfo& entry : old->triggers) {
        const TASK_TRIGGER& data = entry.trigger;
        if (!entry.enabled)
            continue;
        if (data.TriggerType != TASK_TIME_TRIGGER_WEEKLY) {
            ++found.otherTriggers;
            continue;
        }
        wchar_t start[32];
        std::swprintf(start, 32, L"%04u-%02u-%02uT%02u:%02u:00", data.wBeginYear, data.wBeginMonth,
                      data.wBeginDay, data.wStartHour, data.wStartMinute);
        found.weeklyTriggers.push_back(
            {start, data.Type.Weekly.WeeksInterval, data.Type.Weekly.rgfDaysOfTheWeek, true});
    }
    return found;
}

} // namespace

const wchar_t* const TaskServiceStandIn::kClassKey =
    L"SOFTWARE\\Classes\\CLSID\\{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}";

TaskServiceStandIn::TaskServiceStandIn()
    : m_server(HKEY_LOCAL_MACHINE, kServerKey, L""), m_testRoot(HKEY_LOCAL_MACHINE, kClassKey, L"TestRoot"),
      m_caller(HKEY_LOCAL_MACHINE, kClassKey, L"CallerIsLocalSystem")
{
    RegKey server;
    server.Create(HKEY_LOCAL_MACHINE, kServerKey, KEY_ALL_ACCESS);
    server.SetString(L"", BinFolder() + L"\\task_service.dll");
    RegKey settings;
    settings.Open(HKEY_LOCAL_MACHINE, kClassKey, KEY_ALL_ACCESS);
    settings.SetString(L"TestRoot", m_root.Path());
}

TaskServiceStandIn::~TaskServiceStandIn() = default;

void TaskServiceStandIn::CallAsLocalSystem()
{
    RegKey settings;
    settings.Open(HKEY_LOCAL_MACHINE, kClassKey, KEY_ALL_ACCESS);
    settings.SetDword(L"CallerIsLocalSystem", 1);
}

std::vector<std::wstring> TaskServiceStandIn::Calls() const
{
    return ComServer::ReadLog(m_root.Path() + L"\\Log");
}

std::vector<std::wstring> TaskServiceStandIn::CallsStartingWith(const std::wstring& prefix) const
{
    std::vector<std::wstring> matching;
    for (const std::wstring& call : Calls())
        if (call.rfind(prefix, 0) == 0)
            matching.push_back(call);
    return matching;
}

std::optional<ScheduledTask> FindScheduledTask(const std::wstring& name)
{
    Platform::ComApartment com;
    if (auto task = FindThroughService(name))
        return task;
    return FindThroughOldInterface(name);
}

bool MakeOldTask(const std::wstring& name, const std::wstring& program)
{
    Platform::ComApartment com;
    ComPtr<ITaskScheduler> scheduler;
    ComPtr<ITask> task;
    ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                  scheduler.PutVoid())) ||
        FAILED(scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask,
                                      reinterpret_cast<IUnknown**>(task.Put()))))
        return false;
    task->SetApplicationName(program.c_str());
    task->SetParameters(L"/update");
    task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
    task->SetAccountInformation(CurrentUser().c_str(), nullptr);
    return SUCCEEDED(task.As(file)) && SUCCEEDED(file->Save(nullptr, TRUE));
}

bool IsLocalSystem(const std::wstring& account)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    PSID converted = nullptr;
    bool system = false;
    if (account.rfind(L"S-1-", 0) == 0 && ::ConvertStringSidToSidW(account.c_str(), &converted)) {
        system = ::IsWellKnownSid(converted, WinLocalSystemSid);
        ::LocalFree(converted);
    } else if (::LookupAccountNameW(nullptr, account.c_str(), sid, &sidSize, domain, &domainSize, &use)) {
        system = ::IsWellKnownSid(sid, WinLocalSystemSid);
    }
    return system;
}

std::wstring CurrentUser()
{
    wchar_t name[256] = {};
    DWORD length = 256;
    return ::GetUserNameW(name, &length) ? name : L"";
}

} // namespace Tavrin::Test
