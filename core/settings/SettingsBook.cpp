#include "core/settings/SettingsBook.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <utility>

#include "core/settings/ChangeJournal.h"
#include "core/settings/ChosenStates.h"
#include "core/settings/RestorePoint.h"
#include "platform/Text.h"
#include "platform/UserHive.h"

namespace Tavrin::Core {

namespace {

template <typename Model> void AddRows(SettingsBook::Page page, std::vector<SettingsBook::Row>& rows)
{
    const Model model; // opens no policy object
    auto placeOf = [&](const SettingEntry<Model>& entry) {
        return std::visit([&](auto member) { return (model.*member).Place(); }, entry);
    };
    for (const auto& row : CatalogueOf<Model>().rows) {
        std::vector<RegistryPlace> places = {placeOf(row.shownTicked.entry)};
        for (const auto* steps : {&row.tick, &row.clear})
            for (const auto& step : *steps)
                places.push_back(placeOf(step.entry));
        const bool user = std::any_of(places.begin(), places.end(), [](const RegistryPlace& place) {
            return place.root == RegistryPlace::Root::User;
        });
        rows.push_back({row.name, page, row.asksRestart, user, std::move(places)});
    }
}

std::string Failure(const char* name, LSTATUS status)
{
    char text[32];
    std::snprintf(text, sizeof(text), " (error %ld)", static_cast<long>(status));
    return name + std::string(text);
}

} // namespace

bool PerUserRowsReachable()
{
    return Platform::UserHive::Current().ReachesPerUserSettings();
}

const std::vector<SettingsBook::Row>& SettingsBook::Rows()
{
    static const std::vector<Row> rows = [] {
        std::vector<Row> all;
        AddRows<CPrivacy>(Page::Privacy, all);
        AddRows<CSecurity>(Page::Security, all);
        AddRows<CLocation>(Page::Location, all);
        AddRows<CThemeSettings>(Page::Theme, all);
        return all;
    }();
    return rows;
}

const SettingsBook::Row* SettingsBook::Find(std::string_view name)
{
    for (const Row& row : Rows())
        if (name == row.name)
            return &row;
    return nullptr;
}

const wchar_t* SettingsBook::PageName(Page page)
{
    switch (page) {
    case Page::Privacy:
        return L"Privacy";
    case Page::Security:
        return L"Security";
    case Page::Location:
        return L"Location";
    case Page::Theme:
        break;
    }
    return L"Theme";
}

template <typename F> auto SettingsBook::OnPage(Page page, F&& f)
{
    switch (page) {
    case Page::Privacy:
        return f(m_privacy);
    case Page::Security:
        return f(m_security);
    case Page::Location:
        return f(m_location);
    case Page::Theme:
        break;
    }
    return f(m_theme);
}

bool SettingsBook::IsTicked(const Row& row)
{
    return OnPage(row.page, [&](auto& model) {
        using Model = std::decay_t<decltype(model)>;
        return Core::IsTicked(model, *FindRow<Model>(row.name));
    });
}

bool SettingsBook::IsAvailable(const Row& row)
{
    return OnPage(row.page, [&](auto& model) {
        using Model = std::decay_t<decltype(model)>;
        return Core::IsAvailable(model, *FindRow<Model>(row.name));
    });
}

LSTATUS SettingsBook::Apply(const Row& row, bool ticked)
{
    return OnPage(row.page, [&](auto& model) {
        using Model = std::decay_t<decltype(model)>;
        return Core::Apply(model, *FindRow<Model>(row.name), ticked);
    });
}

std::vector<SettingRequest> SettingsBook::Current()
{
    std::vector<SettingRequest> current;
    for (const Row& row : Rows())
        current.push_back({row.name, IsTicked(row)});
    return current;
}

unsigned SettingsBook::CountToChange(const std::vector<SettingRequest>& requests)
{
    unsigned count = 0;
    for (const SettingRequest& request : requests)
        if (const Row* row = Find(request.name); row && IsTicked(*row) != request.ticked)
            ++count;
    return count;
}

ApplyOutcome SettingsBook::ApplyAll(const std::vector<SettingRequest>& requests, bool perUserReachable)
{
    ApplyOutcome outcome;
    bool restorePointAsked = false;
    for (const Row& row : Rows()) {
        const SettingRequest* request = nullptr;
        for (const SettingRequest& candidate : requests)
            if (candidate.name == row.name)
                request = &candidate;
        if (!request)
            continue;
        if (row.perUser && !perUserReachable) {
            outcome.skipped.push_back(row.name);
            continue;
        }
        if (IsTicked(row) == request->ticked) {
            // Chosen all the same: a later start tells when Windows takes it back.
            RecordChosenStates({row.name});
            ++outcome.alreadySet;
            continue;
        }
        if (!restorePointAsked) {
            RunRestorePoint::Instance().BeforeChange();
            restorePointAsked = true;
        }
        const LSTATUS status = Apply(row, request->ticked);
        if (StepFailed(status)) {
            outcome.failed.push_back(Failure(row.name, status));
            continue;
        }
        ++outcome.changed;
        outcome.restartNeeded = outcome.restartNeeded || row.asksRestart;
    }
    return outcome;
}

ApplyOutcome SettingsBook::ResetAll()
{
    RunRestorePoint::Instance().BeforeChange();
    ApplyOutcome outcome;
    // In braces, the resets run in the order written.
    const std::pair<Page, LSTATUS> resets[] = {{Page::Privacy, Reset(m_privacy)},
                                               {Page::Security, Reset(m_security)},
                                               {Page::Location, Reset(m_location)},
                                               {Page::Theme, Reset(m_theme)}};
    for (const auto& [page, status] : resets) {
        if (StepFailed(status))
            outcome.failed.push_back(
                Failure((Platform::Narrow(PageName(page)) + " page's reset").c_str(), status));
        else
            ++outcome.changed;
    }
    return outcome;
}

std::string OutcomeSummary(const ApplyOutcome& outcome, bool resets)
{
    const auto number = [](std::size_t n) { return std::to_string(n); };
    if (resets)
        return "Pages reset to Windows defaults: " + number(outcome.changed) +
               "; not reset: " + number(outcome.failed.size());
    return "Settings changed: " + number(outcome.changed) + "; already set: " + number(outcome.alreadySet) +
           "; not written: " + number(outcome.failed.size()) +
           "; skipped: " + number(outcome.skipped.size()) +
           (outcome.restartNeeded ? "; restart Windows for them to take effect" : "");
}

} // namespace Tavrin::Core
