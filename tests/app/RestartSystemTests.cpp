#include <gtest/gtest.h>

#include <vector>

#include "app/RestartSystem.h"
#include "platform/UniqueHandle.h"

namespace {

struct ExitCall {
    UINT flags;
    DWORD reason;
    bool privilegeEnabled;
};
std::vector<ExitCall> g_calls;
BOOL g_answer = TRUE;

bool ShutdownPrivilegeEnabled()
{
    Tavrin::Platform::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return false;
    LUID luid;
    ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &luid);
    PRIVILEGE_SET set = {1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL enabled = FALSE;
    ::PrivilegeCheck(token.Get(), &set, &enabled);
    return enabled != FALSE;
}

BOOL WINAPI RecordExit(UINT flags, DWORD reason)
{
    g_calls.push_back({flags, reason, ShutdownPrivilegeEnabled()});
    return g_answer;
}

class RestartSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_answer = TRUE;
    }
};

} // namespace

TEST_F(RestartSystemTest, AsksForARebootWithTheShutdownPrivilegeEnabled)
{
    RestartSystem(RecordExit);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(EWX_REBOOT));
    EXPECT_EQ(g_calls[0].reason, 1u); // other, maintenance, not planned
    EXPECT_TRUE(g_calls[0].privilegeEnabled);
}

TEST_F(RestartSystemTest, PutsThePrivilegeBackAfterAnAcceptedRequest)
{
    bool before = ShutdownPrivilegeEnabled();
    RestartSystem(RecordExit);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(ShutdownPrivilegeEnabled(), before);
}

TEST_F(RestartSystemTest, ARefusedRequestLeavesThePrivilegeEnabledAndReportsNothing)
{
    g_answer = FALSE;
    RestartSystem(RecordExit);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_TRUE(ShutdownPrivilegeEnabled());
}
