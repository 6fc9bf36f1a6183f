#pragma once
#include <windows.h>

#include <string>

namespace Tavrin::Net {

// True when the file carries an Authenticode signature whose digest matches
// the file and whose signer chains up to a trusted root, checked without any
// user interface and with revocation checks over the whole chain. The caller
// may pass an open handle of the file so that the bytes checked are the
// bytes it goes on to use.
bool VerifyCodeSignature(const std::wstring& path, HANDLE file = nullptr);

} // namespace Tavrin::Net
