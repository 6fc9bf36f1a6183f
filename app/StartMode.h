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
    Interactive
};

// The first mode present, tested in the order install, uninstall, update,
// undo, restoretask, export, apply, scan, report.
StartMode SelectStartMode(const CCommandLineParser& parser);
