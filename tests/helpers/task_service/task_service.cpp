// An in-process COM server for CLSID_TaskScheduler (the Task Scheduler 2.0
// service object), used by the tests in place of Wine's, which stores a
// task's XML without its calendar triggers, its run level or its command.
// It keeps the tasks of the root folder, registered as XML, under a key of
// the test registry named by its class key's value "TestRoot" (a path below
// HKEY_CURRENT_USER): sub-key "Tasks\<name>", value "Xml", holds what
// IRegisteredTask::get_Xml returns; sub-key "Log" (values "0001", ...) the
// calls, such as "register TavrinUpdate flags=2 logon=3 user=PC\\me".
// It checks a definition as the real service does and refuses, with the
// service's result codes, what the service refuses: a call before Connect,
// TASK_CREATE for an existing task and TASK_UPDATE for a missing one, XML
// outside the task schema's elements and values, a task without a command,
// a calendar trigger without its start or schedule, an account that does not
// exist, a logon type the account cannot have (a service-account logon for
// anyone but LocalSystem, Local Service or Network Service; any other logon
// for those or for a computer's own account), a password logon without a
// password, a task for another account registered by a caller who is not an
// administrator, and the highest run level asked for by a caller with a
// limited token. Service accounts are stored as their SID, without a logon
// type, as the service shows them. The class key's value
// "CallerIsLocalSystem" = 1 has it take LocalSystem for the caller. Only
// what the program calls is implemented (no RegisterTaskDefinition or task
// folders); NewTask goes to
// Wine's own service, since Wine's Task Scheduler 1.0 keeps the tasks it
// reads and writes (its own .job files) in definitions made that way.
#include <windows.h>
#include <sddl.h>
#include <taskschd.h>

#include <atomic>
#include <cstdio>
#include <cwctype>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include <pugixml.hpp>

#include "platform/RegKey.h"
#include "tests/helpers/common/ComServer.h"

using Tavrin::Platform::RegKey;

namespace {

const wchar_t kClassKey[] = L"CLSID\\{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}";
const wchar_t kTaskNamespace[] = L"http://schemas.microsoft.com/windows/2004/02/mit/task";

constexpr HRESULT kUnexpectedNode = static_cast<HRESULT>(0x80041317); // SCHED_E_UNEXPECTEDNODE
constexpr HRESULT kInvalidValue = static_cast<HRESULT>(0x80041318);   // SCHED_E_INVALIDVALUE
constexpr HRESULT kMissingNode = static_cast<HRESULT>(0x80041319);    // SCHED_E_MISSINGNODE
constexpr HRESULT kMalformedXml = static_cast<HRESULT>(0x8004131A);   // SCHED_E_MALFORMEDXML
constexpr HRESULT kNamespace = static_cast<HRESULT>(0x8004131C);      // SCHED_E_NAMESPACE
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

using Tavrin::Test::ComServer::liveObjects;
namespace ComServer = Tavrin::Test::ComServer;

std::wstring TestRoot()
{
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, kClassKey, KEY_READ) != ERROR_SUCCESS)
        return {};
    return key.QueryString(L"TestRoot").value_or(L"");
}

void Log(const std::wstring& root, const std::wstring& line)
{
    if (!root.empty())
        ComServer::AppendToLog(root + L"\\Log", line);
}

std::wstring TaskKey(const std::wstring& root, const std::wstring& name)
{
    return root + L"\\Tasks\\" + name;
}

std::wstring Text(const VARIANT& value)
{
    return value.vt == VT_BSTR && value.bstrVal ? value.bstrVal : L"";
}

template <typename T> HRESULT ReturnValue(T value, T* out)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}

