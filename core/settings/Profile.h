#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/SettingsBook.h"

namespace Tavrin::Core {

// A profile: UTF-8 JSON (a byte-order mark is accepted) holding one object,
//   {"format": "tavrin-profile", "version": 1,
//    "settings": {"privacy.camera": true, "theme.dark-theme": false}}
// with one member per setting it sets, named by the row's stable name: true
// ticks the box, false clears it.
inline constexpr char kProfileFormat[] = "tavrin-profile";
inline constexpr int kProfileVersion = 1;
// Larger files are refused unread: no profile of this program comes near.
inline constexpr std::size_t kMaxProfileBytes = 1024 * 1024;

struct ProfileCheck {
    std::vector<SettingRequest> settings; // in file order, when valid
    std::string problem;                  // the first problem found; empty when valid

    bool Valid() const { return problem.empty(); }
};

// Checks the whole file before anything may be changed: its size, its
// encoding, its JSON (no name twice in an object), the format marker and
// version, and every setting's name and value.
ProfileCheck CheckProfile(std::string_view bytes);

// Reads a profile file, at most one byte more than kMaxProfileBytes (enough
// for CheckProfile to refuse it). Only a file on a disk is read: a pipe or a
// device such as the console could keep the reader waiting forever.
// ERROR_SUCCESS or the Win32 error.
unsigned long ReadProfileFile(const std::wstring& path, std::string& bytes);

// The profile of these settings, as UTF-8 text ending in a line end.
std::string ProfileText(const std::vector<SettingRequest>& settings);

} // namespace Tavrin::Core
