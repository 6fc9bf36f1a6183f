#include "tests/core/SettingsTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ostream>

#include <prsht.h>
#include <gpedit.h>
#include <gtest/gtest.h>

#include "core/settings/ChangeJournal.h"
#include "core/settings/PolicyRegistryKey.h"
#include "platform/ComPtr.h"
#include "platform/RegKey.h"

namespace Tavrin::Test {

using Platform::RegKey;

bool StoredValue::IsDword(DWORD value) const
{
    return present && type == REG_DWORD && data.size() == sizeof(DWORD) &&
           std::equal(data.begin(), data.end(), reinterpret_cast<const BYTE*>(&value));
}

bool StoredValue::IsString(const std::wstring& text) const
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return present && type == REG_SZ && data.size() == (text.size() + 1) * sizeof(wchar_t) &&
           std::equal(data.begin(), data.end(), bytes);
}

void PrintTo(const StoredValue& value, std::ostream* out)
{
    if (!value.present) {
        *out << "(absent)";
        return;
    }
    *out << "type " << value.type << ", " << value.data.size() << " bytes:";
    for (BYTE b : value.data) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), " %02x", b);
        *out << hex;
    }
}

std::string StateText(const StoredValue& value)
{
    if (!value.present)
        return "-";
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), sizeof(number));
        return std::to_string(number);
    }
    if (value.type == REG_SZ && value.data.size() % sizeof(wchar_t) == 0 && !value.data.empty()) {
        std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), value.data.data(), value.data.size());
        if (text.back() == L'\0' && text.find(L'\0') == text.size() - 1)
            return "'" + std::string(text.begin(), text.end() - 1) + "'";
    }
    return "type " + std::to_string(value.type) + ", " + std::to_string(value.data.size()) + " bytes";
}

StoredValue ReadStored(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view)
{
    StoredValue value;
    RegKey key;
    if (key.Open(root, path, KEY_READ | view) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.present = true;
    return value;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view)
{
    RegKey key;
    return key.Open(root, path, KEY_READ | view) == ERROR_SUCCESS;
}

void WriteStored(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                 DWORD size, REGSAM view)
{
    RegKey key;
    if (key.Create(root, path, KEY_ALL_ACCESS | view) == ERROR_SUCCESS)
        ::RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value)
{
    WriteStored(root, path, name, REG_DWORD, &value, sizeof(value));
}

DeploymentPolicySet::DeploymentPolicySet(Tavrin::Core::DeploymentPolicy policy)
    : m_backup(HKEY_LOCAL_MACHINE, Tavrin::Core::kPolicyKey, Tavrin::Core::PolicyValueName(policy))
{
    const DWORD one = 1;
    EXPECT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, Tavrin::Core::kPolicyKey,
                                Tavrin::Core::PolicyValueName(policy), REG_DWORD, &one, sizeof(one)),
              ERROR_SUCCESS);
}

