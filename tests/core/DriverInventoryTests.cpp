#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/compat/Drivers.h"
#include "platform/DeviceInfoSet.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Core;

namespace Tavrin::Core {
void PrintTo(const SavedDriver& driver, std::ostream* out)
{
    *out << Platform::Narrow(
        L"{" + driver.name + L" | " + driver.hardwareId + L" | " + driver.classGuid + L"}", CP_UTF8);
}
} // namespace Tavrin::Core
using Tavrin::Platform::DeviceInfoSet;
using Tavrin::Test::TempFolder;

namespace {

// What the test itself reads for one present device, with plain SetupAPI.
struct SeenDevice {
    std::wstring description, friendlyName, classGuid, firstHardwareId;
};

std::wstring Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    std::vector<wchar_t> buffer(4096, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(
            set, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
            static_cast<DWORD>((buffer.size() - 2) * sizeof(wchar_t)), nullptr))
        return L"";
    return buffer.data(); // a multi-string's first entry, or the whole text
}

std::vector<SeenDevice> PresentDevices()
{
    std::vector<SeenDevice> seen;
    DeviceInfoSet set(
        ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE));
    if (!set)
        return seen;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set.Get(), i, &device); ++i) {
        seen.push_back(
            {Property(set.Get(), device, SPDRP_DEVICEDESC), Property(set.Get(), device, SPDRP_FRIENDLYNAME),
             Property(set.Get(), device, SPDRP_CLASSGUID), Property(set.Get(), device, SPDRP_HARDWAREID)});
    }
    return seen;
}

SavedDriver Driver(const std::wstring& hardwareId, const std::wstring& name = L"Device")
{
    return {name, hardwareId, L"{4d36e97d-e325-11ce-bfc1-08002be10318}"};
}

} // namespace

TEST(DriverInventory, ListsEveryPresentDeviceOfWinesDeviceTree)
{
    const auto seen = PresentDevices();
    ASSERT_FALSE(seen.empty()); // Wine always has its root devices
    Drivers drivers;
    drivers.CollectDrivers();
    ASSERT_EQ(drivers.current.size(), seen.size());
    auto it = drivers.current.begin();
    for (const SeenDevice& device : seen) {
        std::wstring name = device.friendlyName.empty() ? device.description : device.friendlyName;
        std::replace(name.begin(), name.end(), L'/', L'-');
        EXPECT_EQ(it->name, name);
        EXPECT_EQ(it->hardwareId, device.firstHardwareId);
        EXPECT_EQ(it->classGuid, device.classGuid);
        ++it;
    }
}

TEST(DriverInventory, TheTreeHasOneNodeMyComputerWithEveryDevice)
{
    auto tree = BuildDeviceTree();
    ASSERT_EQ(tree->nodes.size(), 1u);
    EXPECT_EQ(tree->label, L"");
    const auto& node = *tree->nodes.front();
    EXPECT_EQ(node.displayName, L"My Computer");
    EXPECT_EQ(node.label, L"");
    EXPECT_EQ(node.TypeName(), L"CBackupRestoreDriverInfoNode");
    ASSERT_EQ(node.devices.size(), PresentDevices().size());
    for (const auto& device : node.devices) {
        EXPECT_EQ(device->TypeName(), L"CDeviceInfo");
        EXPECT_EQ(device->firstHardwareId, device->hardwareIds.empty() ? L"" : device->hardwareIds.front());
        // Class GUIDs come in their braced form.
        if (!device->classGuidText.empty()) {
            EXPECT_EQ(device->classGuidText.front(), L'{');
        }
    }
}

TEST(DriverInventory, EveryHardwareIdentifierOfTheMultiStringIsKept)
{
    auto tree = BuildDeviceTree();
    bool sawSeveral = false;
    for (const auto& device : tree->nodes.front()->devices) {
        for (const auto& id : device->hardwareIds)
            EXPECT_FALSE(id.empty());
        sawSeveral = sawSeveral || device->hardwareIds.size() > 1;
    }
    // Wine's PnP devices list several identifiers, most specific first.
    EXPECT_TRUE(sawSeveral);
}

TEST(DriverInventory, FriendlyNameWinsOverDescriptionAndSlashesBecomeDashes)
{
    CDeviceInfo device;
    device.description = L"Generic/PnP Monitor";
    EXPECT_EQ(SavedDriverFrom(device).name, L"Generic-PnP Monitor");
    device.friendlyName = L"Dell U2412M (DisplayPort/HDMI)";
    device.firstHardwareId = L"MONITOR\\DELA07A";
    device.classGuidText = L"{4d36e96e-e325-11ce-bfc1-08002be10318}";
    const SavedDriver driver = SavedDriverFrom(device);
    EXPECT_EQ(driver.name, L"Dell U2412M (DisplayPort-HDMI)");
    EXPECT_EQ(driver.hardwareId, L"MONITOR\\DELA07A");
    EXPECT_EQ(driver.classGuid, L"{4d36e96e-e325-11ce-bfc1-08002be10318}");
    EXPECT_EQ(SavedDriverFrom(CDeviceInfo()).name, L"");
}

