#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/settings/SettingsBook.h"

namespace Tavrin::Core {

// The built-in profiles, by the names "/apply" takes.
enum class Preset { Recommended, Strict, Defaults };

// A row a preset ticks, with what may stop working once it is ticked (empty
// for the recommended rows, which take away nothing a typical user relies on).
struct PresetRow {
    const char* name;
    const char* note;
};

// The rows that protect privacy without taking away anything a typical user
// relies on.
const std::vector<PresetRow>& RecommendedRows();
// What "strict" ticks beyond "recommended": every other row that protects.
const std::vector<PresetRow>& StrictAdditions();

// What "recommended" or "strict" does, in one line for the profiles dialog.
const wchar_t* PresetDescription(Preset preset);

// "recommended", "strict" or "defaults", in any case.
std::optional<Preset> FindPreset(const std::wstring& name);
// The rows "recommended" and "strict" tick. "defaults" names no rows: it
// runs every page's "Reset to Windows Defaults" (SettingsBook::ResetAll).
std::vector<SettingRequest> PresetRequests(Preset preset);

} // namespace Tavrin::Core
