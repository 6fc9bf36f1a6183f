#pragma once
#include <windows.h>
#include <mstask.h>

#include <string>

namespace Tavrin::Net {

// The weekly trigger of the update task: Sunday and Wednesday at 20:00,
// from 1 January 2006 on, without end and without repetition.
TASK_TRIGGER WeeklyUpdateTrigger();

// The update task, registered through the Task Scheduler 2.0 service so that
// it runs as LocalSystem with full rights (see TaskDefinition.h; a task of
// the 1.0 interface runs with a user's limited token, which cannot start
// this program). Tasks an
// older version made through the 1.0 interface are still found and deleted.
// Every operation brings up its own scheduler objects and releases them;
// failures are reported on the standard streams.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    bool TaskExists(const std::wstring& taskName);
    // Creates a task without triggers that runs programPath with "/update";
    // fails when a task of that name exists. The caller has
    // initialised COM on this thread; this call uninitialises it once on
    // every path.
    bool CreateTask(const std::wstring& taskName, const std::wstring& programPath,
                    const std::wstring& workingDirectory);
    // Adds a weekly trigger to a task this class created.
    void AddWeeklyTrigger(const std::wstring& taskName, const TASK_TRIGGER& trigger);
    bool DeleteTask(const std::wstring& taskName);

    // Result of the most recent COM call.
    HRESULT LastResult() const { return m_hr; }

private:
    HRESULT m_hr = 0;
};

constexpr wchar_t kUpdateTaskName[] = L"TavrinUpdate";

// The scheduled-task step of the install (true) and uninstall (false)
// modes: install creates the update task when it is absent, uninstall
// deletes it when present. True when the task then exists (install) or is
// gone (uninstall).
bool ConfigureUpdateTask(bool install);

} // namespace Tavrin::Net
