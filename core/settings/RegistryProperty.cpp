#include "core/settings/RegistryProperty.h"

#include "core/settings/PolicyRegistryKey.h"
#include "platform/RegKey.h"
#include "platform/UserHive.h"

namespace Tavrin::Core {

using Platform::RegKey;

namespace {

// A policy-bound property whose policy object could not be had has no root;
// the registry functions are not asked to interpret a null handle.
LSTATUS OpenSettingsKey(RegKey& key, HKEY root, const std::wstring& keyPath)
{
    if (!root)
        return ERROR_INVALID_HANDLE;
    return key.Open(root, keyPath, kSettingsKeyAccess);
}

} // namespace

LSTATUS EnsureKey(HKEY root, const std::wstring& keyPath)
{
    if (!root)
        return ERROR_INVALID_HANDLE;
    RegKey key;
    if (key.Open(root, keyPath, kSettingsKeyAccess) == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    return key.Create(root, keyPath, kSettingsKeyAccess);
}

template <typename T>
void CRegistryProperty<T>::Bind(HKEY root, std::wstring keyPath, std::wstring valueName,
                                PolicyBinding binding)
{
    m_rootKey = root;
    m_keyPath = std::move(keyPath);
    m_valueName = std::move(valueName);
    // The declared root is not used: the key path is below the policy
    // object's section, which is had only when the value is first needed.
    m_policyKey.reset();
    if (binding != PolicyBinding::None)
        m_policyKey = std::make_unique<PolicyRegistryKey>(binding == PolicyBinding::UserSection);
}

template <typename T> CRegistryProperty<T>::CRegistryProperty() = default;

template <typename T> CRegistryProperty<T>::~CRegistryProperty() = default;

template <typename T> HKEY CRegistryProperty<T>::PlainRoot() const
{
    // A per-user value lives in the hive of the user whose settings this run
    // shows, which is not always the process's own.
    return m_rootKey == HKEY_CURRENT_USER ? Platform::UserHive::Current().Root() : m_rootKey;
}

template <typename T> HKEY CRegistryProperty<T>::RootKey() const
{
    return m_policyKey ? m_policyKey->Key() : PlainRoot();
}

template <typename T> RegistryPlace CRegistryProperty<T>::Place() const
{
    RegistryPlace place;
    if (m_policyKey)
        place.root =
            m_policyKey->UserSection() ? RegistryPlace::Root::PolicyUser : RegistryPlace::Root::PolicyMachine;
    else if (m_rootKey == HKEY_LOCAL_MACHINE)
        place.root = RegistryPlace::Root::Machine;
    else if (m_rootKey == HKEY_CURRENT_USER)
        place.root = RegistryPlace::Root::User;
    place.view = kSettingsKeyAccess & KEY_WOW64_RES;
    place.keyPath = m_keyPath;
    place.valueName = m_valueName;
    return place;
}

template <typename T> LSTATUS CRegistryProperty<T>::Change(const std::optional<T>& value)
{
    // A policy-bound value changes in a copy of the policy loaded for this
    // change alone, so that the save writes back what other tools set since
    // the program started, and the journal keeps the state of that copy.
    std::optional<LocalGroupPolicy> policy;
    HKEY root = PlainRoot();
    if (m_policyKey) {
        policy.emplace();
        root = policy->SectionKey(m_policyKey->UserSection());
    }
    RegKey key;
    LSTATUS status = ERROR_SUCCESS;
    if (value) {
        StoredState next;
        if constexpr (std::is_same_v<T, DWORD>)
            next = StoredState::Dword(*value);
        else
            next = StoredState::String(*value);
        // Journalled before the key is created, so the journal knows which
        // keys the write makes.
        status = BeforeRegistryChange(root, Place(), next);
        if (status != ERROR_SUCCESS)
            return status;
        EnsureKey(root, m_keyPath);
        status = OpenSettingsKey(key, root, m_keyPath);
        if (status != ERROR_SUCCESS)
            return status;
        if constexpr (std::is_same_v<T, DWORD>)
            status = key.SetDword(m_valueName, *value);
        else
            status = key.SetString(m_valueName, *value);
    } else {
        // A missing key is not created.
        status = OpenSettingsKey(key, root, m_keyPath);
        if (status != ERROR_SUCCESS)
            return status;
        status = BeforeRegistryChange(root, Place(), std::nullopt);
        if (status != ERROR_SUCCESS)
            return status;
        status = key.DeleteValue(m_valueName);
    }
    key.Close();
    // A change that did not happen leaves the policy files as they are.
    if (policy && status == ERROR_SUCCESS && !policy->Save(m_policyKey->UserSection()))
        return ERROR_WRITE_FAULT;
    return status;
}

template <typename T> LSTATUS CRegistryProperty<T>::SetValue(const T& value)
{
    return Change(value);
}

template <typename T> LSTATUS CRegistryProperty<T>::DeleteValue()
{
    return Change(std::nullopt);
}

template <typename T> T CRegistryProperty<T>::GetValue() const
{
    RegKey key;
    if (OpenSettingsKey(key, RootKey(), m_keyPath) != ERROR_SUCCESS)
        return defaultValue;
    // A value of another type counts as absent (for numbers also a REG_DWORD
    // of the wrong size): its bytes are not a setting the page could show.
    if constexpr (std::is_same_v<T, DWORD>)
        return key.QueryDword(m_valueName).value_or(defaultValue);
    else
        return key.QueryString(m_valueName).value_or(defaultValue);
}

template class CRegistryProperty<DWORD>;
template class CRegistryProperty<std::wstring>;

} // namespace Tavrin::Core
