#include "core/compat/Extensions.h"

#include <windows.h>

#include <string_view>
#include <unordered_map>

#include "platform/RegKey.h"
#include "platform/UserHive.h"

namespace Tavrin::Core {

const wchar_t kExtensionsFile[] = L"./extensions.saved";

namespace {

// ".RA " and ".RM " end in a blank, as they always have: they never name a
// real Explorer key, and files saved earlier hold them so.
const wchar_t* const kCatalogue[] = {
    // audio
    L".AIF", L".IFF", L".M3U", L".M4A", L".MID", L".MP3", L".MPA", L".RA ", L".WAV", L".WMA",
    // video
    L".3G2", L".3GP", L".ASF", L".ASX", L".AVI", L".FLV", L".M4V", L".MOV", L".MP4", L".MPG", L".RM ",
    L".SRT", L".SWF", L".VOB", L".WMV",
    // image
    L".BMP", L".DDS", L".GIF", L".JPG", L".PNG", L".PSD", L".PSP", L".TGA", L".THM", L".TIF", L".TIFF",
    L".YUV",
    // document
    L".PDF",
    // archive and package
    L".7Z", L".CBR", L".DEB", L".GZ", L".PKG", L".RAR", L".RPM", L".SITX", L".TAR.GZ", L".ZIP", L".ZIPX",
    // mail
    L".MSG",
    // web
    L".ASP", L".ASPX", L".CER", L".CFM", L".CSR", L".CSS", L".HTM", L".HTML", L".JS", L".JSP", L".PHP",
    L".RSS", L".XHTML",
    // calendar
    L".ICS"};

constexpr wchar_t kFileExtsPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr REGSAM kAccess = KEY_READ | KEY_WOW64_64KEY;

} // namespace

Extensions::Extensions() : catalogue(std::begin(kCatalogue), std::end(kCatalogue)) {}

void Extensions::CollectAssociations()
{
    using Platform::RegKey;
    // The choices of the user whose settings this run shows, and the
    // programs as their classes name them.
    const Platform::UserHive& user = Platform::UserHive::Current();
    if (!user.Root())
        return;
    for (const std::wstring& extension : catalogue) {
        RegKey choice;
        if (choice.Open(user.Root(), kFileExtsPath + extension + L"\\UserChoice", kAccess) != ERROR_SUCCESS)
            continue;
        SavedExtension entry;
        entry.extension = extension;
        entry.progId = choice.QueryString(L"Progid").value_or(L"");
        entry.hash = choice.QueryString(L"Hash").value_or(L"");
        if (entry.progId.empty())
            continue;
        RegKey command;
        if (user.OpenClassesKey(command, entry.progId + L"\\shell\\open\\command", kAccess) != ERROR_SUCCESS)
            continue;
        auto openCommand = command.QueryString(L"");
        if (!openCommand)
            continue;
        entry.openCommand = *openCommand;
        current.push_back(std::move(entry));
    }
}

bool Extensions::SaveAssociations(const std::wstring& path) const
{
    return SavedFile::SaveList(path, current);
}

std::list<SavedExtension> Extensions::LoadAssociations(const std::wstring& path, SavedFile::ReadState* state)
{
    return SavedFile::LoadList<SavedExtension>(path, state);
}

std::list<SavedExtension> FindLostAssociations(const std::list<SavedExtension>& saved,
                                               const std::list<SavedExtension>& current)
{
    // Only the first current entry of an extension counts, as a search from
    // the front would find it.
    std::unordered_map<std::wstring_view, std::wstring_view> progIds;
    progIds.reserve(current.size());
    for (const SavedExtension& entry : current)
        progIds.emplace(entry.extension, entry.progId);

    std::list<SavedExtension> lost;
    for (const SavedExtension& entry : saved) {
        auto found = progIds.find(entry.extension);
        if (found == progIds.end() || found->second != entry.progId)
            lost.push_back(entry);
    }
    return lost;
}

std::list<SavedExtension> Extensions::LostAssociations(const std::wstring& path,
                                                       SavedFile::ReadState* saved) const
{
    return FindLostAssociations(LoadAssociations(path, saved), current);
}

} // namespace Tavrin::Core
