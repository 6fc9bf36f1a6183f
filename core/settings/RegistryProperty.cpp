#include "core/settings/RegistryProperty.h"

#include "core/settings/PolicyRegistryKey.h"
#include "platform/RegKey.h"

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
CRegistryProperty<T>::CRegistryProperty(Bind, HKEY root, std::wstring keyPath, std::wstring valueName,
                                        PolicyBinding binding)
    : rootKey_(root), keyPath_(std::move(keyPath)), valueName_(std::move(valueName))
{
    // The declared root is not used: the key path is below the policy
    // object's section, which is had only when the value is first needed.
    if (binding != PolicyBinding::None)
        policyKey_ = std::make_unique<PolicyRegistryKey>(binding == PolicyBinding::UserSection);
}

// Nothing is saved here: every change was saved when it was made.
template <typename T> CRegistryProperty<T>::~CRegistryProperty() = default;

template <typename T> HKEY CRegistryProperty<T>::RootKey() const
{
    return policyKey_ ? policyKey_->Key() : rootKey_;
}

template <typename T> RegistryPlace CRegistryProperty<T>::Place() const
{
    RegistryPlace place;
    if (policyKey_)
        place.root =
            policyKey_->UserSection() ? RegistryPlace::Root::PolicyUser : RegistryPlace::Root::PolicyMachine;
    else if (rootKey_ == HKEY_LOCAL_MACHINE)
        place.root = RegistryPlace::Root::Machine;
    else if (rootKey_ == HKEY_CURRENT_USER)
        place.root = RegistryPlace::Root::User;
    place.view = kSettingsKeyAccess & KEY_WOW64_RES;
    place.keyPath = keyPath_;
    place.valueName = valueName_;
    return place;
}

template <typename T> void CRegistryProperty<T>::SavePolicy(LSTATUS change)
{
    // A change that did not happen leaves the policy files as they are.
    if (policyKey_ && change == ERROR_SUCCESS)
        policyKey_->Save();
}

template <typename T> void CRegistryProperty<T>::SetValue(const T& value)
{
    const HKEY root = RootKey();
    // Journalled before the key is created, so the journal knows which keys
    // the write makes.
    if constexpr (std::is_same_v<T, DWORD>)
        BeforeRegistryChange(root, Place(), StoredState::Dword(value));
    else
        BeforeRegistryChange(root, Place(), StoredState::String(value));
    EnsureKey(root, keyPath_);
    RegKey key;
    LSTATUS status = OpenSettingsKey(key, root, keyPath_);
    if (status == ERROR_SUCCESS) {
        if constexpr (std::is_same_v<T, DWORD>)
            status = key.SetDword(valueName_, value);
        else
            status = key.SetString(valueName_, value);
    }
    key.Close();
    SavePolicy(status);
}

template <typename T> LSTATUS CRegistryProperty<T>::DeleteValue()
{
    RegKey key;
    LSTATUS status = OpenSettingsKey(key, RootKey(), keyPath_);
    if (status != ERROR_SUCCESS)
        return status;
    BeforeRegistryChange(RootKey(), Place(), std::nullopt);
    status = key.DeleteValue(valueName_);
    key.Close();
    SavePolicy(status);
    return status;
}

template <typename T> T CRegistryProperty<T>::GetValue() const
{
    RegKey key;
    if (OpenSettingsKey(key, RootKey(), keyPath_) != ERROR_SUCCESS)
        return defaultValue;
    // A value of another type counts as absent (for numbers also a REG_DWORD
    // of the wrong size): its bytes are not a setting the page could show.
    if constexpr (std::is_same_v<T, DWORD>)
        return key.QueryDword(valueName_).value_or(defaultValue);
    else
        return key.QueryString(valueName_).value_or(defaultValue);
}

template class CRegistryProperty<DWORD>;
template class CRegistryProperty<std::wstring>;

} // namespace Tavrin::Core
