#include "platform/RegKey.h"

#include <cstring>
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

LSTATUS RegKey::QueryRaw(const std::wstring& name, DWORD maxBytes, Value& value) const
{
    value = Value{};
    value.name = name;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LSTATUS status = ::RegQueryValueExW(m_key, name.c_str(), nullptr, &value.type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return status;
        if (size > maxBytes)
            return ERROR_MORE_DATA;
        value.data.resize(size);
        status = ::RegQueryValueExW(m_key, name.c_str(), nullptr, &value.type,
                                    size ? value.data.data() : nullptr, &size);
        if (status == ERROR_MORE_DATA)
            continue; // it grew meanwhile
        if (status != ERROR_SUCCESS)
            return status;
        value.data.resize(size);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

std::optional<std::vector<std::wstring>> RegKey::QueryMultiString(const std::wstring& name,
                                                                  DWORD maxBytes) const
{
    Value value;
    if (QueryRaw(name, maxBytes, value) != ERROR_SUCCESS || value.type != REG_MULTI_SZ)
        return std::nullopt;
    std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * sizeof(wchar_t));
    std::vector<std::wstring> strings;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find(L'\0', start);
        if (end == start || end == std::wstring::npos)
            break;
        strings.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

LSTATUS RegKey::QueryInfo(Info& info) const
{
    info = Info{};
    return ::RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, &info.subkeys, &info.longestSubkey, nullptr,
                              &info.values, &info.longestValueName, &info.longestValueData, nullptr,
                              &info.written);
}

std::vector<std::wstring> RegKey::SubkeyNames(size_t limit) const
{
    std::vector<std::wstring> names;
    wchar_t name[kMaxKeyNameChars + 1];
    for (DWORD index = 0; names.size() < limit; ++index) {
        DWORD length = kMaxKeyNameChars + 1;
        if (::RegEnumKeyExW(m_key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::wstring> RegKey::ValueNames(size_t limit) const
{
    std::vector<std::wstring> names;
    // A buffer of the longest name the registry allows always takes the
    // whole name.
    std::vector<wchar_t> name(kMaxValueNameChars + 1);
    for (DWORD index = 0; names.size() < limit; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumValueW(m_key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

LSTATUS RegKey::EnumValue(DWORD index, DWORD maxNameChars, DWORD maxDataBytes, Value& value) const
{
    value = Value{};
    std::vector<wchar_t> name(static_cast<size_t>(maxNameChars) + 1);
    value.data.resize(maxDataBytes);
    DWORD length = static_cast<DWORD>(name.size()), size = maxDataBytes;
    const LSTATUS status = ::RegEnumValueW(m_key, index, name.data(), &length, nullptr, &value.type,
                                           size ? value.data.data() : nullptr, &size);
    if (status != ERROR_SUCCESS) {
        value = Value{};
        return status;
    }
    value.name.assign(name.data(), length);
    value.data.resize(size);
    return ERROR_SUCCESS;
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

LSTATUS RegKey::SetRaw(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) const
{
    return ::RegSetValueExW(m_key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                            static_cast<DWORD>(data.size()));
}

LSTATUS RegKey::SetMultiString(const std::wstring& name, const std::vector<std::wstring>& strings) const
{
    std::wstring text;
    for (const std::wstring& line : strings)
        text += line + L'\0';
    text += L'\0';
    return ::RegSetValueExW(m_key, name.c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

LSTATUS RegKey::DeleteValue(const std::wstring& name) const
{
    return ::RegDeleteValueW(m_key, name.c_str());
}

} // namespace Tavrin::Platform
