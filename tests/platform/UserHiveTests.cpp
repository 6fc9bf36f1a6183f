// Whose per-user settings the run shows: Wine's one real user through the
// session, and, through the lookup seam, other answers the session may give
// on Windows (Wine has a single user, so no other session user can be had).
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "platform/UserHive.h"
#include "tests/support/TestSupport.h"

using Tavrin::Platform::UserAccount;
using Tavrin::Platform::UserHive;

TEST(UserHiveSession, UnderOneUserTheProcesssOwnHiveIsKept)
{
    ASSERT_FALSE(UserHive::ProcessUserSid().empty());
    const std::optional<UserAccount> session = UserHive::SessionUser();
    ASSERT_TRUE(session.has_value()) << "the session has an interactive user";
    EXPECT_FALSE(session->name.empty());
    EXPECT_EQ(session->sid, UserHive::ProcessUserSid()) << "its name resolves to the token's SID";
    EXPECT_FALSE(UserHive::Current().IsOtherUser());
    EXPECT_EQ(UserHive::Current().Root(), HKEY_CURRENT_USER);
}

TEST(UserHiveSession, OnlyAnotherUsersSidMovesTheRootToTheirLoadedHive)
{
    const std::wstring alice = L"S-1-5-21-1111111111-2222222222-3333333333-1001";
    Tavrin::Test::LoadedHive hive(alice);
    ASSERT_TRUE(hive.Loaded());
    // The decision holds the hive open: it goes before the hive is unloaded.
    struct AskTheSessionAgain {
        ~AskTheSessionAgain() { UserHive::SetInteractiveUserLookup({}); }
    } askAgain;
    enum class RootIs { CurrentUser, HerHive, None };
    const struct {
        const char* what;
        std::optional<UserAccount> session;
        RootIs root;
        const wchar_t* name;
    } cases[] = {
        {"no interactive user (a task as LocalSystem)", std::nullopt, RootIs::CurrentUser, L""},
        {"the process's own user", UserAccount{UserHive::ProcessUserSid(), L"me"}, RootIs::CurrentUser,
         L"me"},
        {"another user whose hive is loaded", UserAccount{alice, L"Alice"}, RootIs::HerHive, L"Alice"},
        {"another user whose hive is not loaded",
         UserAccount{alice.substr(0, alice.size() - 1) + L"2", L"Bob"}, RootIs::None, L"Bob"},
        {"a name that is no SID", UserAccount{alice + L"\\..\\..", L"Mallory"}, RootIs::CurrentUser, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UserHive::SetInteractiveUserLookup([&] { return c.session; });
        const UserHive& current = UserHive::Current();
        const bool other = c.root != RootIs::CurrentUser;
        EXPECT_EQ(current.IsOtherUser(), other);
        EXPECT_EQ(current.User().sid, other ? c.session->sid : UserHive::ProcessUserSid());
        EXPECT_EQ(current.User().name, c.name);
        // Not LocalSystem here: the settings reach a person wherever a hive is open.
        EXPECT_EQ(current.ReachesPerUserSettings(), c.root != RootIs::None);
        if (c.root == RootIs::HerHive) {
            EXPECT_NE(current.Root(), nullptr);
            EXPECT_EQ(current.PlaceOf(alice).root, current.Root());
            EXPECT_EQ(current.PlaceOf(UserHive::ProcessUserSid()).root, HKEY_CURRENT_USER);
        } else {
            EXPECT_EQ(current.Root(), c.root == RootIs::None ? nullptr : HKEY_CURRENT_USER);
        }
    }
}
