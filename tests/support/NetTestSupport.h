#pragma once
#include <windows.h>
#include <mstask.h>

#include <optional>
#include <string>
#include <vector>

namespace Tavrin::Test {

// HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Tavrin, the installer's key, created
// for a test and removed (with HKEY_LOCAL_MACHINE\SOFTWARE\Orvane when the
// test made that too) when the object goes; in this process's registry view
// unless another is given (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
class InstallerKey {
public:
    explicit InstallerKey(REGSAM view = 0);
    ~InstallerKey();
    InstallerKey(const InstallerKey&) = delete;
    InstallerKey& operator=(const InstallerKey&) = delete;

    static constexpr const wchar_t* kPath = L"SOFTWARE\\Orvane\\Tavrin";
    void SetDword(const std::wstring& name, DWORD value, const std::wstring& subKey = L"") const;
    void SetString(const std::wstring& name, const std::wstring& value,
                   const std::wstring& subKey = L"") const;
    void CreateSubKey(const std::wstring& subKey) const;

private:
    REGSAM view_;
    bool createdOrvane_ = false;
};

// Sets an environment variable of this process (so of the programs it
// starts) until the object goes.
class EnvironmentOverride {
public:
    EnvironmentOverride(const std::wstring& name, const std::wstring& value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

// The test signing root (test_signing_root.der beside the tests) in the
// machine's trusted roots until the object goes.
class TrustedTestRoot {
public:
    TrustedTestRoot();
    ~TrustedTestRoot();
    TrustedTestRoot(const TrustedTestRoot&) = delete;
    TrustedTestRoot& operator=(const TrustedTestRoot&) = delete;
    bool Added() const { return added_; }

private:
    std::string der_;
    bool added_ = false;
};

// A scheduled task as the Task Scheduler reports it.
struct TaskTriggerInfo {
    bool enabled = false;
    TASK_TRIGGER trigger = {};
};
struct TaskInfo {
    std::wstring application;
    std::wstring parameters;
    std::wstring workingDirectory;
    std::wstring comment;
    DWORD flags = 0;
    std::vector<TaskTriggerInfo> triggers;
    size_t EnabledTriggers() const;
};
// Reads a task through the Task Scheduler 1.0 interfaces; nothing when the
// task does not exist.
std::optional<TaskInfo> ReadTask(const std::wstring& name);
// Deletes a task if it exists.
void RemoveTask(const std::wstring& name);
// Names of the task files in the Windows "Tasks" folder.
std::vector<std::wstring> TaskFiles();

} // namespace Tavrin::Test
