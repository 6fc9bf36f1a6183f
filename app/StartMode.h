#pragma once
#include "app/CommandLineParser.h"

enum class StartMode { Install, Uninstall, Update, Undo, Interactive };

// The first mode present, tested in the order install, uninstall, update,
// undo.
StartMode SelectStartMode(const CCommandLineParser& parser);
