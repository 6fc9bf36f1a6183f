// An in-process COM server for CLSID_GroupPolicyObject, used by the tests in
// place of the editor's object. It keeps the policy as Windows does: the
// policy files are shared, and each object works on a copy of its own.
//
// Its settings are values of its own class key
// (HKEY_CLASSES_ROOT\CLSID\{EA502722-...}):
//   "TestRoot"  (REG_SZ)    a key path below HKEY_CURRENT_USER, laid out as
//                           "Machine", "User"  the stored policy of each
//                                              section (the Registry.pol files);
//                           "Version"          REG_DWORD, raised by every save
//                                              that wrote (gpt.ini's version);
//                           "Objects\<n>"      object n's own copy of both
//                                              sections while it is open;
//                           "Log"              the call log ("0001", ...);
//                           "FailSaves"        REG_DWORD n: the next n saves
//                                              fail and write nothing;
//   "FailOpen", "FailKey" (REG_DWORD 1) make OpenLocalMachineGPO or
//                           GetRegistryKey fail.
// OpenLocalMachineGPO loads the stored policy into the object's copy; the
// keys GetRegistryKey hands out are the copy's, so a change is seen by that
// object alone until it saves; Save replaces the stored section with the
// object's copy, so the object that saves last wins; the copy goes with the
// object. Each Save records its arguments and the copy's contents at that
// moment, so a test sees which change each save came after.
#include <windows.h>
#include <prsht.h>
#include <gpedit.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/RegKey.h"
#include "tests/helpers/common/ComServer.h"

using Tavrin::Platform::RegKey;
namespace ComServer = Tavrin::Test::ComServer;
using ComServer::liveObjects;

namespace {

const CLSID kClass = {0xEA502722, 0xA23D, 0x11D1, {0xA7, 0xD3, 0x00, 0x00, 0xF8, 0x75, 0x71, 0xE3}};
const IID kInterface = {0xEA502723, 0xA23D, 0x11D1, {0xA7, 0xD3, 0x00, 0x00, 0xF8, 0x75, 0x71, 0xE3}};
const wchar_t kClassKey[] = L"CLSID\\{EA502722-A23D-11D1-A7D3-0000F87571E3}";

struct ServerSettings {
    std::wstring root;
    bool failOpen = false;
    bool failKey = false;
};

ServerSettings ReadSettings()
{
    ServerSettings settings;
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, kClassKey, KEY_READ) != ERROR_SUCCESS)
        return settings;
    settings.root = key.QueryString(L"TestRoot").value_or(L"");
    settings.failOpen = key.QueryDword(L"FailOpen").value_or(0) != 0;
    settings.failKey = key.QueryDword(L"FailKey").value_or(0) != 0;
    return settings;
}

void Log(const std::wstring& root, const std::wstring& line)
{
    if (!root.empty())
        ComServer::AppendToLog(root + L"\\Log", line);
}

std::wstring GuidText(const GUID* guid)
{
    if (!guid)
        return L"null";
    wchar_t text[64] = {};
    ::StringFromGUID2(*guid, text, 64);
    return text;
}

// "path\name=value;" for every value below key, numbers in decimal and
// strings quoted, keys in enumeration order.
void Describe(HKEY key, const std::wstring& path, std::wstring& out)
{
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0;
        BYTE data[512];
        DWORD size = sizeof(data);
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        out += path + name + L"=";
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof(number));
            out += std::to_wstring(number);
        } else if (type == REG_SZ) {
            std::wstring text(size / sizeof(wchar_t), L'\0');
            std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
            out += L"\"" + std::wstring(text.c_str()) + L"\"";
        } else
            out += L"type" + std::to_wstring(type);
        out += L";";
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        RegKey child;
        if (child.Open(key, name, KEY_READ) == ERROR_SUCCESS)
            Describe(child.Get(), path + name + L"\\", out);
    }
}

std::wstring SectionName(bool machine)
{
    return machine ? L"Machine" : L"User";
}

// Replaces the tree at `to` by a copy of the tree at `from` (nothing when
// `from` does not exist).
LSTATUS CopySection(const std::wstring& from, const std::wstring& to)
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, to.c_str());
    RegKey source;
    if (source.Open(HKEY_CURRENT_USER, from, KEY_READ) != ERROR_SUCCESS)
        return ERROR_SUCCESS;
    RegKey target;
    LSTATUS status = target.Create(HKEY_CURRENT_USER, to, KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS)
        return status;
    return ::RegCopyTreeW(source.Get(), nullptr, target.Get());
}

// Reads a counter below the test root, stores it raised by `step` and
// returns the new value.
DWORD Advance(const std::wstring& root, const wchar_t* name, int step)
{
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, root, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return 0;
    DWORD value = key.QueryDword(name).value_or(0) + static_cast<DWORD>(step);
    key.SetDword(name, value);
    return value;
}

