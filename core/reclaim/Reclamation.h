#pragma once
#include <string>
#include <vector>

#include "core/settings/RegistryProperty.h"

namespace Tavrin::Core {

// The disk-cleanup handlers that remove what an upgrade leaves behind,
// selected for the private cleanup profile 1111. Building the object selects
// them; it lives for one cleanup run.
class Reclamation {
public:
    Reclamation();
    virtual ~Reclamation() = default;
    Reclamation(const Reclamation&) = delete;
    Reclamation& operator=(const Reclamation&) = delete;

    // "StateFlags1111" of each handler key; 2 selects the handler.
    NumberProperty previousInstallations;
    NumberProperty temporarySetupFiles;
    NumberProperty upgradeDiscardedFiles;
    NumberProperty updateCleanup;

    static constexpr DWORD kSelected = 2;
    static constexpr wchar_t kStateFlags[] = L"StateFlags1111";
    // The handler keys below HKEY_LOCAL_MACHINE, in member order.
    static const std::vector<std::wstring>& HandlerKeys();
};

} // namespace Tavrin::Core
