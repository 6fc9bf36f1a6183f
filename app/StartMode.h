#pragma once
#include "app/CommandLineParser.h"

enum class StartMode { Install, Uninstall, Update, Undo, RestoreTask, Interactive };

// The first mode present, tested in the order install, uninstall, update,
// undo, restoretask.
StartMode SelectStartMode(const CCommandLineParser& parser);
