#pragma once
#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace Tavrin::Net {

// The SHA-256 hash of a certificate's encoded bytes.
using Thumbprint = std::array<BYTE, 32>;

// Thumbprints written as 64 hexadecimal digits each, separated by commas,
// semicolons or white space; an entry that is not 64 hexadecimal digits is
// left out.
std::vector<Thumbprint> ParseThumbprints(const std::wstring& text);

// Whose updaters the update mode starts: the REG_SZ value "UpdaterSigners"
// under HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Tavrin when present and not
// empty, otherwise the thumbprints chosen when the program was built. Each
// names one of the vendor's own signing certificates; a CA's thumbprint
// accepts nothing.
std::vector<Thumbprint> AcceptedUpdaterSigners();
std::vector<Thumbprint> BuiltInUpdaterSigners();

// True when the file carries an Authenticode signature whose digest matches
// the file, whose signer chains up to a trusted root (checked without any
// user interface and with revocation checks over the whole chain), and
// whose signing certificate itself is one of accepted.
// The caller may pass an open handle of the file so that the bytes checked
// are the bytes it goes on to use.
bool VerifyCodeSignature(const std::wstring& path, HANDLE file, const std::vector<Thumbprint>& accepted);

} // namespace Tavrin::Net
