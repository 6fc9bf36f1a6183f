#pragma once

namespace Tavrin::Core {

// What a domain administrator can switch off through Group Policy (the
// template in installer/policy). Each is a REG_DWORD under kPolicyKey of
// HKEY_LOCAL_MACHINE, in the 64-bit registry view; exactly 1 sets it.
enum class DeploymentPolicy { DisableUpdateCheck, DisableUsageReport, DisableDriftCheck };

extern const wchar_t kPolicyKey[]; // SOFTWARE\Policies\Orvane\Tavrin
constexpr DeploymentPolicy kDeploymentPolicies[] = {DeploymentPolicy::DisableUpdateCheck,
                                                    DeploymentPolicy::DisableUsageReport,
                                                    DeploymentPolicy::DisableDriftCheck};

// The registry value that holds the policy.
const wchar_t* PolicyValueName(DeploymentPolicy policy);

// Read afresh at every call; an absent key or value, another type or any
// other number leaves the policy unset.
bool IsPolicySet(DeploymentPolicy policy);

} // namespace Tavrin::Core
