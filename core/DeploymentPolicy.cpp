#include "core/DeploymentPolicy.h"

#include "platform/RegKey.h"

namespace Tavrin::Core {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Orvane\\Tavrin";

namespace {

const struct {
    DeploymentPolicy policy;
    const wchar_t* valueName;
} kPolicyNames[] = {
    {DeploymentPolicy::DisableUpdateCheck, L"DisableUpdateCheck"},
    {DeploymentPolicy::DisableUsageReport, L"DisableUsageReport"},
    {DeploymentPolicy::DisableDriftCheck, L"DisableDriftCheck"},
};

} // namespace

const wchar_t* PolicyValueName(DeploymentPolicy policy)
{
    for (const auto& entry : kPolicyNames)
        if (entry.policy == policy)
            return entry.valueName;
    return L"";
}

bool IsPolicySet(DeploymentPolicy policy)
{
    // Only administrators and Group Policy write below Policies; a 32-bit
    // program would otherwise read the WOW6432Node copy, which policy
    // processing does not fill.
    Platform::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kPolicyKey, KEY_QUERY_VALUE | KEY_WOW64_64KEY) != ERROR_SUCCESS)
        return false;
    return key.QueryDword(PolicyValueName(policy)) == 1u;
}

} // namespace Tavrin::Core
