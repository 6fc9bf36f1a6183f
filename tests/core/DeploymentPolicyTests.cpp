#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <pugixml.hpp>
#include <set>
#include <string>

#include "core/DeploymentPolicy.h"
#include "platform/RegKey.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;
using Tavrin::Core::DeploymentPolicy;

namespace {

LSTATUS SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, Tavrin::Core::kPolicyKey, name, type, data, size);
}

} // namespace

// Each policy is read by its own name, and only a REG_DWORD of exactly 1
// sets it.
TEST(DeploymentPolicy, OnlyADwordOfOneSetsEachPolicy)
{
    for (DeploymentPolicy policy : Tavrin::Core::kDeploymentPolicies) {
        const wchar_t* name = Tavrin::Core::PolicyValueName(policy);
        RegistryValueBackup backup(HKEY_LOCAL_MACHINE, Tavrin::Core::kPolicyKey, name);
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, Tavrin::Core::kPolicyKey, name);
        const std::string label(name, name + wcslen(name));
        EXPECT_FALSE(Tavrin::Core::IsPolicySet(policy)) << label << " absent";
        const DWORD one = 1, zero = 0, two = 2;
        const struct {
            DWORD type;
            const void* data;
            DWORD size;
            bool set;
        } values[] = {{REG_DWORD, &one, sizeof(one), true},
                      {REG_DWORD, &zero, sizeof(zero), false},
                      {REG_DWORD, &two, sizeof(two), false},
                      {REG_SZ, L"1", 2 * sizeof(wchar_t), false}};
        for (const auto& value : values) {
            ASSERT_EQ(SetValue(name, value.type, value.data, value.size), ERROR_SUCCESS);
            EXPECT_EQ(Tavrin::Core::IsPolicySet(policy), value.set) << label << " type " << value.type;
            // The others are not read from this value.
            for (DeploymentPolicy other : Tavrin::Core::kDeploymentPolicies) {
                if (other != policy) {
                    EXPECT_FALSE(Tavrin::Core::IsPolicySet(other)) << label;
                }
            }
        }
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, Tavrin::Core::kPolicyKey, name);
    }
}

// The Group Policy template writes what the program reads: per policy its
// key, value name, 1 when enabled and 0 when disabled, on the machine; and
// its English texts name every string it refers to.
TEST(DeploymentPolicy, TheTemplateSetsWhatTheProgramReads)
{
    pugi::xml_document admx, adml;
    ASSERT_TRUE(admx.load_file(TAVRIN_POLICY_PATH L"/tavrin.admx"));
    ASSERT_TRUE(adml.load_file(TAVRIN_POLICY_PATH L"/en-US/tavrin.adml"));
    std::map<std::wstring, pugi::xml_node> policies;
    for (pugi::xml_node policy : admx.child(L"policyDefinitions").child(L"policies").children(L"policy"))
        policies[policy.attribute(L"valueName").value()] = policy;
    EXPECT_EQ(policies.size(), std::size(Tavrin::Core::kDeploymentPolicies));
    for (DeploymentPolicy code : Tavrin::Core::kDeploymentPolicies) {
        const std::wstring name = Tavrin::Core::PolicyValueName(code);
        const std::string label(name.begin(), name.end());
        ASSERT_TRUE(policies.count(name)) << label;
        const pugi::xml_node policy = policies[name];
        EXPECT_STREQ(policy.attribute(L"key").value(), Tavrin::Core::kPolicyKey) << label;
        EXPECT_STREQ(policy.attribute(L"class").value(), L"Machine") << label;
        EXPECT_EQ(policy.child(L"enabledValue").child(L"decimal").attribute(L"value").as_int(-1), 1) << label;
        EXPECT_EQ(policy.child(L"disabledValue").child(L"decimal").attribute(L"value").as_int(-1), 0)
            << label;
    }

    std::set<std::wstring> strings;
    for (const pugi::xpath_node& text : adml.select_nodes(L"//string"))
        strings.insert(text.node().attribute(L"id").value());
    size_t references = 0;
    for (pugi::xpath_node attribute : admx.select_nodes(L"//@displayName | //@explainText")) {
        const std::wstring value = attribute.attribute().value();
        ASSERT_EQ(value.rfind(L"$(string.", 0), 0u);
        const std::wstring id = value.substr(9, value.size() - 10);
        EXPECT_TRUE(strings.count(id)) << std::string(id.begin(), id.end());
        ++references;
    }
    EXPECT_EQ(references, 3 + 2 * policies.size()); // the support line and two categories
}
