#include "core/compat/DeviceTree.h"

#include <algorithm>

#include "platform/DeviceInfoSet.h"

namespace Tavrin::Core {

namespace {

// The text up to the first zero character of a property's data.
std::wstring TextOf(const std::vector<wchar_t>& data)
{
    std::wstring text(data.begin(), data.end());
    return text.substr(0, text.find(L'\0'));
}

} // namespace

std::vector<wchar_t> ReadDeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    std::vector<wchar_t> data;
    DWORD required = 0;
    BYTE* buffer = nullptr;
    DWORD bufferSize = 0;
    while (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, buffer, bufferSize,
                                                &required)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || required == 0)
            return {};
        // Twice the size asked for, zero-filled: the data need not end in
        // zeros of its own.
        data.assign(required, L'\0');
        buffer = reinterpret_cast<BYTE*>(data.data());
        bufferSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    }
    if (!buffer)
        return {}; // nothing asked for a buffer: the property is empty
    data.resize(required / sizeof(wchar_t));
    return data;
}

void CDeviceInfo::Fill(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    description = TextOf(ReadDeviceProperty(set, device, SPDRP_DEVICEDESC));
    classGuidText = TextOf(ReadDeviceProperty(set, device, SPDRP_CLASSGUID));
    friendlyName = TextOf(ReadDeviceProperty(set, device, SPDRP_FRIENDLYNAME));

    const std::vector<wchar_t> ids = ReadDeviceProperty(set, device, SPDRP_HARDWAREID);
    for (auto it = ids.begin(); it != ids.end() && *it != L'\0';) {
        auto end = std::find(it, ids.end(), L'\0');
        hardwareIds.emplace_back(it, end);
        it = end == ids.end() ? end : end + 1;
    }
    if (!hardwareIds.empty())
        firstHardwareId = hardwareIds.front();
}

std::unique_ptr<CBackupRestoreDriverNodeList> BuildDeviceTree()
{
    auto tree = std::make_unique<CBackupRestoreDriverNodeList>();
    auto node = std::make_unique<CBackupRestoreDriverInfoNode>();
    node->displayName = L"My Computer";

    Platform::DeviceInfoSet set(
        ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE));
    if (set) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set.Get(), index, &device); ++index) {
            auto info = std::make_unique<CDeviceInfo>();
            info->Fill(set.Get(), device);
            node->devices.push_back(std::move(info));
        }
    }
    tree->nodes.push_back(std::move(node));
    return tree;
}

} // namespace Tavrin::Core
