#pragma once
// The page classes the main window hosts for its Device & App Compatibility
// and Reclamation sections.
#include "ui/pages/CCompatibilityDlg.h"
#include "ui/pages/ReclamationDlg.h"

using CompatibilityPage = CCompatibilityDlg;
using ReclamationPage = CReclamationDlg;
