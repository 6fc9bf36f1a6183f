#pragma once
#include <windows.h>
#include "platform/UniqueHandle.h"

#include <shlobj.h>

#include <string>

namespace Tavrin::Platform {

void FreeTaskMemory(PWSTR memory);
// A string the shell hands out from the COM task allocator.
using TaskMemoryText = UniqueResource<NullHandleTraits<PWSTR, FreeTaskMemory>>;

// The path of a known folder as the shell gives it, without checking that it
// exists; empty when the shell cannot tell.
std::wstring KnownFolderPath(REFKNOWNFOLDERID folder);

} // namespace Tavrin::Platform
