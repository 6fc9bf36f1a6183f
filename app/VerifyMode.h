#pragma once
#include "app/CommandLineParser.h"

// "/verify": which rows of the settings pages Windows changed back since the
// user chose them in this program (core/settings/ChosenStates.h), for
// administrators. Changes nothing and opens no window; prints each such row
// (name, chosen, now) to the standard output.
namespace VerifyExit {
constexpr int kNoneChangedBack =
    0; // also without a record, or with a damaged one (said on the standard error)
constexpr int kSomeChangedBack = 1;
constexpr int kNotWindows10 = 10;   // ERROR_BAD_ENVIRONMENT
constexpr int kBadCommandLine = 87; // ERROR_INVALID_PARAMETER
} // namespace VerifyExit

int RunVerifyMode(const CommandLineOption& option);
