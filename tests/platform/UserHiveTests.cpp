// Whose per-user settings the run shows: the session's interactive user
// against the process's own, under Wine's one real user and, through the
// lookup seam, under a second user whose hive is loaded below HKEY_USERS as
// Windows loads it at logon. Wine has a single user, so the second user's
// session cannot be had otherwise.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UserHive.h"
#include "tests/support/TestSupport.h"

using Tavrin::Platform::RegKey;
using Tavrin::Platform::UserAccount;
using Tavrin::Platform::UserHive;
using namespace Tavrin::Test;

namespace {

const std::wstring kAlice = L"S-1-5-21-1111111111-2222222222-3333333333-1001";
const std::wstring kBob = L"S-1-5-21-1111111111-2222222222-3333333333-1002"; // never loaded
const std::wstring kCarol = L"S-1-5-21-1111111111-2222222222-3333333333-1003";

// The stored text of a value, read with the plain API.
std::wstring ReadText(HKEY root, const std::wstring& path, const wchar_t* name = L"")
{
    RegKey key;
    if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS)
        return L"(no key)";
    return key.QueryString(name).value_or(L"(no value)");
}

void WriteText(HKEY root, const std::wstring& path, const std::wstring& text)
{
    RegKey key;
    ASSERT_EQ(key.Create(root, path, KEY_WRITE), ERROR_SUCCESS) << Tavrin::Platform::Narrow(path);
    ASSERT_EQ(key.SetString(L"", text), ERROR_SUCCESS);
}

} // namespace

// Wine's session belongs to the one user the process runs as: the session's
// name resolves to the token's SID, and nothing changes.
TEST(UserHiveSession, UnderOneUserTheProcesssOwnHiveIsKept)
{
    ASSERT_FALSE(UserHive::ProcessUserSid().empty());
    const std::optional<UserAccount> session = UserHive::SessionUser();
    ASSERT_TRUE(session.has_value()) << "the session has an interactive user";
    EXPECT_FALSE(session->name.empty());
    EXPECT_EQ(session->sid, UserHive::ProcessUserSid());

    const UserHive& current = UserHive::Current();
    EXPECT_FALSE(current.IsOtherUser());
    EXPECT_EQ(current.Root(), HKEY_CURRENT_USER);
    EXPECT_EQ(current.User().sid, UserHive::ProcessUserSid());
}

TEST(UserHiveSession, AnotherInteractiveUserGetsTheirOwnHiveAndNothingElseDoes)
{
    LoadedHive alice(kAlice);
    ASSERT_TRUE(alice.Loaded());
    // The decision holds the hive open: it goes before the hive is unloaded.
    struct AskTheSessionAgain {
        ~AskTheSessionAgain() { UserHive::SetInteractiveUserLookup({}); }
    } askAgain;
    enum class RootIs { CurrentUser, LoadedHive, None };
    const struct {
        const char* what;
        std::optional<UserAccount> session;
        bool other;
        RootIs root;
    } cases[] = {
        {"no interactive user (a task as LocalSystem)", std::nullopt, false, RootIs::CurrentUser},
        {"the process's own user", UserAccount{UserHive::ProcessUserSid(), L"me"}, false,
         RootIs::CurrentUser},
        {"another user whose hive is loaded", UserAccount{kAlice, L"Alice"}, true, RootIs::LoadedHive},
        {"another user whose hive is not loaded", UserAccount{kBob, L"Bob"}, true, RootIs::None},
        {"a name that is no SID", UserAccount{kAlice + L"\\..\\..", L"Mallory"}, false, RootIs::CurrentUser},
        {"an empty answer", UserAccount{L"", L""}, false, RootIs::CurrentUser},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UserHive::SetInteractiveUserLookup([&] { return c.session; });
        const UserHive& current = UserHive::Current();
        EXPECT_EQ(current.IsOtherUser(), c.other);
        EXPECT_EQ(current.User().sid, c.other ? c.session->sid : UserHive::ProcessUserSid());
        if (c.other) {
            EXPECT_EQ(current.User().name, c.session->name);
        }
        switch (c.root) {
        case RootIs::CurrentUser:
            EXPECT_EQ(current.Root(), HKEY_CURRENT_USER);
            break;
        case RootIs::None:
            EXPECT_EQ(current.Root(), nullptr);
            break;
        case RootIs::LoadedHive:
            ASSERT_NE(current.Root(), nullptr);
            ASSERT_NE(current.Root(), HKEY_CURRENT_USER);
            WriteText(current.Root(), L"Software\\TavrinTests", L"written for Alice");
            EXPECT_EQ(ReadText(HKEY_USERS, kAlice + L"\\Software\\TavrinTests"), L"written for Alice");
            EXPECT_EQ(ReadText(HKEY_CURRENT_USER, L"Software\\TavrinTests"), L"(no value)");
            break;
        }
    }
}

