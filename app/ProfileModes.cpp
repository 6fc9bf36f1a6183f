#include "app/ProfileModes.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>

#include "core/compat/SavedFile.h"
#include "core/compat/SystemInfo.h"
#include "core/settings/Presets.h"
#include "core/settings/Profile.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "platform/Module.h"
#include "platform/Text.h"

using Tavrin::Core::ApplyOutcome;
using Tavrin::Core::SettingRequest;
using Tavrin::Core::SettingsBook;

// A window program has no console of its own: started from a prompt, its
// standard streams go nowhere unless it joins the prompt's console. Streams
// a caller redirected are kept.
void JoinParentConsole()
{
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output && output != INVALID_HANDLE_VALUE)
        return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::FILE* ignored = nullptr;
    _wfreopen_s(&ignored, L"CONOUT$", L"w", stdout);
    _wfreopen_s(&ignored, L"CONOUT$", L"w", stderr);
}

namespace {

// Paths and names of the command line as the console shows text.
std::string Shown(const std::wstring& text)
{
    return Tavrin::Platform::Narrow(text, ::GetConsoleOutputCP() ? ::GetConsoleOutputCP() : CP_ACP);
}

} // namespace

int Finish(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    return code;
}

bool IsWindows10()
{
    bool eligible = false;
    if (Tavrin::Core::ClassifyWindowsVersion(eligible) == Tavrin::Core::WindowsVersionCode::Windows10)
        return true;
    std::fputs("The settings are those of Windows 10, and this is not Windows 10. Nothing was changed.\n",
               stderr);
    return false;
}

namespace {

// The one argument of the mode, or false after saying what is wrong.
bool OneArgument(const CommandLineOption& option, const char* usage, std::wstring& argument)
{
    if (option.arguments.size() != 1) {
        std::fprintf(stderr, "Usage: tavrin.exe %s\n", usage);
        return false;
    }
    argument = option.arguments.front();
    return true;
}

std::wstring FullPath(const std::wstring& path, const std::wstring& startFolder)
{
    return ::PathIsRelativeW(path.c_str()) ? Tavrin::Platform::JoinPath(startFolder, path) : path;
}

int Report(const ApplyOutcome& outcome, bool resets)
{
    for (const std::string& failed : outcome.failed)
        std::fprintf(stderr, "Not written: %s\n", failed.c_str());
    for (const std::string& skipped : outcome.skipped)
        std::fprintf(stderr, "Skipped, nobody is logged on to receive this per-user setting: %s\n",
                     skipped.c_str());
    if (resets)
        std::printf("Pages reset to Windows defaults: %u; not reset: %u\n", outcome.changed,
                    static_cast<unsigned>(outcome.failed.size()));
    else
        std::printf("Settings changed: %u; already set: %u; not written: %u; skipped: %u%s\n",
                    outcome.changed, outcome.alreadySet, static_cast<unsigned>(outcome.failed.size()),
                    static_cast<unsigned>(outcome.skipped.size()),
                    outcome.restartNeeded ? "; restart Windows for them to take effect" : "");
    if (!outcome.failed.empty() || !outcome.skipped.empty())
        return ProfileExit::kSomeNotWritten;
    return outcome.restartNeeded ? ProfileExit::kRestartNeeded : ProfileExit::kDone;
}

} // namespace

int RunExportMode(const CommandLineOption& option, const std::wstring& startFolder)
{
    JoinParentConsole();
    std::wstring argument;
    if (!OneArgument(option, "/export FILE", argument))
        return Finish(ProfileExit::kBadCommandLine);
    if (!IsWindows10())
        return Finish(ProfileExit::kNotWindows10);
    const std::wstring path = FullPath(argument, startFolder);
    std::string text;
    {
        // The policy-bound rows are read through the local group policy object.
        Tavrin::Platform::ComApartment com;
        SettingsBook book;
        text = Tavrin::Core::ProfileText(book.Current());
    }
    const unsigned long error = Tavrin::Core::SavedFile::ReplaceWholeFile(path, text);
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "The profile %s cannot be written (error %lu).\n", Shown(path).c_str(), error);
        return Finish(ProfileExit::kCannotReadOrWrite);
    }
    std::printf("Settings exported: %u, to %s\n", static_cast<unsigned>(SettingsBook::Rows().size()),
                Shown(path).c_str());
    return Finish(ProfileExit::kDone);
}

int RunApplyMode(const CommandLineOption& option, const std::wstring& startFolder)
{
    JoinParentConsole();
    std::wstring argument;
    if (!OneArgument(option, "/apply FILE|recommended|strict|defaults", argument))
        return Finish(ProfileExit::kBadCommandLine);
    if (!IsWindows10())
        return Finish(ProfileExit::kNotWindows10);

    const std::optional<Tavrin::Core::Preset> preset = Tavrin::Core::FindPreset(argument);
    std::vector<SettingRequest> requests;
    if (preset) {
        requests = Tavrin::Core::PresetRequests(*preset);
    } else {
        const std::wstring path = FullPath(argument, startFolder);
        std::string bytes;
        const unsigned long error = Tavrin::Core::ReadProfileFile(path, bytes);
        if (error != ERROR_SUCCESS) {
            std::fprintf(stderr, "The profile %s cannot be read (error %lu).\n", Shown(path).c_str(), error);
            return Finish(ProfileExit::kCannotReadOrWrite);
        }
        Tavrin::Core::ProfileCheck check = Tavrin::Core::CheckProfile(bytes);
        if (!check.Valid()) {
            std::fprintf(stderr, "%s is not a valid profile: %s. Nothing was changed.\n", Shown(path).c_str(),
                         check.problem.c_str());
            return Finish(ProfileExit::kInvalidProfile);
        }
        requests = std::move(check.settings);
    }

    // The policy-bound rows are changed through the local group policy object.
    Tavrin::Platform::ComApartment com;
    SettingsBook book;
    const bool resets = preset == Tavrin::Core::Preset::Defaults;
    const ApplyOutcome outcome =
        resets ? book.ResetAll() : book.ApplyAll(requests, Tavrin::Core::PerUserRowsReachable());
    return Finish(Report(outcome, resets));
}