void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    WriteStored(root, path, name, REG_SZ, text.c_str(),
                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void DeleteStored(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view)
{
    RegKey key;
    if (key.Open(root, path, KEY_ALL_ACCESS | view) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.Get(), name.c_str());
}

void RegistryRestorer::TrackAndClear(HKEY root, const std::wstring& path, const std::wstring& name)
{
    m_values.push_back({root, path, name, ReadStored(root, path, name)});
    // The first missing key on the way down goes with everything below it.
    for (size_t end = 0; end != std::wstring::npos;) {
        end = path.find(L'\\', end + 1);
        std::wstring prefix = path.substr(0, end);
        if (!KeyExists(root, prefix)) {
            bool known = std::any_of(m_created.begin(), m_created.end(),
                                     [&](const CreatedKey& k) { return k.root == root && k.path == prefix; });
            if (!known)
                m_created.push_back({root, prefix});
            break;
        }
    }
    DeleteStored(root, path, name);
}

RegistryRestorer::~RegistryRestorer()
{
    for (auto it = m_values.rbegin(); it != m_values.rend(); ++it) {
        if (it->value.present)
            WriteStored(it->root, it->path, it->name, it->value.type, it->value.data.data(),
                        static_cast<DWORD>(it->value.data.size()));
        else
            DeleteStored(it->root, it->path, it->name);
    }
    for (const auto& key : m_created)
        DeleteTree(key.root, key.path, KEY_WOW64_64KEY);
}

void ClearedJournal::Clear()
{
    DeleteTree(HKEY_LOCAL_MACHINE, Core::kJournalKey, Core::kJournalView);
    for (unsigned number = 1; number <= Core::kDamagedJournalCopies; ++number)
        DeleteTree(HKEY_LOCAL_MACHINE, Core::DamagedJournalKey(number), Core::kJournalView);
}

JournalHeldElsewhere::JournalHeldElsewhere()
    : m_ready(L"Local\\TavrinTests.JournalHeld." + std::to_wstring(::GetCurrentProcessId())),
      m_release(L"Local\\TavrinTests.JournalRelease." + std::to_wstring(::GetCurrentProcessId())),
      m_readyEvent(::CreateEventW(nullptr, TRUE, FALSE, m_ready.c_str())),
      m_releaseEvent(::CreateEventW(nullptr, TRUE, FALSE, m_release.c_str()))
{
    m_program = std::make_unique<RunningProgram>(L"hold " + m_ready + L" " + m_release,
                                                 BinFolder() + L"\\journal_copy.exe");
}

JournalHeldElsewhere::~JournalHeldElsewhere()
{
    ::SetEvent(m_releaseEvent.Get());
    m_program->WaitForExit(30000);
}

bool JournalHeldElsewhere::Held() const
{
    // A helper that ended (it could not have the lock) ends the wait too.
    for (DWORD start = ::GetTickCount(); m_program->Started() && ::GetTickCount() - start < 30000;)
        if (::WaitForSingleObject(m_readyEvent.Get(), 100) == WAIT_OBJECT_0)
            return true;
        else if (m_program->ExitCode() != STILL_ACTIVE)
            return false;
    return false;
}

const wchar_t* const PolicyServer::kClassKey =
    L"SOFTWARE\\Classes\\CLSID\\{EA502722-A23D-11D1-A7D3-0000F87571E3}";
const std::wstring PolicyServer::kSaveArguments =
    L"add=1 ext={35378EAC-683F-11D2-A89A-00C04FBBCFA2} tool={0F6B957E-509E-11D1-A7CC-0000F87571E3}";

PolicyServer::PolicyServer(Options options)
{
    RegKey server;
    server.Create(HKEY_LOCAL_MACHINE, std::wstring(kClassKey) + L"\\InprocServer32", KEY_ALL_ACCESS);
    server.SetString(L"", BinFolder() + L"\\gpo_server.dll");
    server.SetString(L"ThreadingModel", L"Both");
    RegKey settings;
    settings.Open(HKEY_LOCAL_MACHINE, kClassKey, KEY_ALL_ACCESS);
    settings.SetString(L"TestRoot", m_root.Path());
    settings.SetDword(L"FailOpen", options.failOpen ? 1 : 0);
    settings.SetDword(L"FailKey", options.failKey ? 1 : 0);
    RegKey root;
    root.Create(HKEY_CURRENT_USER, m_root.Path(), KEY_ALL_ACCESS);
    root.SetDword(L"FailSaves", options.failSaves);
}

PolicyServer::~PolicyServer()
{
    DeleteTree(HKEY_LOCAL_MACHINE, kClassKey);
}

std::wstring PolicyServer::SectionPath(bool machine) const
{
    return m_root.Path() + (machine ? L"\\Machine" : L"\\User");
}

DWORD PolicyServer::Version() const
{
    RegKey root;
    if (root.Open(HKEY_CURRENT_USER, m_root.Path(), KEY_READ) != ERROR_SUCCESS)
        return 0;
    return root.QueryDword(L"Version").value_or(0);
}

void PolicyServer::Unregister()
{
    DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kClassKey) + L"\\InprocServer32", KEY_WOW64_64KEY);
}

void PolicyServer::WriteAsAnotherTool(const std::wstring& keyPath, const std::wstring& name, DWORD value)
{
    Platform::ComApartment apartment;
    Platform::ComPtr<IGroupPolicyObject> object;
    ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(Core::kGroupPolicyObjectClass, nullptr, CLSCTX_INPROC_SERVER,
                                                Core::kGroupPolicyObjectInterface, object.PutVoid()));
    ASSERT_HRESULT_SUCCEEDED(object->OpenLocalMachineGPO(GPO_OPEN_LOAD_REGISTRY));
    HKEY section = nullptr;
    ASSERT_HRESULT_SUCCEEDED(object->GetRegistryKey(GPO_SECTION_MACHINE, &section));
    RegKey owned;
    owned.Attach(section);
    RegKey key;
    ASSERT_EQ(key.Create(owned.Get(), keyPath, KEY_ALL_ACCESS), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDword(name, value), ERROR_SUCCESS);
    key.Close();
    GUID extension = Core::kRegistryExtension;
    GUID tool = Core::kPolicyToolId;
    ASSERT_HRESULT_SUCCEEDED(object->Save(TRUE, TRUE, &extension, &tool));
}

std::vector<std::wstring> PolicyServer::Calls() const
{
    std::vector<std::wstring> calls;
    RegKey log;
    if (log.Open(HKEY_CURRENT_USER, m_root.Path() + L"\\Log", KEY_READ) != ERROR_SUCCESS)
        return calls;
    for (int index = 1;; ++index) {
        wchar_t name[16];
        std::swprintf(name, 16, L"%04d", index);
        auto line = log.QueryString(name);
        if (!line)
            break;
        calls.push_back(*line);
    }
    return calls;
}

} // namespace Tavrin::Test