class GroupPolicyObject final : public IGroupPolicyObject {
public:
    GroupPolicyObject() : m_settings(ReadSettings())
    {
        ++liveObjects;
        Log(m_settings.root, L"create");
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kInterface)) {
            *object = static_cast<IGroupPolicyObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --m_references;
        if (left == 0) {
            Log(m_settings.root, L"release");
            delete this;
        }
        return left;
    }

    STDMETHODIMP OpenLocalMachineGPO(DWORD flags) override
    {
        Log(m_settings.root, L"open " + std::to_wstring(flags));
        if (m_settings.failOpen || m_settings.root.empty() || !m_copy.empty())
            return E_FAIL;
        // The policy as stored now; later saves by other objects are not seen.
        m_copy = m_settings.root + L"\\Objects\\" + std::to_wstring(Advance(m_settings.root, L"Objects", 1));
        for (bool machine : {true, false})
            CopySection(StoredSection(machine), CopiedSection(machine));
        return S_OK;
    }

    STDMETHODIMP GetRegistryKey(DWORD section, HKEY* key) override
    {
        Log(m_settings.root, L"key " + std::to_wstring(section));
        if (!key)
            return E_POINTER;
        *key = nullptr;
        if (m_copy.empty() || m_settings.failKey)
            return E_FAIL;
        if (section != GPO_SECTION_MACHINE && section != GPO_SECTION_USER)
            return E_INVALIDARG;
        // Handed to the caller, who closes it, as with the real object.
        const std::wstring path = CopiedSection(section == GPO_SECTION_MACHINE);
        LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key, nullptr);
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
        return S_OK;
    }

    STDMETHODIMP Save(BOOL machine, BOOL add, GUID* extension, GUID* tool) override
    {
        std::wstring state;
        RegKey section;
        if (!m_copy.empty() &&
            section.Open(HKEY_CURRENT_USER, CopiedSection(machine != FALSE), KEY_READ) == ERROR_SUCCESS)
            Describe(section.Get(), L"", state);
        Log(m_settings.root, L"save machine=" + std::to_wstring(machine != FALSE) + L" add=" +
                                 std::to_wstring(add != FALSE) + L" ext=" + GuidText(extension) + L" tool=" +
                                 GuidText(tool) + L" state=" + state);
        if (m_copy.empty())
            return E_FAIL;
        if (FailThisSave())
            return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
        // Windows rewrites the section's policy file whole and raises the
        // version, whether or not anything changed.
        LSTATUS status = CopySection(CopiedSection(machine != FALSE), StoredSection(machine != FALSE));
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
        Advance(m_settings.root, L"Version", 1);
        return S_OK;
    }

    STDMETHODIMP New(LPOLESTR, LPOLESTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OpenDSGPO(LPOLESTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OpenRemoteMachineGPO(LPOLESTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Delete() override { return E_NOTIMPL; }
    STDMETHODIMP GetName(LPOLESTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP GetDisplayName(LPOLESTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP SetDisplayName(LPOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetPath(LPOLESTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP GetDSPath(DWORD, LPOLESTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP GetFileSysPath(DWORD, LPOLESTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP GetOptions(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetOptions(DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetType(GROUP_POLICY_OBJECT_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMachineName(LPOLESTR, int) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertySheetPages(HPROPSHEETPAGE**, UINT*) override { return E_NOTIMPL; }

private:
    ~GroupPolicyObject()
    {
        // The loaded copy goes with the object; keys still open on it see a
        // deleted key from now on.
        if (!m_copy.empty())
            ::RegDeleteTreeW(HKEY_CURRENT_USER, m_copy.c_str());
        --liveObjects;
    }

    std::wstring StoredSection(bool machine) const { return m_settings.root + L"\\" + SectionName(machine); }
    std::wstring CopiedSection(bool machine) const { return m_copy + L"\\" + SectionName(machine); }

    bool FailThisSave() const
    {
        RegKey key;
        if (key.Open(HKEY_CURRENT_USER, m_settings.root, KEY_READ) != ERROR_SUCCESS ||
            key.QueryDword(L"FailSaves").value_or(0) == 0)
            return false;
        Advance(m_settings.root, L"FailSaves", -1);
        return true;
    }

    std::atomic<ULONG> m_references{1};
    ServerSettings m_settings;
    std::wstring m_copy; // below HKEY_CURRENT_USER; empty until opened
};

} // namespace

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    return ComServer::GetClassObject<GroupPolicyObject>(kClass, clsid, riid, object);
}

extern "C" HRESULT __stdcall DllCanUnloadNow()
{
    return liveObjects == 0 ? S_OK : S_FALSE;
}
