#include <gtest/gtest.h>

#include "core/reclaim/Reclamation.h"
#include "tests/core/SettingsTestSupport.h"

using namespace Tavrin::Core;
using namespace Tavrin::Test;

namespace {

const wchar_t kVolumeCaches[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\";
const wchar_t* const kHandlers[] = {L"Previous Installations", L"Temporary Setup Files",
                                    L"Upgrade Discarded Files", L"Update Cleanup"};
const wchar_t kStateFlags[] = L"StateFlags1111";

class ReclamationFlags : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* handler : kHandlers)
            m_restorer.TrackAndClear(HKEY_LOCAL_MACHINE, kVolumeCaches + std::wstring(handler), kStateFlags);
    }
    RegistryRestorer m_restorer;
};

} // namespace

TEST_F(ReclamationFlags, ConstructionSelectsTheFourHandlersForProfile1111)
{
    // Wine has no cleanup handlers: the keys are created along the way.
    Reclamation reclamation;
    for (const wchar_t* handler : kHandlers) {
        const std::wstring key = kVolumeCaches + std::wstring(handler);
        EXPECT_EQ(StateText(ReadStored(HKEY_LOCAL_MACHINE, key, kStateFlags, KEY_WOW64_64KEY)), "2")
            << std::string(handler, handler + wcslen(handler));
        EXPECT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, key, kStateFlags, KEY_WOW64_32KEY).present)
            << "the redirected view is not the one cleanmgr.exe of the system reads";
    }
    EXPECT_EQ(reclamation.previousInstallations.GetValue(), 2u);
    EXPECT_EQ(reclamation.updateCleanup.KeyPath(), kVolumeCaches + std::wstring(L"Update Cleanup"));
}

TEST_F(ReclamationFlags, OverwritesWhateverWasThere)
{
    const std::wstring key = kVolumeCaches + std::wstring(kHandlers[2]);
    WriteString(HKEY_LOCAL_MACHINE, key, kStateFlags, L"0");
    Reclamation reclamation;
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, key, kStateFlags).IsDword(2));
}

TEST_F(ReclamationFlags, DestructionWritesNothing)
{
    {
        Reclamation reclamation;
        for (const wchar_t* handler : kHandlers)
            DeleteStored(HKEY_LOCAL_MACHINE, kVolumeCaches + std::wstring(handler), kStateFlags);
    }
    for (const wchar_t* handler : kHandlers)
        EXPECT_FALSE(
            ReadStored(HKEY_LOCAL_MACHINE, kVolumeCaches + std::wstring(handler), kStateFlags).present);
}
