#include "app/ProfileModes.h"

#include <windows.h>

#include <cstdio>

#include "app/ModeConsole.h"
#include "core/compat/SavedFile.h"
#include "core/settings/Presets.h"
#include "core/settings/Profile.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"

namespace {

using Tavrin::Core::ApplyOutcome;
using Tavrin::Core::SettingRequest;
using Tavrin::Core::SettingsBook;

// Joins the console and takes the mode's one argument. ProfileExit::kDone
// when the mode may go on; otherwise the code it ends with, after saying on
// the standard error what is wrong.
int StartProfileMode(const CommandLineOption& option, const char* usage, std::wstring& argument)
{
    JoinParentConsole();
    if (option.arguments.size() != 1) {
        std::fprintf(stderr, "Usage: tavrin.exe %s\n", usage);
        return ProfileExit::kBadCommandLine;
    }
    if (!IsWindows10())
        return ProfileExit::kNotWindows10;
    argument = option.arguments.front();
    return ProfileExit::kDone;
}

int Report(const ApplyOutcome& outcome, bool resets)
{
    for (const std::string& failed : outcome.failed)
        std::fprintf(stderr, "Not written: %s\n", failed.c_str());
    for (const std::string& skipped : outcome.skipped)
        std::fprintf(stderr, "Skipped, nobody is logged on to receive this per-user setting: %s\n",
                     skipped.c_str());
    std::printf("%s\n", Tavrin::Core::OutcomeSummary(outcome, resets).c_str());
    if (!outcome.failed.empty() || !outcome.skipped.empty())
        return ProfileExit::kSomeNotWritten;
    return outcome.restartNeeded ? ProfileExit::kRestartNeeded : ProfileExit::kDone;
}

} // namespace

int RunExportMode(const CommandLineOption& option, const std::wstring& startFolder)
{
    std::wstring argument;
    if (const int refused = StartProfileMode(option, "/export FILE", argument); refused != ProfileExit::kDone)
        return FinishMode(refused);
    const std::wstring path = PathFromStartFolder(argument, startFolder);
    std::string text;
    {
        // The policy-bound rows are read through the local group policy object.
        Tavrin::Platform::ComApartment com;
        SettingsBook book;
        text = Tavrin::Core::ProfileText(book.Current());
    }
    const unsigned long error = Tavrin::Core::SavedFile::ReplaceWholeFile(path, text);
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "The profile %s cannot be written (error %lu).\n", ShownOnConsole(path).c_str(),
                     error);
        return FinishMode(ProfileExit::kCannotReadOrWrite);
    }
    std::printf("Settings exported: %u, to %s\n", static_cast<unsigned>(SettingsBook::Rows().size()),
                ShownOnConsole(path).c_str());
    return FinishMode(ProfileExit::kDone);
}

int RunApplyMode(const CommandLineOption& option, const std::wstring& startFolder)
{
    std::wstring argument;
    if (const int refused = StartProfileMode(option, "/apply FILE|recommended|strict|defaults", argument);
        refused != ProfileExit::kDone)
        return FinishMode(refused);

    const std::optional<Tavrin::Core::Preset> preset = Tavrin::Core::FindPreset(argument);
    std::vector<SettingRequest> requests;
    if (preset) {
        requests = Tavrin::Core::PresetRequests(*preset);
    } else {
        const std::wstring path = PathFromStartFolder(argument, startFolder);
        std::string bytes;
        const unsigned long error = Tavrin::Core::ReadProfileFile(path, bytes);
        if (error != ERROR_SUCCESS) {
            std::fprintf(stderr, "The profile %s cannot be read (error %lu).\n", ShownOnConsole(path).c_str(),
                         error);
            return FinishMode(ProfileExit::kCannotReadOrWrite);
        }
        Tavrin::Core::ProfileCheck check = Tavrin::Core::CheckProfile(bytes);
        if (!check.Valid()) {
            std::fprintf(stderr, "%s is not a valid profile: %s. Nothing was changed.\n",
                         ShownOnConsole(path).c_str(), check.problem.c_str());
            return FinishMode(ProfileExit::kInvalidProfile);
        }
        requests = std::move(check.settings);
    }

    // The policy-bound rows are changed through the local group policy object.
    Tavrin::Platform::ComApartment com;
    SettingsBook book;
    const bool resets = preset == Tavrin::Core::Preset::Defaults;
    const ApplyOutcome outcome =
        resets ? book.ResetAll() : book.ApplyAll(requests, Tavrin::Core::PerUserRowsReachable());
    return FinishMode(Report(outcome, resets));
}