TEST(MissingDrivers, SavedIdentifiersNoLongerPresentInSavedOrderWithDuplicates)
{
    const std::list<SavedDriver> saved = {Driver(L"PCI\\VEN_1", L"a"), Driver(L"USB\\X"),
                                          Driver(L"PCI\\VEN_1", L"b"), Driver(L"")};
    const std::list<SavedDriver> current = {Driver(L"USB\\X", L"renamed"), Driver(L"USB\\X"), Driver(L"")};
    EXPECT_EQ(FindMissingDrivers(saved, current),
              (std::list<SavedDriver>{Driver(L"PCI\\VEN_1", L"a"), Driver(L"PCI\\VEN_1", L"b")}));
}

TEST(MissingDrivers, LetterCaseMattersAndAnEmptyIdentifierIsMissingOnlyWhenNoneIsEmptyNow)
{
    EXPECT_EQ(FindMissingDrivers({Driver(L"pci\\ven_8086"), Driver(L"")}, {Driver(L"PCI\\VEN_8086")}),
              (std::list<SavedDriver>{Driver(L"pci\\ven_8086"), Driver(L"")}));
}

TEST(MissingDrivers, NothingIsMissingWithoutCurrentDevices)
{
    EXPECT_TRUE(FindMissingDrivers({Driver(L"A")}, {}).empty());
}

TEST(MissingDrivers, ComparesTheSavedFileWithTheCurrentDevices)
{
    TempFolder folder;
    const auto file = folder.File(L"drivers.saved");
    Drivers before;
    before.CollectDrivers();
    before.current.push_back(Driver(L"ROOT\\TAVRIN_GONE", L"Old/Scanner"));
    ASSERT_TRUE(before.SaveDrivers(file));
    EXPECT_EQ(Drivers::LoadDrivers(file), before.current);

    Drivers after;
    after.CollectDrivers();
    EXPECT_EQ(after.MissingDrivers(file),
              (std::list<SavedDriver>{Driver(L"ROOT\\TAVRIN_GONE", L"Old/Scanner")}));
    Drivers none;
    EXPECT_TRUE(none.MissingDrivers(file).empty());
    EXPECT_TRUE(after.MissingDrivers(folder.File(L"absent.saved")).empty());
}

namespace {

// A root-enumerated device registered for one test and removed after it.
class TestDevice {
public:
    TestDevice(const std::wstring& friendlyName, const std::wstring& description,
               const std::wstring& hardwareIds)
        : m_set(::SetupDiCreateDeviceInfoList(&kSystemClass, nullptr))
    {
        m_data.cbSize = sizeof(m_data);
        if (!m_set || !::SetupDiCreateDeviceInfoW(m_set.Get(), L"TAVRINTEST", &kSystemClass, nullptr, nullptr,
                                                  DICD_GENERATE_ID, &m_data))
            return;
        SetText(SPDRP_HARDWAREID, hardwareIds); // a multi-string: entries split by '\0'
        SetText(SPDRP_DEVICEDESC, description);
        if (!friendlyName.empty())
            SetText(SPDRP_FRIENDLYNAME, friendlyName);
        m_registered =
            ::SetupDiRegisterDeviceInfo(m_set.Get(), &m_data, 0, nullptr, nullptr, nullptr) != FALSE;
    }
    ~TestDevice()
    {
        if (m_registered)
            ::SetupDiRemoveDevice(m_set.Get(), &m_data);
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;
    bool Registered() const { return m_registered; }

private:
    void SetText(DWORD property, const std::wstring& text)
    {
        std::wstring data = text + L'\0' + L'\0';
        ::SetupDiSetDeviceRegistryPropertyW(m_set.Get(), &m_data, property,
                                            reinterpret_cast<const BYTE*>(data.c_str()),
                                            static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    }

    static constexpr GUID kSystemClass = {
        0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    DeviceInfoSet m_set;
    SP_DEVINFO_DATA m_data = {};
    bool m_registered = false;
};

} // namespace

TEST(DriverInventory, RegisteredDevicesKeepTheirNamesIdentifiersAndDuplicates)
{
    const std::wstring id = L"TAVRIN\\TEST_" + std::to_wstring(::GetCurrentProcessId());
    TestDevice named(L"Scanner A/B", L"Imaging device", id + std::wstring(1, L'\0') + L"TAVRIN\\GENERIC");
    TestDevice unnamed(L"", L"Serial/Parallel bridge", id);
    ASSERT_TRUE(named.Registered());
    ASSERT_TRUE(unnamed.Registered());

    Drivers drivers;
    drivers.CollectDrivers();
    std::vector<SavedDriver> ours;
    for (const auto& driver : drivers.current) {
        if (driver.hardwareId == id)
            ours.push_back(driver);
    }
    const std::wstring systemClass = L"{4d36e97d-e325-11ce-bfc1-08002be10318}";
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(ours[0].name, L"Scanner A-B");
    EXPECT_EQ(ours[1].name, L"Serial-Parallel bridge");
    for (const auto& driver : ours) {
        // The text as the property holds it; Wine writes its digits in upper case.
        EXPECT_TRUE(Tavrin::Platform::EqualsIgnoreCase(driver.classGuid, systemClass))
            << driver.classGuid.size();
        EXPECT_EQ(driver.hardwareId, id);
    }
}
