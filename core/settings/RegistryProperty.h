#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "core/settings/ChangeJournal.h"

namespace Tavrin::Core {

class PolicyRegistryKey;

// Where a property's value is written: the registry as it is, or a section
// (the computer's or the user's) of the local group policy object.
enum class PolicyBinding { None, MachineSection, UserSection };

// Every key a settings model touches is opened in the 64-bit view, so that the
// 32-bit program changes the settings Windows actually reads; reads ask for
// write access too, as the program always runs elevated.
constexpr REGSAM kSettingsKeyAccess = KEY_READ | KEY_WRITE | KEY_WOW64_64KEY;
static_assert(kSettingsKeyAccess == 0x2011F);

// Opens the key below root, creating it and every missing key above it when it
// does not exist. Returns the Win32 status of the open or of the create.
LSTATUS EnsureKey(HKEY root, const std::wstring& keyPath);

// One registry value with a default: a 32-bit number stored as REG_DWORD or a
// wide string stored as REG_SZ. Every operation opens its key, works and closes
// it again; nothing is cached, so a read always sees the registry of the moment.
// A property bound to the local group policy object reads below a section of
// the process's reading policy object (opened when a value is first needed);
// each change loads a policy object of its own, changes the value there and
// saves it (see LocalGroupPolicy).
template <typename T> class CRegistryProperty {
    static_assert(std::is_same_v<T, DWORD> || std::is_same_v<T, std::wstring>,
                  "registry properties hold REG_DWORD numbers or REG_SZ strings");

public:
    // Numbers may live below any root.
    template <typename U = T, std::enable_if_t<std::is_same_v<U, DWORD>, int> = 0>
    CRegistryProperty(HKEY root, std::wstring keyPath, std::wstring valueName,
                      PolicyBinding binding = PolicyBinding::None)
        : CRegistryProperty()
    {
        Bind(root, std::move(keyPath), std::move(valueName), binding);
    }
    // Strings are always per-user.
    template <typename U = T, std::enable_if_t<std::is_same_v<U, std::wstring>, int> = 0>
    CRegistryProperty(std::wstring keyPath, std::wstring valueName,
                      PolicyBinding binding = PolicyBinding::None)
        : CRegistryProperty()
    {
        Bind(HKEY_CURRENT_USER, std::move(keyPath), std::move(valueName), binding);
    }
    // Without a place yet: a settings model's members get theirs from the
    // model's catalogue (BindMembers) while the model is made. Until then it
    // has no root, so nothing reads or writes through it.
    CRegistryProperty();
    virtual ~CRegistryProperty();
    CRegistryProperty(const CRegistryProperty&) = delete;
    CRegistryProperty& operator=(const CRegistryProperty&) = delete;

    // The stored value, or defaultValue when nothing usable is stored.
    T GetValue() const;
    // Journals the value, creates the key when missing and writes the value.
    // Returns the first status that failed (a change that could not be
    // journalled is not made), ERROR_SUCCESS when the value is written and,
    // for a policy-bound value, saved.
    LSTATUS SetValue(const T& value);
    // Deletes the value, never its key; a missing key is not created.
    LSTATUS DeleteValue();

    // The root the key path is read below: the declared one, with
    // HKEY_CURRENT_USER standing for the hive of the user whose settings
    // this run shows (Platform::UserHive), or for a policy-bound property the
    // reading policy object's section (opening the object when that has not
    // been tried; null when it cannot be had).
    HKEY RootKey() const;
    const std::wstring& KeyPath() const { return m_keyPath; }
    const std::wstring& ValueName() const { return m_valueName; }
    bool IsPolicyBound() const { return m_policyKey != nullptr; }
    // Where the value lives, as the change journal names it; does not open
    // the policy object.
    RegistryPlace Place() const;

    // Gives the property its place; a property is placed once.
    void Bind(HKEY root, std::wstring keyPath, std::wstring valueName, PolicyBinding binding);

    T defaultValue{};

private:
    // Writes the value, or deletes it when there is none.
    LSTATUS Change(const std::optional<T>& value);
    // The declared root as it is now: per-user values below UserHive's root.
    HKEY PlainRoot() const;

    HKEY m_rootKey = nullptr; // as declared; not used when policy-bound
    std::wstring m_keyPath;
    std::wstring m_valueName;
    std::unique_ptr<PolicyRegistryKey> m_policyKey;
};

using NumberProperty = CRegistryProperty<DWORD>;
using StringProperty = CRegistryProperty<std::wstring>;

extern template class CRegistryProperty<DWORD>;
extern template class CRegistryProperty<std::wstring>;

} // namespace Tavrin::Core
