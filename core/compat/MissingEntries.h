#pragma once
#include <list>
#include <string>
#include <string_view>
#include <unordered_set>

namespace Tavrin::Core {

// The entries of `saved` whose identity (the member `key`) no entry of
// `current` has, in the saved order. Nothing when `current` is empty: an
// inventory that could not be taken is no proof that anything went missing.
// One pass over each list, hashed, so that large inventories stay fast.
template <typename Entry>
std::list<Entry> MissingEntries(const std::list<Entry>& saved, const std::list<Entry>& current,
                                std::wstring Entry::*key)
{
    std::list<Entry> missing;
    if (current.empty())
        return missing;
    std::unordered_set<std::wstring_view> present;
    present.reserve(current.size());
    for (const Entry& entry : current)
        present.insert(entry.*key);
    for (const Entry& entry : saved) {
        if (present.count(entry.*key) == 0)
            missing.push_back(entry);
    }
    return missing;
}

} // namespace Tavrin::Core
