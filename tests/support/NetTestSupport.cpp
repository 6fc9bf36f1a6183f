#include "tests/support/NetTestSupport.h"

#include <wincrypt.h>
#include <aclapi.h>
#include <sddl.h>
#include <wininet.h>

#include "platform/ComPtr.h"
#include "platform/Module.h"
#include "platform/RegKey.h"
#include "platform/UniqueHandle.h"
#include "tests/support/TestSupport.h"

#include <cctype>

namespace Tavrin::Test {

using Platform::ComPtr;
using Platform::RegKey;

namespace {

std::wstring KeyPath(const std::wstring& subKey)
{
    return subKey.empty() ? std::wstring(InstallerKey::kPath)
                          : std::wstring(InstallerKey::kPath) + L"\\" + subKey;
}

std::wstring TakeCoString(LPWSTR text)
{
    std::wstring copy = text ? text : L"";
    ::CoTaskMemFree(text);
    return copy;
}

} // namespace

InstallerKey::InstallerKey(REGSAM view) : m_view(view)
{
    RegKey orvane;
    m_createdOrvane =
        orvane.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane", KEY_READ | m_view) != ERROR_SUCCESS;
    CreateSubKey(L"");
}

InstallerKey::~InstallerKey()
{
    DeleteTree(HKEY_LOCAL_MACHINE, m_createdOrvane ? L"SOFTWARE\\Orvane" : kPath, m_view);
}

void InstallerKey::CreateSubKey(const std::wstring& subKey) const
{
    RegKey key;
    key.Create(HKEY_LOCAL_MACHINE, KeyPath(subKey), KEY_WRITE | m_view);
}

void InstallerKey::SetDword(const std::wstring& name, DWORD value, const std::wstring& subKey) const
{
    RegKey key;
    if (key.Create(HKEY_LOCAL_MACHINE, KeyPath(subKey), KEY_WRITE | m_view) == ERROR_SUCCESS)
        key.SetDword(name, value);
}

void InstallerKey::SetString(const std::wstring& name, const std::wstring& value,
                             const std::wstring& subKey) const
{
    RegKey key;
    if (key.Create(HKEY_LOCAL_MACHINE, KeyPath(subKey), KEY_WRITE | m_view) == ERROR_SUCCESS)
        key.SetString(name, value);
}

EnvironmentOverride::EnvironmentOverride(const std::wstring& name, const std::wstring& value) : m_name(name)
{
    wchar_t buffer[32768];
    DWORD length = ::GetEnvironmentVariableW(name.c_str(), buffer, 32768);
    if (length > 0 && length < 32768)
        m_previous = std::wstring(buffer, length);
    ::SetEnvironmentVariableW(name.c_str(), value.c_str());
}

EnvironmentOverride::~EnvironmentOverride()
{
    ::SetEnvironmentVariableW(m_name.c_str(), m_previous ? m_previous->c_str() : nullptr);
}

TrustedTestRoot::TrustedTestRoot(const std::wstring& derFile)
    : m_der(ReadFileBytes(BinFolder() + L"\\" + derFile))
{
    if (m_der.empty())
        return;
    HCERTSTORE store =
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store)
        return;
    m_added = ::CertAddEncodedCertificateToStore(
                  store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(m_der.data()),
                  static_cast<DWORD>(m_der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    ::CertCloseStore(store, 0);
}

TrustedTestRoot::~TrustedTestRoot()
{
    if (!m_added)
        return;
    PCCERT_CONTEXT wanted = ::CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(m_der.data()), static_cast<DWORD>(m_der.size()));
    if (!wanted)
        return;
    // The system "Root" store may be a collection that refuses deletions,
    // so the certificate goes from the registry store that holds it.
    HCERTSTORE store =
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store) {
        PCCERT_CONTEXT found =
            ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr);
        if (found)
            ::CertDeleteCertificateFromStore(found); // frees found
        ::CertCloseStore(store, 0);
    }
    // And from its registry entry, should the store have kept it.
    BYTE thumbprint[20];
    DWORD size = sizeof(thumbprint);
    if (::CertGetCertificateContextProperty(wanted, CERT_SHA1_HASH_PROP_ID, thumbprint, &size)) {
        static const wchar_t hex[] = L"0123456789ABCDEF";
        std::wstring key = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
        for (DWORD i = 0; i < size; ++i) {
            key += hex[thumbprint[i] >> 4];
            key += hex[thumbprint[i] & 0x0F];
        }
        DeleteTree(HKEY_LOCAL_MACHINE, key);
    }
    ::CertFreeCertificateContext(wanted);
}

std::wstring TestThumbprint(const std::wstring& name)
{
    std::string text = ReadFileBytes(BinFolder() + L"\\" + name + L".sha256");
    std::wstring hex;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            hex += static_cast<wchar_t>(c);
    }
    return hex;
}

std::vector<std::wstring> CachedUrls(const std::wstring& text)
{
    std::vector<std::wstring> urls;
    std::vector<BYTE> buffer(64 * 1024);
    DWORD size = static_cast<DWORD>(buffer.size());
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    HANDLE find = ::FindFirstUrlCacheEntryW(nullptr, entry, &size);
    if (!find)
        return urls;
    do {
        std::wstring url = entry->lpszSourceUrlName ? entry->lpszSourceUrlName : L"";
        if (url.find(text) != std::wstring::npos)
            urls.push_back(url);
        size = static_cast<DWORD>(buffer.size());
    } while (::FindNextUrlCacheEntryW(find, entry, &size));
    ::FindCloseUrlCache(find);
    return urls;
}

