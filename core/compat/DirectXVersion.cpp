#include "core/compat/DirectXVersion.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace Tavrin::Core::WindowsUpdate {

namespace {

enum class Match {
    AtLeast,      // the version is at least bound
    PerMajorPart, // 4.x versions against bound, 5.x against bound5
    AnyVersion,   // the file has a version at all
};

struct DirectXFile {
    const wchar_t* file;
    Match match;
    std::uint64_t bound;
    std::uint64_t bound5;
    int result;
};

// The file-version method of the DirectX SDK sample. Every matching row sets
// the result, so the last match wins; d3d12.dll ends the walk.
const DirectXFile kDirectXFiles[] = {
    {L"\\ddraw.dll", Match::AtLeast, FileVersion(4, 2, 0, 95), 0, 1},
    {L"\\ddraw.dll", Match::AtLeast, FileVersion(4, 3, 0, 1096), 0, 2},
    {L"\\ddraw.dll", Match::AtLeast, FileVersion(4, 4, 0, 68), 0, 3},
    {L"\\d3drg8x.dll", Match::AtLeast, FileVersion(4, 4, 0, 70), 0, 3},
    {L"\\ddraw.dll", Match::AtLeast, FileVersion(4, 5, 0, 155), 0, 5},
    {L"\\ddraw.dll", Match::AtLeast, FileVersion(4, 6, 0, 318), 0, 6},
    {L"\\ddraw.dll", Match::AtLeast, FileVersion(4, 6, 0, 436), 0, 6},
    {L"\\dplayx.dll", Match::AtLeast, FileVersion(4, 6, 3, 518), 0, 6},
    {L"\\ddraw.dll", Match::AtLeast, FileVersion(4, 7, 0, 700), 0, 7},
    {L"\\dinput.dll", Match::AtLeast, FileVersion(4, 7, 0, 716), 0, 7},
    {L"\\ddraw.dll", Match::PerMajorPart, FileVersion(4, 8, 0, 400), FileVersion(5, 1, 2258, 400), 8},
    {L"\\d3d8.dll", Match::PerMajorPart, FileVersion(4, 8, 1, 881), FileVersion(5, 1, 2600, 881), 8},
    {L"\\d3d8.dll", Match::PerMajorPart, FileVersion(4, 8, 1, 901), FileVersion(5, 1, 2600, 901), 8},
    {L"\\mpg2splt.ax", Match::AtLeast, FileVersion(6, 3, 1, 885), 0, 8},
    {L"\\dpnet.dll", Match::PerMajorPart, FileVersion(4, 9, 0, 134), FileVersion(5, 2, 3677, 134), 8},
    {L"\\d3d9.dll", Match::AnyVersion, 0, 0, 9},
    {L"\\d3d10.dll", Match::AnyVersion, 0, 0, 10},
    {L"\\d3d10_1.dll", Match::AnyVersion, 0, 0, 10},
    {L"\\d3d11.dll", Match::AnyVersion, 0, 0, 11},
    {L"\\d3d12.dll", Match::AnyVersion, 0, 0, 12},
};

bool Matches(const DirectXFile& row, std::uint64_t version)
{
    switch (row.match) {
    case Match::AtLeast:
        return version >= row.bound;
    case Match::PerMajorPart:
        switch (version >> 48) {
        case 4:
            return version >= row.bound;
        case 5:
            return version >= row.bound5;
        default:
            return false;
        }
    case Match::AnyVersion:
        return true;
    }
    return false;
}

} // namespace

std::optional<std::uint64_t> ReadFileVersion(const std::wstring& path)
{
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return std::nullopt;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return (std::uint64_t{info->dwFileVersionMS} << 32) | info->dwFileVersionLS;
}

int DetectDirectXVersion(const FileVersionLookup& versionOf)
{
    // Several rows test the same file (ddraw.dll nine times); each file's
    // version is read once, as reading it maps the file.
    std::map<std::wstring, std::optional<std::uint64_t>> versions;
    int result = 0;
    for (const DirectXFile& row : kDirectXFiles) {
        auto known = versions.find(row.file);
        if (known == versions.end())
            known = versions.emplace(row.file, versionOf(row.file)).first;
        const std::optional<std::uint64_t>& version = known->second;
        if (!version || !Matches(row, *version))
            continue;
        result = row.result;
        if (result == 12)
            break;
    }
    return result;
}

int DetectDirectXVersionIn(const std::wstring& folder)
{
    return DetectDirectXVersion(
        [&folder](const std::wstring& fileName) { return ReadFileVersion(folder + fileName); });
}

int DetectDirectXVersion()
{
    wchar_t folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    return DetectDirectXVersionIn(folder);
}

} // namespace Tavrin::Core::WindowsUpdate
