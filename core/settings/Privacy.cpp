#include "core/settings/Privacy.h"

#include "core/settings/SettingsPaths.h"

namespace Tavrin::Core {

using namespace RegistryRoots;

CPrivacy::CPrivacy()
{
    BindMembers(*this);
}

template <> const SettingsCatalogue<CPrivacy>& CatalogueOf<CPrivacy>()
{
    using M = CPrivacy;
    static const SettingsCatalogue<M> catalogue{
        // Windows treats the values that default to 1 as on when they are
        // absent; the device-access strings go back to "Allow" rather than away.
        {
            Member(&M::preventHandwritingDataSharing, HKLM,
                   L"SOFTWARE\\Policies\\Microsoft\\Windows\\TabletPC", L"PreventHandwritingDataSharing"),
            Member(&M::disableInventory, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppCompat",
                   L"DisableInventory"),
            Member(&M::noLockScreenCamera, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Personalization",
                   L"NoLockScreenCamera"),
            Member(&M::advertisingInfoMachine, HKLM,
                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo", L"Enabled")
                .DefaultsTo(1),
            Member(&M::advertisingInfoUser, HKCU,
                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo", L"Enabled")
                .DefaultsTo(1),
            Member(&M::letAppsAccessAccountInfo, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppPrivacy",
                   L"LetAppsAccessAccountInfo")
                .InPolicy(PolicyBinding::MachineSection),
            Member(&M::typingInfoEnabled, HKCU, L"SOFTWARE\\Microsoft\\Input\\TIPC", L"Enabled")
                .DefaultsTo(1),
            Member(&M::toastEnabled, HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PushNotifications",
                   L"ToastEnabled")
                .DefaultsTo(1),
            Member(&M::calendarAccess, HKCU, DeviceAccessKey(L"{D89823BA-7180-4B81-B50C-7E471E6121A3}"),
                   L"Value")
                .ResetTo(L"Allow"),
            Member(&M::cameraAccess, HKCU, DeviceAccessKey(L"{E5323777-F976-4f5b-9B55-B94699C46E44}"),
                   L"Value")
                .ResetTo(L"Allow"),
            Member(&M::microphoneAccess, HKCU, DeviceAccessKey(L"{2EEF81BE-33FA-4800-9670-1CD474972C3F}"),
                   L"Value")
                .ResetTo(L"Allow"),
            Member(&M::messagingAccess, HKCU, DeviceAccessKey(L"{992AFA70-6F47-4148-B3E9-3003349C1548}"),
                   L"Value")
                .ResetTo(L"Allow"),
            Member(&M::biometricsEnabled, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Biometrics", L"Enabled")
                .DefaultsTo(1),
            Member(&M::httpAcceptLanguageOptOut, HKCU, L"Control Panel\\International\\User Profile",
                   L"HttpAcceptLanguageOptOut"),
            Member(&M::webContentEvaluation, HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AppHost",
                   L"EnableWebContentEvaluation")
                .DefaultsTo(1),
            Member(&M::allowCortana, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search",
                   L"AllowCortana")
                .DefaultsTo(1),
            Member(&M::acceptedPrivacyPolicy, HKCU, L"SOFTWARE\\Microsoft\\Personalization\\Settings",
                   L"AcceptedPrivacyPolicy")
                .DefaultsTo(1),
            Member(&M::restrictImplicitInkCollection, HKCU, L"SOFTWARE\\Microsoft\\InputPersonalization",
                   L"RestrictImplicitInkCollection"),
            Member(&M::restrictImplicitTextCollection, HKCU, L"SOFTWARE\\Microsoft\\InputPersonalization",
                   L"RestrictImplicitTextCollection"),
            Member(&M::harvestContacts, HKCU, L"SOFTWARE\\Microsoft\\InputPersonalization\\TrainedDataStore",
                   L"HarvestContacts")
                .DefaultsTo(1),
            Member(&M::feedbackCount, HKCU, L"SOFTWARE\\Microsoft\\Siuf\\Rules", L"NumberOfSIUFInPeriod"),
            Member(&M::feedbackPeriod, HKCU, L"SOFTWARE\\Microsoft\\Siuf\\Rules", L"PeriodInNanoSeconds"),
            Member(&M::bingSearchEnabled, HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Search",
                   L"BingSearchEnabled")
                .DefaultsTo(1),
            // A policy key, but the current user's own: not the group policy object.
            Member(&M::disableOneDriveSync, HKCU, L"SOFTWARE\\Policies\\Microsoft\\Windows\\OneDrive",
                   L"DisableFileSyncNGSC"),
        },
        {
            {"privacy.handwriting-sharing",
             NotZero(&M::preventHandwritingDataSharing),
             {Set(&M::preventHandwritingDataSharing, 1)},
             {Remove(&M::preventHandwritingDataSharing)}},
            {"privacy.inventory-collector",
             NotZero(&M::disableInventory),
             {Set(&M::disableInventory, 1)},
             {Remove(&M::disableInventory)}},
            {"privacy.lock-screen-camera",
             NotZero(&M::noLockScreenCamera),
             {Set(&M::noLockScreenCamera, 1)},
             {Remove(&M::noLockScreenCamera)}},
            {"privacy.advertising-id",
             Equals(&M::advertisingInfoMachine, 0),
             {Set(&M::advertisingInfoMachine, 0), Set(&M::advertisingInfoUser, 0)},
             {Remove(&M::advertisingInfoMachine), Remove(&M::advertisingInfoUser)}},
            {"privacy.account-info",
             Equals(&M::letAppsAccessAccountInfo, 2),
             {Set(&M::letAppsAccessAccountInfo, 2)},
             {Remove(&M::letAppsAccessAccountInfo)}},
            {"privacy.typing-info",
             Equals(&M::typingInfoEnabled, 0),
             {Set(&M::typingInfoEnabled, 0)},
             {Remove(&M::typingInfoEnabled)}},
            {"privacy.app-notifications",
             Equals(&M::toastEnabled, 0),
             {Set(&M::toastEnabled, 0)},
             {Remove(&M::toastEnabled)}},
            {"privacy.calendar",
             Equals(&M::calendarAccess, L"Deny"),
             {Set(&M::calendarAccess, L"Deny")},
             {Set(&M::calendarAccess, L"Allow")}},
            {"privacy.camera",
             Equals(&M::cameraAccess, L"Deny"),
             {Set(&M::cameraAccess, L"Deny")},
             {Set(&M::cameraAccess, L"Allow")}},
            {"privacy.microphone",
             Equals(&M::microphoneAccess, L"Deny"),
             {Set(&M::microphoneAccess, L"Deny")},
             {Set(&M::microphoneAccess, L"Allow")}},
            {"privacy.messages",
             Equals(&M::messagingAccess, L"Deny"),
             {Set(&M::messagingAccess, L"Deny")},
             {Set(&M::messagingAccess, L"Allow")}},
            {"privacy.biometrics",
             Equals(&M::biometricsEnabled, 0),
             {Set(&M::biometricsEnabled, 0)},
             {Remove(&M::biometricsEnabled)}},
            {"privacy.browser-language",
             NotZero(&M::httpAcceptLanguageOptOut),
             {Set(&M::httpAcceptLanguageOptOut, 1)},
             {Remove(&M::httpAcceptLanguageOptOut)}},
            {"privacy.smartscreen",
             Equals(&M::webContentEvaluation, 0),
             {Set(&M::webContentEvaluation, 0)},
             {Remove(&M::webContentEvaluation)}},
            {"privacy.cortana",
             Equals(&M::allowCortana, 0),
             {Set(&M::allowCortana, 0)},
             {Remove(&M::allowCortana)}},
            {"privacy.input-personalization",
             Equals(&M::acceptedPrivacyPolicy, 0),
             {Set(&M::acceptedPrivacyPolicy, 0), Set(&M::restrictImplicitInkCollection, 1),
              Set(&M::restrictImplicitTextCollection, 1), Set(&M::harvestContacts, 0)},
             {Remove(&M::acceptedPrivacyPolicy), Remove(&M::restrictImplicitInkCollection),
              Remove(&M::restrictImplicitTextCollection), Remove(&M::harvestContacts)}},
            {"privacy.feedback-reminders",
             Equals(&M::feedbackCount, 0),
             {Set(&M::feedbackCount, 0), Set(&M::feedbackPeriod, 0)},
             {Remove(&M::feedbackCount), Remove(&M::feedbackPeriod)}},
            {"privacy.bing-search",
             Equals(&M::bingSearchEnabled, 0),
             {Set(&M::bingSearchEnabled, 0)},
             {Remove(&M::bingSearchEnabled)}},
            {"privacy.onedrive",
             NotZero(&M::disableOneDriveSync),
             {Set(&M::disableOneDriveSync, 1)},
             {Remove(&M::disableOneDriveSync)}},
        },
    };
    return catalogue;
}

} // namespace Tavrin::Core
