#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/settings/ChangeJournal.h"
#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"

namespace Tavrin::Core {

// A request for one row: its box ticked or cleared.
struct SettingRequest {
    std::string name;
    bool ticked = false;
};

// What applying many rows did.
struct ApplyOutcome {
    unsigned changed = 0;             // rows written
    unsigned alreadySet = 0;          // rows whose box already showed the request
    std::vector<std::string> failed;  // "name (error N)", rows that could not be written
    std::vector<std::string> skipped; // per-user rows with no user to reach
    bool restartNeeded = false;       // a changed row's click asks for a restart
};

// The one line that says what an apply did ("Settings changed: 3; already
// set: 1; ..."), or for `resets` how many pages were reset.
std::string OutcomeSummary(const ApplyOutcome& outcome, bool resets);

// Whether the per-user rows have a person to go to (see
// Platform::UserHive): LocalSystem, the account deployment tools run as,
// acts for the user at the console, and with nobody there it has only its
// own profile, which no one sees.
bool PerUserRowsReachable();

// The rows of every settings page as one list, by stable name, over one
// model of each page: what profiles and presets read and apply. A row is
// changed exactly as a click on its box changes it (journalled, through the
// policy object where the row is bound to one); the caller holds a COM
// apartment for the policy-bound rows.
class SettingsBook {
public:
    enum class Page { Privacy, Security, Location, Theme };
    struct Row {
        const char* name;
        Page page;
        bool asksRestart;
        bool perUser;                      // reads or writes a value under HKEY_CURRENT_USER
        std::vector<RegistryPlace> places; // every value it reads or writes
    };

    // The privacy, security, location and theme rows, each page's in page order.
    static const std::vector<Row>& Rows();
    // The row of that name (exact, case included), or null.
    static const Row* Find(std::string_view name);
    static const wchar_t* PageName(Page page);

    bool IsTicked(const Row& row);
    // Whether its values can be had at all (see Core::IsAvailable).
    bool IsAvailable(const Row& row);
    LSTATUS Apply(const Row& row, bool ticked);

    // Every row as its page would show it now, in row order.
    std::vector<SettingRequest> Current();
    // How many named rows (the names exist) do not show their request yet:
    // what applying them would change.
    unsigned CountToChange(const std::vector<SettingRequest>& requests);
    // Each named row (the names exist) whose box does not show the request
    // yet, in row order. The run's restore point is waited for before the
    // first change. Per-user rows are skipped when `perUserReachable` is false.
    ApplyOutcome ApplyAll(const std::vector<SettingRequest>& requests, bool perUserReachable);
    // Every page's "Reset to Windows Defaults", in page order: what it asks
    // of a page, it asks here, and like a page's reset it asks no restart.
    ApplyOutcome ResetAll();

private:
    template <typename F> auto OnPage(Page page, F&& f);

    CPrivacy m_privacy;
    CSecurity m_security;
    CLocation m_location;
    CThemeSettings m_theme;
};

} // namespace Tavrin::Core
