#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/RegKey.h"

namespace Tavrin::Platform {

// A user account: its SID in string form ("S-1-5-21-...") and the account
// name people know it by (without the domain).
struct UserAccount {
    std::wstring sid;
    std::wstring name;
};

// Whose per-user settings this run shows and changes, decided once for the
// process when it is first asked.
//
// The program always runs elevated. Where the person at the keyboard uses a
// standard account, Windows asked for an administrator's name and password,
// and the process runs as that administrator: HKEY_CURRENT_USER is then the
// administrator's hive, not the person's. The settings of the person in the
// process's own session are theirs, so when the session's interactive user
// is not the process's user, per-user values live in that user's hive under
// HKEY_USERS\<SID> and their classes under HKEY_USERS\<SID>_Classes. Where
// the session has no interactive user (a task or an installer running as
// LocalSystem) or it cannot be found, the process's own user is kept. Every
// per-user key of the program is opened below Root() or OpenClassesKey();
// nothing else opens HKEY_CURRENT_USER.
class UserHive {
public:
    // The decision of this process.
    static const UserHive& Current();

    // The root of per-user keys: HKEY_CURRENT_USER for the process's own
    // user, the other user's hive otherwise. Null when the other user's hive
    // cannot be opened: their values are then neither read nor written, and
    // never go into the administrator's profile in their stead.
    HKEY Root() const { return m_other ? m_hive.Get() : HKEY_CURRENT_USER; }
    // Whether the settings shown are another user's than the process's own.
    bool IsOtherUser() const { return m_other; }
    // The user whose settings they are.
    const UserAccount& User() const { return m_user; }

    // Opens a key below the user's classes as Windows merges them: for the
    // process's own user HKEY_CLASSES_ROOT, for another user their own
    // classes first, then the machine's.
    LSTATUS OpenClassesKey(RegKey& key, const std::wstring& path, REGSAM access) const;

    // Where the per-user keys of the user with this SID are now: below
    // `root`, each path preceded by `prefix`. This run's user has Root(),
    // the process's own user HKEY_CURRENT_USER, any other user the hive
    // loaded under HKEY_USERS; a root of null when that is not loaded or
    // the text is no SID.
    struct Place {
        HKEY root = nullptr;
        std::wstring prefix;
    };
    Place PlaceOf(const std::wstring& sid) const;

    // The user of the process's token ("" when it cannot be read).
    static const std::wstring& ProcessUserSid();
    // A task, service or installer's process: its session is the services'
    // own, and the user it acts for is the one at the console.
    static bool ProcessIsLocalSystem();
    // Whether per-user values reach a person: false when the user's hive
    // does not open, or when LocalSystem finds nobody at the console.
    bool ReachesPerUserSettings() const;
    // Whether the text is a SID in string form, as the system writes it
    // (and so a single key name below HKEY_USERS).
    static bool IsSidText(const std::wstring& text);

    // For tests: who the session's interactive user is, in place of asking
    // the session (nothing: the session has none); an empty function asks
    // the session again. The decision is made again at once; only while
    // nothing else uses the current one.
    using InteractiveUserLookup = std::function<std::optional<UserAccount>()>;
    static void SetInteractiveUserLookup(InteractiveUserLookup lookup);

    // The interactive user of the process's own session (for LocalSystem,
    // of the console's), as the session names it, with the SID its name
    // stands for; nothing where the session has none or it cannot be
    // resolved.
    static std::optional<UserAccount> SessionUser();

    explicit UserHive(const std::optional<UserAccount>& interactive);
    UserHive(const UserHive&) = delete;
    UserHive& operator=(const UserHive&) = delete;

private:
    UserAccount m_user;
    bool m_other = false;
    RegKey m_hive;
    RegKey m_classes;
};

} // namespace Tavrin::Platform
