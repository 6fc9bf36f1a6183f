#pragma once
#include "core/settings/Security.h"
#include "ui/pages/SettingsPage.h"

extern template class CSettingsPage<Tavrin::Core::CSecurity>;

// The Security section. Every click on one of its boxes asks for a restart of
// Windows (the catalogue's rows say so); the reset does not.
class CSecurityDlg : public CSettingsPage<Tavrin::Core::CSecurity> {
public:
    CSecurityDlg();

    static const SettingsPageLayout kLayout;
};
