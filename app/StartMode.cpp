#include "app/StartMode.h"

StartMode SelectStartMode(const CCommandLineParser& parser)
{
    if (parser.HasOption(L"install"))
        return StartMode::Install;
    if (parser.HasOption(L"uninstall"))
        return StartMode::Uninstall;
    if (parser.HasOption(L"update"))
        return StartMode::Update;
    if (parser.HasOption(L"undo"))
        return StartMode::Undo;
    if (parser.HasOption(L"restoretask"))
        return StartMode::RestoreTask;
    if (parser.HasOption(L"export"))
        return StartMode::Export;
    if (parser.HasOption(L"apply"))
        return StartMode::Apply;
    if (parser.HasOption(L"scan"))
        return StartMode::Scan;
    if (parser.HasOption(L"report"))
        return StartMode::Report;
    if (parser.HasOption(L"verify"))
        return StartMode::Verify;
    return StartMode::Interactive;
}
