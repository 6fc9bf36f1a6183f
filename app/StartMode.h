#pragma once
#include "app/CommandLineParser.h"

enum class StartMode { Install, Uninstall, Update, Interactive };

// The first mode present, tested in the order install, uninstall, update.
StartMode SelectStartMode(const CCommandLineParser& parser);
