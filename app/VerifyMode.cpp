#include "app/VerifyMode.h"

#include <cstdio>

#include "app/ModeConsole.h"
#include "core/settings/ChosenStates.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"

namespace {

const char* StateText(bool ticked)
{
    return ticked ? "ticked" : "cleared";
}

} // namespace

int RunVerifyMode(const CommandLineOption& option)
{
    JoinParentConsole();
    if (!option.arguments.empty() || !option.values.empty()) {
        std::fputs("Usage: tavrin.exe /verify\n", stderr);
        return FinishMode(VerifyExit::kBadCommandLine);
    }
    if (!IsWindows10())
        return FinishMode(VerifyExit::kNotWindows10);

    // The policy-bound rows are read through the local group policy object.
    const Tavrin::Platform::ComApartment com;
    Tavrin::Core::SettingsBook book;
    const Tavrin::Core::ChosenStatesCheck check = Tavrin::Core::CheckChosenStates(book);
    using State = Tavrin::Core::ChosenStatesCheck::State;
    if (check.state == State::Damaged)
        std::fputs("The record of the settings chosen in Tavrin is damaged; it is ignored, and rebuilt as "
                   "settings are chosen again.\n",
                   stderr);
    if (check.state == State::Busy)
        std::fputs("Another copy of Tavrin kept the record of the settings chosen in Tavrin busy; nothing "
                   "was checked. Run /verify again.\n",
                   stderr);
    for (const Tavrin::Core::ChangedBack& row : check.changed)
        std::printf("%s: chosen %s, now %s\n", row.name, StateText(row.chosen), StateText(row.now));
    std::printf("Settings changed back by Windows: %u\n", static_cast<unsigned>(check.changed.size()));
    return FinishMode(check.changed.empty() ? VerifyExit::kNoneChangedBack : VerifyExit::kSomeChangedBack);
}
