#pragma once
#include <windows.h>

#include <string>

// The answer to WM_GETOBJECT (OBJID_CLIENT) for a window whose object
// describes itself (CWnd::GetAccessibleInfo): an IAccessible that reports
// the object's name, role, state and default action, and leaves
// everything else (location, parent, navigation, hit testing) to the
// system's standard object for the window.
//
// The accessible object holds only the window handle. Every question is
// asked through a message sent to the window, so it is answered on the
// window's own thread whichever thread the client calls from, and an
// object kept after its window is gone answers RPC_E_DISCONNECTED.
LRESULT AnswerAccessibleObject(HWND window, WPARAM flags);

// Removes the mnemonic markers from a control's text: "&&" stands for "&",
// a single "&" before a character marks that character. An "&" before a
// blank or at the end is kept, as the text means it literally.
std::wstring StripMnemonics(const std::wstring& text);
