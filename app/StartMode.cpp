#include "app/StartMode.h"

namespace {

// The options that choose a mode, in the order they are tested.
struct ModeOption {
    const wchar_t* name;
    StartMode mode;
};
constexpr ModeOption kModeOptions[] = {
    {L"install", StartMode::Install},
    {L"uninstall", StartMode::Uninstall},
    {L"update", StartMode::Update},
    {L"undo", StartMode::Undo},
    {L"restoretask", StartMode::RestoreTask},
    {L"export", StartMode::Export},
    {L"apply", StartMode::Apply},
    {L"scan", StartMode::Scan},
    {L"report", StartMode::Report},
    {L"verify", StartMode::Verify},
};

} // namespace

StartMode SelectStartMode(const CCommandLineParser& parser)
{
    for (const ModeOption& option : kModeOptions)
        if (parser.HasOption(option.name))
            return option.mode;
    return StartMode::Interactive;
}