HRESULT ReturnString(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = ::SysAllocString(text.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

// --- What the service accepts -------------------------------------------

using Names = std::set<std::wstring>;

// Every child element is one of the allowed names, none twice.
HRESULT CheckChildren(pugi::xml_node node, const Names& allowed)
{
    Names seen;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (!allowed.count(child.name()) || !seen.insert(child.name()).second)
            return kUnexpectedNode;
    }
    return S_OK;
}

bool IsBoolean(pugi::xml_node node)
{
    const std::wstring text = node.text().get();
    return text == L"true" || text == L"false";
}

bool IsTimestamp(const std::wstring& text)
{
    // YYYY-MM-DDTHH:MM:SS, optionally followed by a zone.
    static const wchar_t pattern[] = L"dddd-dd-ddTdd:dd:dd";
    if (text.size() < 19)
        return false;
    for (size_t i = 0; i < 19; ++i) {
        if (pattern[i] == L'd' ? !std::iswdigit(text[i]) : text[i] != pattern[i])
            return false;
    }
    int month = std::stoi(text.substr(5, 2)), day = std::stoi(text.substr(8, 2));
    int hour = std::stoi(text.substr(11, 2)), minute = std::stoi(text.substr(14, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60;
}

HRESULT CheckCalendarTrigger(pugi::xml_node trigger)
{
    HRESULT hr = CheckChildren(trigger, {L"StartBoundary", L"EndBoundary", L"Enabled", L"ExecutionTimeLimit",
                                         L"Repetition", L"RandomDelay", L"ScheduleByDay", L"ScheduleByWeek",
                                         L"ScheduleByMonth", L"ScheduleByMonthDayOfWeek"});
    if (FAILED(hr))
        return hr;
    if (!trigger.child(L"StartBoundary"))
        return kMissingNode;
    if (!IsTimestamp(trigger.child(L"StartBoundary").text().get()) ||
        (trigger.child(L"EndBoundary") && !IsTimestamp(trigger.child(L"EndBoundary").text().get())) ||
        (trigger.child(L"Enabled") && !IsBoolean(trigger.child(L"Enabled"))))
        return kInvalidValue;
    int schedules = 0;
    for (const wchar_t* name :
         {L"ScheduleByDay", L"ScheduleByWeek", L"ScheduleByMonth", L"ScheduleByMonthDayOfWeek"})
        schedules += trigger.child(name) ? 1 : 0;
    if (schedules != 1)
        return schedules ? kUnexpectedNode : kMissingNode;
    pugi::xml_node weekly = trigger.child(L"ScheduleByWeek");
    if (!weekly)
        return S_OK;
    if (FAILED(hr = CheckChildren(weekly, {L"WeeksInterval", L"DaysOfWeek"})))
        return hr;
    if (weekly.child(L"WeeksInterval")) {
        int weeks = weekly.child(L"WeeksInterval").text().as_int(0);
        if (weeks < 1 || weeks > 52)
            return kInvalidValue;
    }
    pugi::xml_node days = weekly.child(L"DaysOfWeek");
    if (!days || !days.first_child())
        return kMissingNode;
    for (pugi::xml_node day : days.children())
        if (day.first_child())
            return kUnexpectedNode; // day elements are empty
    return CheckChildren(
        days, {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"});
}

HRESULT CheckTriggers(pugi::xml_node triggers)
{
    for (pugi::xml_node trigger : triggers.children()) {
        if (trigger.type() != pugi::node_element)
            continue;
        // Other trigger kinds exist; the program makes none of them.
        if (std::wstring(trigger.name()) != L"CalendarTrigger")
            return kUnexpectedNode;
        HRESULT hr = CheckCalendarTrigger(trigger);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CheckSettings(pugi::xml_node settings)
{
    static const Names booleans = {L"AllowStartOnDemand",
                                   L"AllowHardTerminate",
                                   L"DisallowStartIfOnBatteries",
                                   L"StopIfGoingOnBatteries",
                                   L"Enabled",
                                   L"Hidden",
                                   L"RunOnlyIfIdle",
                                   L"RunOnlyIfNetworkAvailable",
                                   L"StartWhenAvailable",
                                   L"WakeToRun"};
    Names allowed = booleans;
    allowed.insert({L"MultipleInstancesPolicy", L"ExecutionTimeLimit", L"Priority", L"IdleSettings",
                    L"RestartOnFailure", L"DeleteExpiredTaskAfter"});
    HRESULT hr = CheckChildren(settings, allowed);
    if (FAILED(hr))
        return hr;
    for (pugi::xml_node child : settings.children())
        if (booleans.count(child.name()) && !IsBoolean(child))
            return kInvalidValue;
    return S_OK;
}

HRESULT CheckPrincipals(pugi::xml_node principals)
{
    HRESULT hr = CheckChildren(principals, {L"Principal"});
    if (FAILED(hr))
        return hr;
    pugi::xml_node principal = principals.child(L"Principal");
    if (!principal)
        return S_OK;
    if (FAILED(hr = CheckChildren(principal,
                                  {L"UserId", L"GroupId", L"DisplayName", L"LogonType", L"RunLevel"})))
        return hr;
    const std::wstring logon = principal.child(L"LogonType").text().as_string(L"InteractiveToken");
    const std::wstring level = principal.child(L"RunLevel").text().as_string(L"LeastPrivilege");
    if ((logon != L"InteractiveToken" && logon != L"Password" && logon != L"S4U" &&
         logon != L"InteractiveTokenOrPassword") ||
        (level != L"LeastPrivilege" && level != L"HighestAvailable"))
        return kInvalidValue;
    return S_OK;
}

HRESULT CheckActions(pugi::xml_node actions, pugi::xml_node principal)
{
    if (!actions)
        return kMissingNode;
    HRESULT hr = CheckChildren(actions, {L"Exec"});
    if (FAILED(hr))
        return hr;
    pugi::xml_node exec = actions.child(L"Exec");
    if (!exec)
        return kMissingNode;
    if (FAILED(hr = CheckChildren(exec, {L"Command", L"Arguments", L"WorkingDirectory"})))
        return hr;
    if (std::wstring(exec.child(L"Command").text().get()).empty())
        return kMissingNode;
    // The actions run in the context of a principal of the task.
    const std::wstring context = actions.attribute(L"Context").value();
    if (!context.empty() && context != principal.attribute(L"id").value())
        return kInvalidValue;
    return S_OK;
}

HRESULT CheckDefinition(const pugi::xml_document& document)
{
    pugi::xml_node task = document.document_element();
    if (std::wstring(task.name()) != L"Task")
        return kUnexpectedNode;
    if (std::wstring(task.attribute(L"xmlns").value()) != kTaskNamespace)
        return kNamespace;
    static const Names versions = {L"1.1", L"1.2", L"1.3", L"1.4", L"1.5", L"1.6"};
    if (task.attribute(L"version") && !versions.count(task.attribute(L"version").value()))
        return kInvalidValue;
    HRESULT hr = CheckChildren(
        task, {L"RegistrationInfo", L"Triggers", L"Settings", L"Data", L"Principals", L"Actions"});
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = CheckChildren(task.child(L"RegistrationInfo"),
                                  {L"Author", L"Description", L"Version", L"Date", L"Documentation", L"URI",
                                   L"Source", L"SecurityDescriptor"})) ||
        FAILED(hr = CheckTriggers(task.child(L"Triggers"))) ||
        FAILED(hr = CheckSettings(task.child(L"Settings"))) ||
        FAILED(hr = CheckPrincipals(task.child(L"Principals"))))
        return hr;
    return CheckActions(task.child(L"Actions"), task.child(L"Principals").child(L"Principal"));
}

const wchar_t* LogonName(TASK_LOGON_TYPE type)
{
    switch (type) {
    case TASK_LOGON_PASSWORD:
        return L"Password";
    case TASK_LOGON_S4U:
        return L"S4U";
    case TASK_LOGON_INTERACTIVE_TOKEN:
        return L"InteractiveToken";
    case TASK_LOGON_INTERACTIVE_TOKEN_OR_PASSWORD:
        return L"InteractiveTokenOrPassword";
    case TASK_LOGON_SERVICE_ACCOUNT:
        return L"ServiceAccount";
    default:
        return nullptr;
    }
}

// An account as the service resolves it: by name, or by a SID string (how
// the service itself writes the accounts it stores).
struct Account {
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    SID_NAME_USE use = SidTypeUnknown;
    std::wstring name;

    bool IsServiceAccount() const
    {
        return ::IsWellKnownSid(const_cast<BYTE*>(sid), WinLocalSystemSid) ||
               ::IsWellKnownSid(const_cast<BYTE*>(sid), WinLocalServiceSid) ||
               ::IsWellKnownSid(const_cast<BYTE*>(sid), WinNetworkServiceSid);
    }
    // A computer's own account in its domain ("DOMAIN\PC$"), what
    // LocalSystem is called on the network.
    bool IsMachineAccount() const { return use == SidTypeComputer || (!name.empty() && name.back() == L'$'); }
    // The form the service stores: a service account's SID, any other
    // account as it was named.
    std::wstring Stored() const
    {
        if (!IsServiceAccount())
            return name;
        LPWSTR text = nullptr;
        if (!::ConvertSidToStringSidW(const_cast<BYTE*>(sid), &text))
            return name;
        std::wstring stored = text;
        ::LocalFree(text);
        return stored;
    }
};

std::optional<Account> ResolveAccount(const std::wstring& name)
{
    Account account;
    account.name = name;
    wchar_t domain[256], user[256];
    DWORD domainSize = 256, userSize = 256;
    if (name.rfind(L"S-1-", 0) == 0) {
        PSID sid = nullptr;
        if (!::ConvertStringSidToSidW(name.c_str(), &sid))
            return std::nullopt;
        const bool copied = ::CopySid(sizeof(account.sid), account.sid, sid);
        ::LocalFree(sid);
        if (!copied ||
            !::LookupAccountSidW(nullptr, account.sid, user, &userSize, domain, &domainSize, &account.use))
            return std::nullopt;
        return account;
    }
    DWORD sidSize = sizeof(account.sid);
    if (!::LookupAccountNameW(nullptr, name.c_str(), account.sid, &sidSize, domain, &domainSize,
                              &account.use))
        return std::nullopt;
    return account;
}

// The tests may have the service take LocalSystem for its caller (the class
// key's value "CallerIsLocalSystem" = 1), as when the MSI's deferred action
// registers the task; otherwise the caller is this process's account.
bool CallerIsLocalSystem()
{
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, kClassKey, KEY_READ) == ERROR_SUCCESS &&
           key.QueryDword(L"CallerIsLocalSystem").value_or(0) == 1;
}

std::wstring CallerName()
{
    if (CallerIsLocalSystem())
        return L"S-1-5-18";
    wchar_t caller[256];
    DWORD length = 256;
    return ::GetUserNameW(caller, &length) ? caller : L"";
}

bool CallerHasLimitedToken()
{
    if (CallerIsLocalSystem())
        return false;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    bool limited = ::GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size) &&
                   type == TokenElevationTypeLimited;
    ::CloseHandle(token);
    return limited;
}

bool CallerIsAdministrator()
{
    if (CallerIsLocalSystem())
        return true;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    BOOL member = FALSE;
    return ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
           ::CheckTokenMembership(nullptr, administrators, &member) && member;
}

bool IsCaller(const Account& account)
{
    auto caller = ResolveAccount(CallerName());
    return caller && ::EqualSid(const_cast<BYTE*>(caller->sid), const_cast<BYTE*>(account.sid));
}

std::wstring Save(const pugi::xml_document& document)
{
    std::wostringstream out;
    document.save(out, L"  ");
    return out.str();
}

// --- COM objects ----------------------------------------------------------

template <typename Interface> class Dispatch : public Interface {
public:
    Dispatch() { ++liveObjects; }
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    virtual ~Dispatch() { --liveObjects; }

private:
    std::atomic<ULONG> m_references{1};
};

template <typename Object, typename Interface, typename... Args> HRESULT Hand(Interface** out, Args&&... args)
{
    if (!out)
        return E_POINTER;
    *out = new (std::nothrow) Object(std::forward<Args>(args)...);
    return *out ? S_OK : E_OUTOFMEMORY;
}

class RegisteredTask final : public Dispatch<IRegisteredTask> {
public:
    RegisteredTask(std::wstring name, std::wstring xml) : m_name(std::move(name)), m_xml(std::move(xml)) {}

    STDMETHODIMP get_Name(BSTR* name) override { return ReturnString(m_name, name); }
    STDMETHODIMP get_Path(BSTR* path) override { return ReturnString(L"\\" + m_name, path); }
    STDMETHODIMP get_Xml(BSTR* xml) override { return ReturnString(m_xml, xml); }
    STDMETHODIMP get_State(TASK_STATE* state) override { return ReturnValue(TASK_STATE_READY, state); }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* enabled) override { return ReturnValue(VARIANT_TRUE, enabled); }
    STDMETHODIMP put_Enabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP Run(VARIANT, IRunningTask**) override { return E_NOTIMPL; }
    STDMETHODIMP RunEx(VARIANT, LONG, LONG, BSTR, IRunningTask**) override { return E_NOTIMPL; }
    STDMETHODIMP GetInstances(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_LastRunTime(DATE*) override { return E_NOTIMPL; }
    STDMETHODIMP get_LastTaskResult(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_NumberOfMissedRuns(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_NextRunTime(DATE*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Definition(ITaskDefinition**) override { return E_NOTIMPL; }
    STDMETHODIMP GetSecurityDescriptor(LONG, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }
    STDMETHODIMP Stop(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetRunTimes(const LPSYSTEMTIME, const LPSYSTEMTIME, DWORD*, LPSYSTEMTIME*) override
    {
        return E_NOTIMPL;
    }

private:
    std::wstring m_name, m_xml;
};

class RootFolder final : public Dispatch<ITaskFolder> {
public:
    explicit RootFolder(std::wstring root) : m_root(std::move(root)) {}

    STDMETHODIMP get_Name(BSTR* name) override { return ReturnString(L"\\", name); }
    STDMETHODIMP get_Path(BSTR* path) override { return ReturnString(L"\\", path); }
    STDMETHODIMP GetFolder(BSTR, ITaskFolder**) override { return E_NOTIMPL; }
    STDMETHODIMP GetFolders(LONG, ITaskFolderCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP CreateFolder(BSTR, VARIANT, ITaskFolder**) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteFolder(BSTR, LONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetTasks(LONG, IRegisteredTaskCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP RegisterTaskDefinition(BSTR, ITaskDefinition*, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE,
                                        VARIANT, IRegisteredTask**) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetSecurityDescriptor(LONG, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }

    STDMETHODIMP GetTask(BSTR path, IRegisteredTask** task) override
    {
        if (!task)
            return E_POINTER;
        *task = nullptr;
        const std::wstring name = path ? path : L"";
        Log(m_root, L"get " + name);
        auto xml = StoredXml(name);
        if (!xml)
            return kNotFound;
        return Hand<RegisteredTask>(task, name, *xml);
    }

    STDMETHODIMP DeleteTask(BSTR path, LONG flags) override
    {
        const std::wstring name = path ? path : L"";
        Log(m_root, L"delete " + name);
        if (flags != 0 || !IsTaskName(name))
            return E_INVALIDARG;
        if (!StoredXml(name))
            return kNotFound;
        // HRESULT_FROM_WIN32 reads its argument twice.
        const LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, TaskKey(m_root, name).c_str());
        return HRESULT_FROM_WIN32(status);
    }

    STDMETHODIMP RegisterTask(BSTR path, BSTR xml, LONG flags, VARIANT user, VARIANT password,
                              TASK_LOGON_TYPE logonType, VARIANT, IRegisteredTask** task) override
    {
        if (task)
            *task = nullptr;
        const std::wstring name = path ? path : L"";
        std::wstring account = Text(user);
        Log(m_root, L"register " + name + L" flags=" + std::to_wstring(flags) + L" logon=" +
                        std::to_wstring(logonType) + L" user=" + account);
        constexpr LONG kKnownFlags = TASK_VALIDATE_ONLY | TASK_CREATE | TASK_UPDATE | TASK_DISABLE |
                                     TASK_DONT_ADD_PRINCIPAL_ACE | TASK_IGNORE_REGISTRATION_TRIGGERS;
        if (!IsTaskName(name) || !xml || (flags & ~kKnownFlags) ||
            !(flags & (TASK_VALIDATE_ONLY | TASK_CREATE | TASK_UPDATE)))
            return E_INVALIDARG;

        pugi::xml_document document;
        if (!document.load_string(xml))
            return kMalformedXml;
        HRESULT hr = CheckDefinition(document);
        if (FAILED(hr))
            return hr;

        // The registration's account and logon type take the place of the
        // definition's; the stored task shows those it runs with.
        pugi::xml_node definition = document.document_element();
        pugi::xml_node principal = definition.child(L"Principals").child(L"Principal");
        if (!principal) {
            principal = definition.child(L"Principals")
                            ? definition.child(L"Principals").append_child(L"Principal")
                            : definition.append_child(L"Principals").append_child(L"Principal");
            principal.append_attribute(L"id") = L"Author";
        }
        if (account.empty())
            account = principal.child(L"UserId").text().get();
        if (account.empty())
            account = CallerName();
        const wchar_t* logon = LogonName(logonType);
        if (!logon && logonType != TASK_LOGON_NONE)
            return E_INVALIDARG;
        const auto resolved = ResolveAccount(account);
        if (!resolved)
            return HRESULT_FROM_WIN32(ERROR_NONE_MAPPED);
        // A definition names no logon type for a service account.
        const std::wstring effectiveLogon =
            logon ? logon
                  : principal.child(L"LogonType")
                        .text()
                        .as_string(resolved->IsServiceAccount() ? L"ServiceAccount" : L"InteractiveToken");
        // Windows answers a logon type the account cannot have with the
        // code of an unknown account: only LocalSystem, Local Service and
        // Network Service run as service accounts, and they (or the
        // computer's own account) have no interactive session, password or
        // S4U logon.
        if ((effectiveLogon == L"ServiceAccount") != resolved->IsServiceAccount() ||
            (effectiveLogon != L"ServiceAccount" && resolved->IsMachineAccount()))
            return HRESULT_FROM_WIN32(ERROR_NONE_MAPPED);
        if ((effectiveLogon == L"Password" || effectiveLogon == L"InteractiveTokenOrPassword") &&
            Text(password).empty())
            return HRESULT_FROM_WIN32(ERROR_LOGON_FAILURE);
        // Only an administrator registers a task for another account.
        if (!IsCaller(*resolved) && !CallerIsAdministrator())
            return E_ACCESSDENIED;
        if (std::wstring(principal.child(L"RunLevel").text().get()) == L"HighestAvailable" &&
            CallerHasLimitedToken())
            return E_ACCESSDENIED;
        (principal.child(L"UserId") ? principal.child(L"UserId") : principal.append_child(L"UserId"))
            .text()
            .set(resolved->Stored().c_str());
        principal.remove_child(L"LogonType");
        if (effectiveLogon != L"ServiceAccount")
            principal.append_child(L"LogonType").text().set(effectiveLogon.c_str());

        const bool exists = StoredXml(name).has_value();
        if ((flags & TASK_CREATE) && !(flags & TASK_UPDATE) && exists)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
        if ((flags & TASK_UPDATE) && !(flags & TASK_CREATE) && !exists)
            return kNotFound;
        if (flags & TASK_VALIDATE_ONLY)
            return S_OK;
        const std::wstring stored = Save(document);
        RegKey key;
        LSTATUS status = key.Create(HKEY_CURRENT_USER, TaskKey(m_root, name), KEY_ALL_ACCESS);
        if (status == ERROR_SUCCESS)
            status = key.SetString(L"Xml", stored);
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
        return task ? Hand<RegisteredTask>(task, name, stored) : S_OK;
    }

private:
    static bool IsTaskName(const std::wstring& name)
    {
        return !name.empty() && name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
    }
    std::optional<std::wstring> StoredXml(const std::wstring& name) const
    {
        RegKey key;
        if (!IsTaskName(name) ||
            key.Open(HKEY_CURRENT_USER, TaskKey(m_root, name), KEY_READ) != ERROR_SUCCESS)
            return std::nullopt;
        return key.QueryString(L"Xml");
    }

    std::wstring m_root;
};

class TaskService final : public Dispatch<ITaskService> {
public:
    TaskService() : m_root(TestRoot()) {}

    STDMETHODIMP Connect(VARIANT server, VARIANT user, VARIANT domain, VARIANT password) override
    {
        Log(m_root, L"connect");
        // Only this computer, as the caller.
        if (!Text(server).empty() || !Text(user).empty() || !Text(domain).empty() || !Text(password).empty())
            return E_NOTIMPL;
        if (m_root.empty())
            return E_FAIL;
        m_connected = true;
        return S_OK;
    }
    STDMETHODIMP GetFolder(BSTR path, ITaskFolder** folder) override
    {
        if (!folder)
            return E_POINTER;
        *folder = nullptr;
        if (!m_connected)
            return HRESULT_FROM_WIN32(ERROR_ONLY_IF_CONNECTED);
        if (!path || std::wstring(path) != L"\\")
            return kNotFound;
        return Hand<RootFolder>(folder, m_root);
    }
    STDMETHODIMP get_Connected(VARIANT_BOOL* connected) override
    {
        return ReturnValue<VARIANT_BOOL>(m_connected ? VARIANT_TRUE : VARIANT_FALSE, connected);
    }
    STDMETHODIMP get_HighestVersion(DWORD* version) override
    {
        if (!m_connected)
            return HRESULT_FROM_WIN32(ERROR_ONLY_IF_CONNECTED);
        return ReturnValue<DWORD>(0x00010006, version); // Windows 10
    }
    STDMETHODIMP GetRunningTasks(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP NewTask(DWORD flags, ITaskDefinition** definition) override
    {
        if (!definition)
            return E_POINTER;
        *definition = nullptr;
        using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
        static HMODULE wine = ::LoadLibraryW(L"taskschd.dll");
        auto get = wine ? reinterpret_cast<GetClassObject>(
                              reinterpret_cast<void*>(::GetProcAddress(wine, "DllGetClassObject")))
                        : nullptr;
        IClassFactory* factory = nullptr;
        if (!get || FAILED(get(CLSID_TaskScheduler, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
            return E_NOTIMPL;
        ITaskService* service = nullptr;
        HRESULT hr = factory->CreateInstance(nullptr, IID_ITaskService, reinterpret_cast<void**>(&service));
        factory->Release();
        if (FAILED(hr))
            return hr;
        hr = service->NewTask(flags, definition);
        service->Release();
        return hr;
    }
    STDMETHODIMP get_TargetServer(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_ConnectedUser(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_ConnectedDomain(BSTR*) override { return E_NOTIMPL; }

private:
    std::wstring m_root;
    bool m_connected = false;
};

} // namespace

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    return ComServer::GetClassObject<TaskService>(CLSID_TaskScheduler, clsid, riid, object);
}

extern "C" HRESULT __stdcall DllCanUnloadNow()
{
    return liveObjects == 0 ? S_OK : S_FALSE;
}
