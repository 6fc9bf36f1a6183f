#pragma once
#include <windows.h>
#include <mstask.h>

#include <string>

namespace Tavrin::Net {

// The weekly trigger of the update task: Sunday and Wednesday at 20:00,
// from 1 January 2006 on, without end and without repetition.
TASK_TRIGGER WeeklyUpdateTrigger();

// Task Scheduler 1.0 tasks. Every operation brings up its own scheduler
// object and releases it; failures are reported on the standard streams.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    bool TaskExists(const std::wstring& taskName);
    // Creates a task that runs programPath with "/update". The caller has
    // initialised COM on this thread; this call uninitialises it once on
    // every path.
    bool CreateTask(const std::wstring& taskName, const std::wstring& programPath,
                    const std::wstring& workingDirectory);
    void AddWeeklyTrigger(const std::wstring& taskName, const TASK_TRIGGER& trigger);
    bool DeleteTask(const std::wstring& taskName);

    // Result of the most recent COM call.
    HRESULT LastResult() const { return hr; }

private:
    HRESULT hr = 0;
};

constexpr wchar_t kUpdateTaskName[] = L"TavrinUpdate";

// The scheduled-task step of the install (true) and uninstall (false)
// modes: install creates the update task when it is absent, uninstall
// deletes it when present.
void ConfigureUpdateTask(bool install);

} // namespace Tavrin::Net
