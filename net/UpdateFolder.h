#pragma once
#include <optional>
#include <string>

namespace Tavrin::Net {

// Where the update mode puts the updater before it starts it elevated:
// "TavrinUpdate" in the machine's program-data folder (FOLDERID_ProgramData,
// which the user's environment cannot move). Nothing when that folder is
// unknown.
std::optional<std::wstring> UpdateFolder();

// Makes a new, empty folder for a download, with an access list of its own,
// not inherited, that lets only SYSTEM and the administrators in. A folder
// already there (an earlier download, or one that someone else made) is
// moved aside first and cleared out as far as that is safe. False when the
// folder cannot be made: nothing may be downloaded then.
bool PrepareUpdateFolder(const std::wstring& folder);

} // namespace Tavrin::Net
