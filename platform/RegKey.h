#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace Tavrin::Platform {

// An open registry key, closed when the object goes. Open and Create return the
// Win32 status so that callers decide what a failure means.
class RegKey {
public:
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
    LSTATUS SetDword(const std::wstring& name, DWORD value) const;
    LSTATUS SetString(const std::wstring& name, const std::wstring& value) const;
    LSTATUS DeleteValue(const std::wstring& name) const;

private:
    HKEY m_key = nullptr;
};

} // namespace Tavrin::Platform
