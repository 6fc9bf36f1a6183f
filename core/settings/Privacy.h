#pragma once
#include "core/settings/RegistryProperty.h"
#include "core/settings/SettingsCatalogue.h"

namespace Tavrin::Core {

// The registry values behind the privacy page, placed by its catalogue (BindMembers) and, like them, not
// copyable.
class CPrivacy {
public:
    CPrivacy();

    NumberProperty preventHandwritingDataSharing;
    NumberProperty disableInventory;
    NumberProperty noLockScreenCamera;
    NumberProperty advertisingInfoMachine;
    NumberProperty advertisingInfoUser;
    NumberProperty letAppsAccessAccountInfo; // local group policy, machine section
    NumberProperty typingInfoEnabled;
    NumberProperty toastEnabled;
    StringProperty calendarAccess;
    StringProperty cameraAccess;
    StringProperty microphoneAccess;
    StringProperty messagingAccess;
    NumberProperty biometricsEnabled;
    NumberProperty httpAcceptLanguageOptOut;
    NumberProperty webContentEvaluation;
    NumberProperty allowCortana;
    NumberProperty acceptedPrivacyPolicy;
    NumberProperty restrictImplicitInkCollection;
    NumberProperty restrictImplicitTextCollection;
    NumberProperty harvestContacts;
    NumberProperty feedbackCount;
    NumberProperty feedbackPeriod;
    NumberProperty bingSearchEnabled;
    NumberProperty disableOneDriveSync;
};

template <> const SettingsCatalogue<CPrivacy>& CatalogueOf<CPrivacy>();

} // namespace Tavrin::Core
