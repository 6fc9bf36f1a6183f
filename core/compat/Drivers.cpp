#include "core/compat/Drivers.h"

#include <algorithm>

#include "core/compat/MissingEntries.h"

namespace Tavrin::Core {

const wchar_t kDriversFile[] = L"drivers.saved";

SavedDriver SavedDriverFrom(const CDeviceInfo& device)
{
    SavedDriver driver;
    driver.name = device.friendlyName.empty() ? device.description : device.friendlyName;
    std::replace(driver.name.begin(), driver.name.end(), L'/', L'-');
    driver.hardwareId = device.firstHardwareId;
    driver.classGuid = device.classGuidText;
    return driver;
}

void Drivers::CollectDrivers()
{
    auto tree = BuildDeviceTree();
    for (const auto& device : tree->nodes.front()->devices)
        current.push_back(SavedDriverFrom(*device));
}

bool Drivers::SaveDrivers(const std::wstring& path) const
{
    return SavedFile::SaveList(path, current);
}

std::list<SavedDriver> Drivers::LoadDrivers(const std::wstring& path, SavedFile::ReadState* state)
{
    return SavedFile::LoadList<SavedDriver>(path, state);
}

std::list<SavedDriver> FindMissingDrivers(const std::list<SavedDriver>& saved,
                                          const std::list<SavedDriver>& current)
{
    return MissingEntries(saved, current, &SavedDriver::hardwareId);
}

std::list<SavedDriver> Drivers::MissingDrivers(const std::wstring& path, SavedFile::ReadState* saved) const
{
    // Read even when nothing is current, so that a damaged file is reported.
    return FindMissingDrivers(LoadDrivers(path, saved), current);
}

} // namespace Tavrin::Core
