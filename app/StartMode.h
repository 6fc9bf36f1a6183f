#pragma once
#include "app/CommandLineParser.h"

enum class StartMode { Install, Uninstall, Update, Undo, RestoreTask, Export, Apply, Verify, Interactive };

// The first mode present, tested in the order install, uninstall, update,
// undo, restoretask, export, apply, verify.
StartMode SelectStartMode(const CCommandLineParser& parser);
