#pragma once
#include "app/CommandLineParser.h"

enum class StartMode {
    Install,
    Uninstall,
    Update,
    Undo,
    RestoreTask,
    Export,
    Apply,
    Scan,
    Report,
    Verify,
    Interactive
};

// The first mode present, tested in the order install, uninstall, update,
// undo, restoretask, export, apply, scan, report, verify.
StartMode SelectStartMode(const CCommandLineParser& parser);
