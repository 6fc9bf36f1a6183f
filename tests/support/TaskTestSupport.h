#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace Tavrin::Test {

// Registers tests\helpers\task_service as the prefix's Task Scheduler 2.0
// service (CLSID_TaskScheduler) for as long as the object lives, for this
// process and the programs it starts, with its tasks and call log in a
// scratch key of the current user; Wine's own service comes back afterwards.
class TaskServiceStandIn {
public:
    TaskServiceStandIn();
    ~TaskServiceStandIn();
    TaskServiceStandIn(const TaskServiceStandIn&) = delete;
    TaskServiceStandIn& operator=(const TaskServiceStandIn&) = delete;

    // From now on the service takes LocalSystem for its caller, as when the
    // MSI's deferred action (not impersonated) registers the task.
    void CallAsLocalSystem();

    // "connect", "get <name>", "delete <name>",
    // "register <name> flags=<TASK_CREATION> logon=<TASK_LOGON_TYPE> user=<account>".
    std::vector<std::wstring> Calls() const;
    // The calls that begin with the text.
    std::vector<std::wstring> CallsStartingWith(const std::wstring& prefix) const;

    static const wchar_t* const kClassKey; // below HKEY_LOCAL_MACHINE

private:
    ScratchKey m_root;
    RegistryValueBackup m_server;
    RegistryValueBackup m_testRoot;
    RegistryValueBackup m_caller;
};

// A scheduled task as the Task Scheduler reports it, whichever interface
// made it.
struct ScheduledTask {
    struct WeeklyTrigger {
        std::wstring start; // "2006-01-01T20:00:00"
        int weeksInterval = 0;
        WORD days = 0; // TASK_SUNDAY | ...
        bool enabled = false;
    };
    bool madeThroughOldInterface = false;
    std::wstring program, arguments, workingDirectory, description;
    std::wstring user;      // empty for a task of the 1.0 interface
    std::wstring logonType; // "InteractiveToken", "Password", "ServiceAccount", ...
    std::wstring runLevel;  // "LeastPrivilege" or "HighestAvailable"
    std::vector<WeeklyTrigger> weeklyTriggers;
    size_t otherTriggers = 0;

    // Whether the task starts with full administrator rights, as a program
    // that requires them needs.
    bool RunsElevated() const { return runLevel == L"HighestAvailable"; }
    // The definition as the service stores it (empty for the 1.0 interface).
    std::wstring xml;
};

// Looks a task up through the Task Scheduler 2.0 service of the prefix (the
// stand-in above, when one is registered), then through the 1.0 interface.
// A task of the 1.0 interface runs with the user's limited token under UAC,
// so it reports "LeastPrivilege". Nothing when neither knows the task.
std::optional<ScheduledTask> FindScheduledTask(const std::wstring& name);

// Makes a task through the Task Scheduler 1.0 interface, as the program's
// versions up to 1.0.2 did; true when it was saved.
bool MakeOldTask(const std::wstring& name, const std::wstring& program);

// Whether an account (a name or a SID string) is LocalSystem.
bool IsLocalSystem(const std::wstring& account);

// The account name the current user runs as ("user", without a domain).
std::wstring CurrentUser();

} // namespace Tavrin::Test
