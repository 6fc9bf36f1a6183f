#include "core/settings/ChangeJournal.h"

#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"
#include "platform/Text.h"

namespace Tavrin::Core {

namespace {

// Every value that a row asking for a restart writes or deletes: what such a
// row changes takes effect only after one, whoever changes it back.
template <typename Model> void AddRestartPlaces(std::vector<RegistryPlace>& places)
{
    const Model model; // reads nothing and opens no policy object
    for (const auto& row : CatalogueOf<Model>().rows) {
        if (!row.asksRestart)
            continue;
        for (const auto* steps : {&row.tick, &row.clear})
            for (const auto& step : *steps)
                places.push_back(
                    std::visit([&](auto member) { return (model.*member).Place(); }, step.entry));
    }
}

} // namespace

bool ChangeNeedsRestart(const RegistryPlace& place)
{
    static const std::vector<RegistryPlace> places = [] {
        std::vector<RegistryPlace> found;
        AddRestartPlaces<CPrivacy>(found);
        AddRestartPlaces<CSecurity>(found);
        AddRestartPlaces<CLocation>(found);
        AddRestartPlaces<CThemeSettings>(found);
        return found;
    }();
    for (const RegistryPlace& known : places)
        if (known.root == place.root && known.view == place.view &&
            Platform::EqualsIgnoreCase(known.keyPath, place.keyPath) &&
            Platform::EqualsIgnoreCase(known.valueName, place.valueName))
            return true;
    return false;
}

} // namespace Tavrin::Core
