#pragma once
#include <string>

namespace Tavrin::Platform {

// Conversions between UTF-16 and a Windows code page (CP_ACP by default).
std::string Narrow(const std::wstring& text, unsigned codePage = 0);
std::wstring Widen(const std::string& text, unsigned codePage = 0);

std::wstring TrimWhiteSpace(const std::wstring& text);
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);

// Writes one diagnostic line (a line end is appended) with OutputDebugStringW.
void DebugLine(const std::wstring& text);

} // namespace Tavrin::Platform
