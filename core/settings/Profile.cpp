#include "core/settings/Profile.h"

#include <windows.h>

#include <nlohmann/json.hpp>
#include <set>

#include "platform/UniqueHandle.h"

namespace Tavrin::Core {

namespace {

using Json = nlohmann::ordered_json;

// A profile nests two objects; anything deeper is refused while it is read.
constexpr int kDeepestNesting = 8;

struct Refusal {
    std::string problem;
};

bool IsUtf8(std::string_view bytes)
{
    return bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                  static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

// The parser keeps the last of two equal names, so they are caught as they
// are read: a name seen before in the same object ends the parse.
Json ParseRefusingDuplicates(std::string_view text)
{
    std::vector<std::set<std::string>> names;
    auto watch = [&](int depth, Json::parse_event_t event, Json& parsed) {
        if (depth > kDeepestNesting)
            throw Refusal{"it nests deeper than a profile does"};
        if (event == Json::parse_event_t::object_start)
            names.emplace_back();
        else if (event == Json::parse_event_t::object_end && !names.empty())
            names.pop_back();
        else if (event == Json::parse_event_t::key && !names.empty() &&
                 !names.back().insert(parsed.get<std::string>()).second)
            throw Refusal{"\"" + parsed.get<std::string>() + "\" is named twice in one object"};
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), watch);
    } catch (const Json::exception& error) {
        // The library's text names the line and column; its own tag is no
        // help to a reader.
        std::string what = error.what();
        const size_t tagEnd = what.find("] ");
        throw Refusal{"it is not JSON: " + (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2))};
    }
}

std::vector<SettingRequest> CheckDocument(const Json& document)
{
    if (!document.is_object())
        throw Refusal{"it is not a JSON object"};
    for (const auto& member : document.items())
        if (member.key() != "format" && member.key() != "version" && member.key() != "settings")
            throw Refusal{"unknown member \"" + member.key() + "\""};
    const auto format = document.find("format");
    if (format == document.end() || *format != kProfileFormat)
        throw Refusal{std::string("unknown format: \"format\" must be \"") + kProfileFormat + "\""};
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number_integer() || *version != kProfileVersion)
        throw Refusal{"unknown version: \"version\" must be " + std::to_string(kProfileVersion)};
    const auto settings = document.find("settings");
    if (settings == document.end() || !settings->is_object())
        throw Refusal{"\"settings\" must be an object"};
    std::vector<SettingRequest> requests;
    for (const auto& setting : settings->items()) {
        if (!SettingsBook::Find(setting.key()))
            throw Refusal{"unknown setting \"" + setting.key() + "\""};
        if (!setting.value().is_boolean())
            throw Refusal{"setting \"" + setting.key() + "\" must be true or false"};
        requests.push_back({setting.key(), setting.value().get<bool>()});
    }
    return requests;
}

} // namespace

ProfileCheck CheckProfile(std::string_view bytes)
{
    ProfileCheck check;
    try {
        if (bytes.size() > kMaxProfileBytes)
            throw Refusal{"it is larger than 1 MiB"};
        // No text holds a zero byte, and UTF-16 text of the ASCII letters is
        // half zero bytes, with or without its byte-order mark.
        if (!IsUtf8(bytes) || bytes.find('\0') != std::string_view::npos)
            throw Refusal{"it is not UTF-8 text"};
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        check.settings = CheckDocument(ParseRefusingDuplicates(bytes));
    } catch (const Refusal& refusal) {
        check.settings.clear();
        check.problem = refusal.problem;
    }
    return check;
}

unsigned long ReadProfileFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    Platform::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ::GetLastError();
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK)
        return ERROR_BAD_FILE_TYPE;
    bytes.resize(kMaxProfileBytes + 1);
    DWORD done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &bytes[done], static_cast<DWORD>(bytes.size()) - done, &read, nullptr)) {
            const DWORD error = ::GetLastError();
            bytes.clear();
            return error;
        }
        if (read == 0)
            break;
        done += read;
    }
    bytes.resize(done);
    return ERROR_SUCCESS;
}

std::string ProfileText(const std::vector<SettingRequest>& settings)
{
    Json document;
    document["format"] = kProfileFormat;
    document["version"] = kProfileVersion;
    document["settings"] = Json::object();
    for (const SettingRequest& setting : settings)
        document["settings"][setting.name] = setting.ticked;
    return document.dump(2) + "\n";
}

} // namespace Tavrin::Core
