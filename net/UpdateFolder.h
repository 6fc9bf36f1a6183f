#pragma once
#include <optional>
#include <string>

#include "platform/UniqueHandle.h"

namespace Tavrin::Net {

// Where the update mode puts the updater before it starts it elevated:
// "TavrinUpdate" in the machine's program-data folder (FOLDERID_ProgramData,
// which the user's environment cannot move). Nothing when that folder is
// unknown.
std::optional<std::wstring> UpdateFolder();

// Makes a new, empty folder at path for a download, owned by the
// administrators (or SYSTEM) with a protected access list that lets only
// SYSTEM and the administrators in, and gives it back held open: nobody can
// move, replace or delete it while the handle lives, so its path names this
// folder until then. Whatever stood at path is never entered, emptied or
// deleted: a folder or file is moved aside as it is (next to it, as
// "<name>.old-<process>-<tick>"); a link or junction is moved aside only where
// the system renames the link itself, else left, and nothing is made then.
// Invalid when no folder was made: a link stood there, the move or the
// creation failed, or the folder was not given the owner and access list it
// was created with; nothing may be downloaded then.
Platform::UniqueHandle PrepareUpdateFolder(const std::wstring& path);

} // namespace Tavrin::Net
