#pragma once
// A small model of the device tree, one node per group of devices. The
// program builds a single node, "My Computer", holding every present device.

#include <windows.h>
#include <setupapi.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

namespace Tavrin::Core {

class CDeviceInfo {
public:
    virtual std::wstring TypeName() const { return L"CDeviceInfo"; }
    virtual ~CDeviceInfo() = default;

    // Reads the device's registry properties; unreadable ones stay empty.
    void Fill(HDEVINFO set, SP_DEVINFO_DATA& device);

    std::wstring classGuidText;
    std::wstring description;
    std::wstring friendlyName;
    std::list<std::wstring> hardwareIds;
    std::wstring firstHardwareId;
};

class CBackupRestoreDriverInfoNode {
public:
    virtual std::wstring TypeName() const { return L"CBackupRestoreDriverInfoNode"; }
    virtual ~CBackupRestoreDriverInfoNode() = default;

    std::wstring displayName;
    std::vector<std::unique_ptr<CDeviceInfo>> devices;
    std::wstring label;
};

class CBackupRestoreDriverNodeList {
public:
    virtual ~CBackupRestoreDriverNodeList() = default;

    std::wstring label;
    std::vector<std::unique_ptr<CBackupRestoreDriverInfoNode>> nodes;
};

// One node, "My Computer", with every present device in enumeration order;
// the node stays empty when the device list cannot be had.
std::unique_ptr<CBackupRestoreDriverNodeList> BuildDeviceTree();

// Reads a SetupAPI registry property as raw wide characters (empty on failure).
std::vector<wchar_t> ReadDeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property);

} // namespace Tavrin::Core
