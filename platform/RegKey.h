#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Tavrin::Platform {

// An open registry key, closed when the object goes. Open and Create return the
// Win32 status so that callers decide what a failure means.
class RegKey {
public:
    // The registry's own limits on a name, in characters.
    static constexpr DWORD kMaxKeyNameChars = 255;
    static constexpr DWORD kMaxValueNameChars = 16383;

    // What RegQueryInfoKeyW tells of a key; lengths in characters, data in
    // bytes, none of them counting a terminating zero.
    struct Info {
        DWORD subkeys = 0;
        DWORD longestSubkey = 0;
        DWORD values = 0;
        DWORD longestValueName = 0;
        DWORD longestValueData = 0;
        FILETIME written = {};
    };
    // One value as stored.
    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };

    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    RegKey& operator=(RegKey&& other) noexcept;

    LSTATUS Open(HKEY parent, const std::wstring& path, REGSAM access);
    // Opens the key, creating it and any missing keys above it.
    LSTATUS Create(HKEY parent, const std::wstring& path, REGSAM access);
    void Close();

    HKEY Get() const { return m_key; }
    bool IsOpen() const { return m_key != nullptr; }
    // Takes ownership of a key handle obtained elsewhere.
    void Attach(HKEY key);

    // Typed reads return nothing when the value is absent or of another type.
    std::optional<DWORD> QueryDword(const std::wstring& name) const;
    std::optional<std::wstring> QueryString(const std::wstring& name) const;
    // Reads a value into a buffer of maxChars characters, as a fixed-size
    // buffer of that many characters would: a longer value fails with
    // ERROR_MORE_DATA instead of growing, and the text ends at the first NUL
    // or after maxChars characters. The value's type is not checked.
    LSTATUS QueryFixedText(const std::wstring& name, size_t maxChars, std::wstring& text) const;
    // A value's type and bytes as stored. The value may change between
    // asking its size and reading it; the read is tried again a few times.
    // A value longer than maxBytes fails with ERROR_MORE_DATA, unread.
    LSTATUS QueryRaw(const std::wstring& name, DWORD maxBytes, Value& value) const;
    // A REG_MULTI_SZ value's strings; nothing when absent, of another type
    // or longer than maxBytes. A list cut short ends at its last whole string.
    std::optional<std::vector<std::wstring>> QueryMultiString(const std::wstring& name, DWORD maxBytes) const;

    LSTATUS QueryInfo(Info& info) const;
    // The names of the first `limit` subkeys (values), in the registry's
    // order. A key that changes meanwhile may list a name twice or miss one;
    // the walk ends at the first index the registry cannot give.
    std::vector<std::wstring> SubkeyNames(size_t limit) const;
    std::vector<std::wstring> ValueNames(size_t limit) const;
    // The index-th value with its data, both at most as long as given;
    // ERROR_MORE_DATA when either is longer, ERROR_NO_MORE_ITEMS past the end.
    LSTATUS EnumValue(DWORD index, DWORD maxNameChars, DWORD maxDataBytes, Value& value) const;

    LSTATUS SetDword(const std::wstring& name, DWORD value) const;
    LSTATUS SetString(const std::wstring& name, const std::wstring& value) const;
    LSTATUS SetRaw(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) const;
    // Each string ends with a zero, and the list with one more.
    LSTATUS SetMultiString(const std::wstring& name, const std::vector<std::wstring>& strings) const;
    LSTATUS DeleteValue(const std::wstring& name) const;

private:
    HKEY m_key = nullptr;
};

} // namespace Tavrin::Platform
