#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace Tavrin::Core::WindowsUpdate {

// A file version a.b.c.d as one number: (high half << 32) | low half.
constexpr std::uint64_t FileVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d)
{
    return (std::uint64_t{a} << 48) | (std::uint64_t{b} << 32) | (std::uint64_t{c} << 16) | d;
}

// The fixed file version of a file; nothing when it has none.
std::optional<std::uint64_t> ReadFileVersion(const std::wstring& path);

// Gives the version of a file named like "\ddraw.dll", or nothing.
using FileVersionLookup = std::function<std::optional<std::uint64_t>(const std::wstring& fileName)>;

// The DirectX major version by the files of the system folder (0 when
// nothing matches, or when the system folder is unknown).
int DetectDirectXVersion();
// The same, judged by the files of another folder.
int DetectDirectXVersionIn(const std::wstring& folder);
// The same, by versions the caller supplies.
int DetectDirectXVersion(const FileVersionLookup& versionOf);

} // namespace Tavrin::Core::WindowsUpdate
