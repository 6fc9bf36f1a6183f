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
                                        bool usePolicy, bool userSection)
    : rootKey_(root), keyPath_(std::move(keyPath)), valueName_(std::move(valueName))
{
    if (usePolicy) {
        policyKey_ = std::make_unique<PolicyRegistryKey>(userSection);
        rootKey_ = policyKey_->Key();
    }
}

template <typename T> CRegistryProperty<T>::~CRegistryProperty()
{
    // Saved here and once more by the holder as it goes: a save that failed
    // after the last change gets two more chances before the object is gone.
    SavePolicy();
}

template <typename T> void CRegistryProperty<T>::SavePolicy()
{
    if (policyKey_)
        policyKey_->Save();
}

template <typename T> void CRegistryProperty<T>::SetValue(const T& value)
{
    EnsureKey(rootKey_, keyPath_);
    RegKey key;
    if (OpenSettingsKey(key, rootKey_, keyPath_) == ERROR_SUCCESS) {
        if constexpr (std::is_same_v<T, DWORD>)
            key.SetDword(valueName_, value);
        else
            key.SetString(valueName_, value);
    }
    key.Close();
    SavePolicy();
}

template <typename T> LSTATUS CRegistryProperty<T>::DeleteValue()
{
    RegKey key;
    LSTATUS status = OpenSettingsKey(key, rootKey_, keyPath_);
    if (status != ERROR_SUCCESS)
        return status;
    status = key.DeleteValue(valueName_);
    SavePolicy();
    return status;
}

template <typename T> T CRegistryProperty<T>::GetValue() const
{
    RegKey key;
    if (OpenSettingsKey(key, rootKey_, keyPath_) != ERROR_SUCCESS)
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
