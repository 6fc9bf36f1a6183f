#include <gtest/gtest.h>

#include "framework/CWinApp.h"
#include "platform/RegKey.h"
#include "tests/support/TestSupport.h"

namespace {

class RecordingApp : public CWinApp {
public:
    using CWinApp::CWinApp;
    BOOL InitInstance() override
    {
        ++initCalls;
        seenName = m_appName;
        seenCommandLine = m_lpCmdLine;
        return FALSE;
    }
    int ExitInstance() override { return 7; }
    int initCalls = 0;
    std::wstring seenName, seenCommandLine;
};

} // namespace

TEST(CWinApp, IsNamedAfterTheProgramFileWithoutAName)
{
    RecordingApp app;
    int code = app.Run(::GetModuleHandleW(nullptr), L"/x", SW_SHOW);
    EXPECT_EQ(app.initCalls, 1);
    EXPECT_EQ(app.seenName, L"framework_tests");
    EXPECT_EQ(app.seenCommandLine, L"/x");
    EXPECT_EQ(app.m_hInstance, ::GetModuleHandleW(nullptr));
    EXPECT_EQ(code, 7);
    EXPECT_EQ(AfxGetApp(), &app);
}

TEST(CWinApp, ProfileIntegersLiveUnderTheRegistryKeyAndAppName)
{
    RecordingApp app(L"TavrinProfileTest");
    app.SetRegistryKey(L"TavrinTests");
    EXPECT_EQ(app.GetProfileIntW(L"", L"showCompatibility", 0), 0u);
    EXPECT_EQ(app.GetProfileIntW(L"", L"showCompatibility", 5), 5u);
    ASSERT_TRUE(app.WriteProfileInt(L"", L"showCompatibility", 1));
    EXPECT_EQ(app.GetProfileIntW(L"", L"showCompatibility", 0), 1u);

    // Read back with the plain registry API: directly in the application key.
    Tavrin::Platform::RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, L"Software\\TavrinTests\\TavrinProfileTest", KEY_READ),
              ERROR_SUCCESS);
    EXPECT_EQ(key.QueryDword(L"showCompatibility").value_or(99), 1u);

    ASSERT_TRUE(app.WriteProfileInt(L"Section", L"n", 3));
    EXPECT_EQ(app.GetProfileIntW(L"Section", L"n", 0), 3u);
    key.Close();
    Tavrin::Test::DeleteTree(HKEY_CURRENT_USER, L"Software\\TavrinTests\\TavrinProfileTest");
}

TEST(CWinApp, WithoutARegistryKeyTheProfileIsNotWritten)
{
    RecordingApp app(L"TavrinNoKey");
    EXPECT_FALSE(app.WriteProfileInt(L"", L"v", 1));
    EXPECT_EQ(app.GetProfileIntW(L"", L"v", 4), 4u);
}