// Where a journalled per-user value of a user is found again.
TEST(UserHiveSession, EachUsersValuesAreFoundInTheirOwnHive)
{
    LoadedHive alice(kAlice);
    LoadedHive carol(kCarol);
    ASSERT_TRUE(alice.Loaded() && carol.Loaded());
    SessionUserOverride session(kAlice, L"Alice");
    const UserHive& current = UserHive::Current();
    const struct {
        std::wstring sid;
        HKEY root;
        std::wstring prefix;
    } cases[] = {
        {kAlice, current.Root(), L""},        {UserHive::ProcessUserSid(), HKEY_CURRENT_USER, L""},
        {kCarol, HKEY_USERS, kCarol + L"\\"}, {kBob, nullptr, L""},
        {L"..\\" + kCarol, nullptr, L""},     {L"", nullptr, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Tavrin::Platform::Narrow(c.sid));
        const UserHive::Place place = current.PlaceOf(c.sid);
        EXPECT_EQ(place.root, c.root);
        EXPECT_EQ(place.prefix, c.prefix);
    }
}

// Another user's program identifiers come from their own classes before the
// machine's, as Windows merges HKEY_CLASSES_ROOT for them; the process's
// own user keeps HKEY_CLASSES_ROOT.
TEST(UserHiveSession, ClassesOfAnotherUserComeFromTheirHiveThenTheMachine)
{
    LoadedHive alice(kAlice);
    LoadedHive classes(kAlice + L"_Classes");
    ASSERT_TRUE(alice.Loaded() && classes.Loaded());
    const std::wstring machine = L"SOFTWARE\\Classes\\";
    WriteText(HKEY_USERS, kAlice + L"_Classes\\TavrinTests.UserOnly", L"user");
    WriteText(HKEY_USERS, kAlice + L"_Classes\\TavrinTests.Both", L"user");
    WriteText(HKEY_LOCAL_MACHINE, machine + L"TavrinTests.Both", L"machine");
    WriteText(HKEY_LOCAL_MACHINE, machine + L"TavrinTests.MachineOnly", L"machine");

    const struct {
        const wchar_t* progId;
        const wchar_t* forAlice;
        const wchar_t* forOwnUser;
    } cases[] = {
        {L"TavrinTests.UserOnly", L"user", L"(no key)"},
        {L"TavrinTests.Both", L"user", L"machine"},
        {L"TavrinTests.MachineOnly", L"machine", L"machine"},
        {L"TavrinTests.Nowhere", L"(no key)", L"(no key)"},
    };
    auto opened = [](const wchar_t* progId) {
        RegKey key;
        if (UserHive::Current().OpenClassesKey(key, progId, KEY_READ) != ERROR_SUCCESS)
            return std::wstring(L"(no key)");
        return key.QueryString(L"").value_or(L"(no value)");
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Tavrin::Platform::Narrow(c.progId));
        {
            SessionUserOverride session(kAlice, L"Alice");
            EXPECT_EQ(opened(c.progId), c.forAlice);
        }
        EXPECT_EQ(opened(c.progId), c.forOwnUser);
    }
    for (const wchar_t* progId : {L"TavrinTests.Both", L"TavrinTests.MachineOnly"})
        DeleteTree(HKEY_LOCAL_MACHINE, machine + progId);
}
