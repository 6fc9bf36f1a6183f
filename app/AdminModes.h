#pragma once
#include <optional>
#include <string>

#include "app/CommandLineParser.h"

// "/scan" and "/report FILE": the pre-upgrade record and a readiness report
// for administrators of many PCs, without a window. Each writes a one-line
// summary to the standard output, the problems to the standard error, and
// ends with one of these codes.
namespace AdminExit {
constexpr int kReady = 0;       // ready to upgrade; after it, nothing missing
constexpr int kNotReady = 1;    // may have issues or not ready; after it, something missing or unreadable
constexpr int kCannotWrite = 2; // a saved file, or the report
constexpr int kNotBeforeUpgrade = 10; // "/scan" on Windows 10 (ERROR_BAD_ENVIRONMENT); nothing written
constexpr int kBadCommandLine = 87;   // ERROR_INVALID_PARAMETER
} // namespace AdminExit

// The columns of the CSV report, as its first line holds them.
extern const char kReportCsvHeader[];

int RunScanMode(const CommandLineOption& option);
// A relative FILE is taken from `startFolder`, the folder the program was
// started in.
int RunReportMode(const CommandLineOption& option, const std::wstring& startFolder);

// How many settings Windows changed back since they were chosen in Tavrin
// (0 without a record of the choices, or with a damaged one).
std::optional<unsigned> SettingsChangedBack();
