#pragma once
#include "core/settings/Location.h"
#include "ui/pages/SettingsPage.h"

extern template class CSettingsPage<Tavrin::Core::CLocation>;

// The Location section.
class CLocationDlg : public CSettingsPage<Tavrin::Core::CLocation> {
public:
    CLocationDlg();

    static const SettingsPageLayout kLayout;
};