std::string OthersCanWrite(const std::wstring& folder)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return "no security information\n";
    auto isTrusted = [](PSID sid) {
        return ::IsWellKnownSid(sid, WinLocalSystemSid) || ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
    };
    std::string reasons;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    if (!(control & SE_DACL_PROTECTED))
        reasons += "the access list inherits from the parent\n";
    if (!owner || !isTrusted(owner))
        reasons += "the owner is another account\n";
    if (!dacl)
        reasons += "no access list: everyone has every right\n";
    const DWORD writeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                              FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                              GENERIC_ALL;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        PSID sid = &ace->SidStart;
        if ((ace->Mask & writeRights) && !isTrusted(sid)) {
            LPWSTR name = nullptr;
            ::ConvertSidToStringSidW(sid, &name);
            std::wstring text = name ? name : L"?";
            ::LocalFree(name);
            reasons +=
                "entry " + std::to_string(i) + " lets " + std::string(text.begin(), text.end()) + " write\n";
        }
    }
    ::LocalFree(descriptor);
    return reasons;
}

bool CreateOpenFolder(const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    bool created = ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
    ::LocalFree(descriptor);
    return created;
}

bool RunningOnWine()
{
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

bool FileSystemKeepsSecurity()
{
    TempFolder folder;
    std::wstring probe = folder.File(L"security-probe");
    return CreateOpenFolder(probe) &&
           OthersCanWrite(probe).find("inherits from the parent") == std::string::npos;
}

void RemoveFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::RemoveDirectoryW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    Platform::UniqueFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &found));
    if (find) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(find.Get(), &found));
    }
    find.Reset();
    ::RemoveDirectoryW(path.c_str());
}

namespace {

// The Unix path of a Windows path in the prefix; empty where there is none.
std::string UnixPath(const std::wstring& path)
{
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = toUnix ? toUnix(path.c_str()) : nullptr;
    std::string unixPath = name ? name : "";
    if (name)
        ::HeapFree(::GetProcessHeap(), 0, name);
    return unixPath;
}

// Runs a Unix program of the host (Wine starts ELF programs as it starts
// Windows ones) and gives back what it wrote; the exit code of a Unix
// program does not always reach its Windows parent.
std::string RunUnix(const std::string& commandLine)
{
    ProcessResult result = RunProcess(std::wstring(commandLine.begin(), commandLine.end()), 20000);
    return commandLine + (result.timedOut ? " timed out: " : ": ") + result.output;
}

bool IsLink(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Waits up to 10 seconds for the link to be there or gone: the wait for a
// Unix program may end before the program has.
bool WaitForLink(const std::wstring& path, bool there)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (IsLink(path) == there)
            return true;
        ::Sleep(100);
    }
    return false;
}

} // namespace

UnixLink::UnixLink(const std::wstring& link, const std::wstring& target)
    : m_path(link), m_link(UnixPath(link))
{
    const std::string to = UnixPath(target);
    m_problem = m_link.empty() || to.empty() ? "no Unix path"
                                             : RunUnix("/bin/ln -s \"" + to + "\" \"" + m_link + "\"");
    m_made = WaitForLink(link, true);
}

UnixLink::~UnixLink()
{
    if (m_made) {
        RunUnix("/bin/rm -f \"" + m_link + "\"");
        WaitForLink(m_path, false);
    }
}

size_t TaskInfo::EnabledTriggers() const
{
    size_t count = 0;
    for (const TaskTriggerInfo& trigger : triggers)
        count += trigger.enabled ? 1 : 0;
    return count;
}

std::optional<TaskInfo> ReadTask(const std::wstring& name)
{
    Platform::ComApartment com;
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                  scheduler.PutVoid())))
        return std::nullopt;
    ComPtr<ITask> task;
    if (scheduler->Activate(name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.Put())) != S_OK)
        return std::nullopt;
    TaskInfo info;
    LPWSTR text = nullptr;
    if (SUCCEEDED(task->GetApplicationName(&text)))
        info.application = TakeCoString(text);
    if (SUCCEEDED(task->GetParameters(&text)))
        info.parameters = TakeCoString(text);
    if (SUCCEEDED(task->GetWorkingDirectory(&text)))
        info.workingDirectory = TakeCoString(text);
    if (SUCCEEDED(task->GetComment(&text)))
        info.comment = TakeCoString(text);
    task->GetFlags(&info.flags);
    WORD count = 0;
    task->GetTriggerCount(&count);
    for (WORD i = 0; i < count; ++i) {
        ComPtr<ITaskTrigger> trigger;
        if (FAILED(task->GetTrigger(i, trigger.Put())))
            continue;
        TaskTriggerInfo entry;
        entry.trigger.cbTriggerSize = sizeof(TASK_TRIGGER);
        if (FAILED(trigger->GetTrigger(&entry.trigger)))
            continue;
        entry.enabled = (entry.trigger.rgFlags & TASK_TRIGGER_FLAG_DISABLED) == 0;
        info.triggers.push_back(entry);
    }
    return info;
}

void RemoveTask(const std::wstring& name)
{
    Platform::ComApartment com;
    ComPtr<ITaskScheduler> scheduler;
    if (SUCCEEDED(::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                     scheduler.PutVoid())))
        scheduler->Delete(name.c_str());
}

std::vector<std::wstring> TaskFiles()
{
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    Platform::UniqueFindHandle find(
        ::FindFirstFileW((std::wstring(windows) + L"\\Tasks\\*.job").c_str(), &found));
    if (!find)
        return names;
    do {
        names.push_back(found.cFileName);
    } while (::FindNextFileW(find.Get(), &found));
    return names;
}

} // namespace Tavrin::Test
