#include "core/settings/Presets.h"

#include "platform/Text.h"

namespace Tavrin::Core {

const std::vector<PresetRow>& RecommendedRows()
{
    static const std::vector<PresetRow> rows{
        {"privacy.handwriting-sharing", ""},   {"privacy.inventory-collector", ""},
        {"privacy.advertising-id", ""},        {"privacy.typing-info", ""},
        {"privacy.browser-language", ""},      {"privacy.input-personalization", ""},
        {"privacy.feedback-reminders", ""},    {"security.telemetry-service", ""},
        {"security.wifi-sense", ""},           {"security.wifi-sense-contacts", ""},
        {"security.peer-to-peer-updates", ""},
    };
    return rows;
}

const std::vector<PresetRow>& StrictAdditions()
{
    static const std::vector<PresetRow> rows{
        {"privacy.lock-screen-camera", "The camera can no longer be used from the lock screen."},
        {"privacy.account-info", "Apps can no longer read the account's name, picture and details."},
        {"privacy.app-notifications", "Apps no longer show notifications."},
        {"privacy.calendar", "Apps can no longer read or add appointments."},
        {"privacy.camera", "Apps, video calls included, can no longer use the camera."},
        {"privacy.microphone", "Apps, voice calls and dictation included, can no longer use the microphone."},
        {"privacy.messages", "Apps can no longer read or send text messages."},
        {"privacy.biometrics", "Windows Hello sign-in by face or fingerprint stops working."},
        {"privacy.smartscreen", "Web pages that apps open are no longer checked by SmartScreen."},
        {"privacy.cortana", "Cortana is switched off."},
        {"privacy.bing-search", "Search from the taskbar no longer shows web results."},
        {"privacy.onedrive", "OneDrive no longer syncs files."},
        {"security.password-reveal", "Password boxes lose the button that shows what was typed."},
        {"security.steps-recorder", "Steps Recorder can no longer record a problem for support."},
        {"security.wireless-access", "Apps can no longer switch Wi-Fi, Bluetooth or mobile radios."},
        {"security.loosely-coupled-devices",
         "Apps can no longer reach devices that are not paired, such as TVs."},
        {"security.drm-online", "Protected music and videos that need an online licence may not play."},
        {"location.locate-system", "Windows and apps can no longer find the PC's location."},
        {"location.sensors", "Sensors such as GPS and the light sensor are switched off."},
        {"location.geolocation-service", "The location service stops: maps and weather lose the position."},
        {"location.app-access", "Apps can no longer ask for the location."},
    };
    return rows;
}

const wchar_t* PresetDescription(Preset preset)
{
    switch (preset) {
    case Preset::Recommended:
        return L"Stops Windows sending your data away, without taking away anything you rely on.";
    case Preset::Strict:
        return L"Also keeps apps from your camera, microphone, location and more: some features stop "
               L"working.";
    case Preset::Defaults:
        break;
    }
    return L"Puts every page back to the Windows defaults.";
}

std::optional<Preset> FindPreset(const std::wstring& name)
{
    using Platform::EqualsIgnoreCase;
    if (EqualsIgnoreCase(name, L"recommended"))
        return Preset::Recommended;
    if (EqualsIgnoreCase(name, L"strict"))
        return Preset::Strict;
    if (EqualsIgnoreCase(name, L"defaults"))
        return Preset::Defaults;
    return std::nullopt;
}

std::vector<SettingRequest> PresetRequests(Preset preset)
{
    std::vector<SettingRequest> requests;
    if (preset == Preset::Defaults)
        return requests;
    for (const PresetRow& row : RecommendedRows())
        requests.push_back({row.name, true});
    if (preset == Preset::Strict)
        for (const PresetRow& row : StrictAdditions())
            requests.push_back({row.name, true});
    return requests;
}

} // namespace Tavrin::Core
