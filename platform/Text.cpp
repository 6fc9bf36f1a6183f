#include "platform/Text.h"

#include <windows.h>

namespace Tavrin::Platform {

std::string Narrow(const std::wstring& text, unsigned codePage)
{
    if (text.empty())
        return {};
    int size = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                              nullptr, nullptr);
    return result;
}

std::wstring Widen(const std::string& text, unsigned codePage)
{
    if (text.empty())
        return {};
    int size = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

std::wstring TrimWhiteSpace(const std::wstring& text)
{
    const wchar_t* blanks = L" \t\r\n\v\f";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos)
        return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

void DebugLine(const std::wstring& text)
{
    ::OutputDebugStringW((text + L"\n").c_str());
}

} // namespace Tavrin::Platform
