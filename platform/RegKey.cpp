#include "platform/RegKey.h"

#include <vector>

namespace Tavrin::Platform {

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        Close();
        m_key = other.m_key;
        other.m_key = nullptr;
    }
    return *this;
}

// Both open into a local handle: whatever the call leaves in it on failure is
// never taken for a key, and the object ends up closed.
LSTATUS RegKey::Open(HKEY parent, const std::wstring& path, REGSAM access)
{
    HKEY opened = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(parent, path.c_str(), 0, access, &opened);
    Attach(status == ERROR_SUCCESS ? opened : nullptr);
    return status;
}

LSTATUS RegKey::Create(HKEY parent, const std::wstring& path, REGSAM access)
{
    HKEY created = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             access, nullptr, &created, nullptr);
    Attach(status == ERROR_SUCCESS ? created : nullptr);
    return status;
}

void RegKey::Close()
{
    if (m_key) {
        ::RegCloseKey(m_key);
        m_key = nullptr;
    }
}

void RegKey::Attach(HKEY key)
{
    Close();
    m_key = key;
}

std::optional<DWORD> RegKey::QueryDword(const std::wstring& name) const
{
    DWORD type = 0, value = 0, size = sizeof(value);
    if (::RegQueryValueExW(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return std::nullopt;
    return value;
}

std::optional<std::wstring> RegKey::QueryString(const std::wstring& name) const
{
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(m_key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    // The value may grow between the two calls; retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        LSTATUS status = ::RegQueryValueExW(m_key, name.c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            size = bytes;
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        // Stored strings need not be terminated; stop at the first NUL either way.
        size_t count = bytes / sizeof(wchar_t);
        std::wstring text(buffer.data(), count);
        if (auto nul = text.find(L'\0'); nul != std::wstring::npos)
            text.resize(nul);
        return text;
    }
    return std::nullopt;
}

LSTATUS RegKey::QueryFixedText(const std::wstring& name, size_t maxChars, std::wstring& text) const
{
    // One character more than the value may fill keeps a value stored without
    // its terminating zero from running past the buffer.
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD size = static_cast<DWORD>(maxChars * sizeof(wchar_t));
    const LSTATUS status = ::RegQueryValueExW(m_key, name.c_str(), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(buffer.data()), &size);
    text = status == ERROR_SUCCESS ? std::wstring(buffer.data()) : std::wstring();
    return status;
}

LSTATUS RegKey::SetDword(const std::wstring& name, DWORD value) const
{
    return ::RegSetValueExW(m_key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value));
}

LSTATUS RegKey::SetString(const std::wstring& name, const std::wstring& value) const
{
    return ::RegSetValueExW(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS RegKey::DeleteValue(const std::wstring& name) const
{
    return ::RegDeleteValueW(m_key, name.c_str());
}

} // namespace Tavrin::Platform
