#pragma once
#include <list>
#include <string>

#include "core/compat/DeviceTree.h"
#include "core/compat/SavedFile.h"

namespace Tavrin::Core {

// One present device as it is saved before the upgrade.
struct SavedDriver {
    std::wstring name;       // friendly name, else description, "/" replaced by "-"
    std::wstring hardwareId; // first hardware identifier: the identity
    std::wstring classGuid;  // setup class GUID, braced
};

inline bool operator==(const SavedDriver& a, const SavedDriver& b)
{
    return a.name == b.name && a.hardwareId == b.hardwareId && a.classGuid == b.classGuid;
}

template <class Archive> void serialize(Archive& archive, SavedDriver& driver, const unsigned int /*version*/)
{
    archive& driver.name& driver.hardwareId& driver.classGuid;
}

extern const wchar_t kDriversFile[];

// The saved form of one device.
SavedDriver SavedDriverFrom(const CDeviceInfo& device);

// The saved devices whose hardware identifier is not among the current ones
// (exact, case-sensitive), in saved order, duplicates kept; nothing while
// there are no current devices at all.
std::list<SavedDriver> FindMissingDrivers(const std::list<SavedDriver>& saved,
                                          const std::list<SavedDriver>& current);

class Drivers {
public:
    virtual ~Drivers() = default;

    // Appends one entry per present device, in enumeration order.
    void CollectDrivers();
    // Writes "drivers.saved"; false when the file cannot be written.
    bool SaveDrivers(const std::wstring& path = kDriversFile) const;
    // The saved list; empty when the file is missing or damaged, which
    // state (when given) tells apart.
    static std::list<SavedDriver> LoadDrivers(const std::wstring& path = kDriversFile,
                                              SavedFile::ReadState* state = nullptr);
    // saved (when given) receives what reading the file found.
    std::list<SavedDriver> MissingDrivers(const std::wstring& path = kDriversFile,
                                          SavedFile::ReadState* saved = nullptr) const;

    std::list<SavedDriver> current;
};

namespace SavedFile {
template <> struct Layout<SavedDriver> {
    static constexpr Field fields[] = {Field::WideText, Field::WideText, Field::WideText};
};
} // namespace SavedFile

} // namespace Tavrin::Core
