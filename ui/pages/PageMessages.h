#pragma once
#include <windows.h>

// Sent (synchronously, both parameters 0) by a page's "Done" button to the
// window that hosts it, which then returns to its home view.
constexpr UINT WM_PAGE_DONE = 0x2FED;
