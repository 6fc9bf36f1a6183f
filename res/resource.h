#pragma once
// Resource identifiers shared by the program, its resource script and the tests.

#define IDR_MAINFRAME 5

// Dialog templates.
#define IDD_TAVRIN_DIALOG          102 // main window
#define IDD_SECURITY               129 // security page
#define IDD_PRIVACY                130 // privacy page
#define IDD_LOCATION               131 // location page
#define IDD_THEME                  132 // theme page
#define IDD_PREWIN10               134 // pre-upgrade dialog
#define IDD_SCAN                   135 // scan page
#define IDD_RESULTS                136 // results page
#define IDD_COMPATIBILITY          137 // compatibility page
#define IDD_RECLAMATION            138 // reclamation page
#define IDD_BUTTON_HEADER          139 // section header bar

// Controls of the main window.
#define IDC_TITLE                  1003
#define IDC_BTN_SECURITY           1032
#define IDC_BTN_PRIVACY            1033
#define IDC_BTN_LOCATION           1034
#define IDC_BTN_COMPATIBILITY      1035
#define IDC_BTN_THEMES             1036
#define IDC_BTN_RECLAMATION        1021
#define IDC_ISSUES_NOTE            1037
#define IDC_UNDO_LINK              1038 // "Undo all changes made by Tavrin", shown while there is something to undo

// Controls of the security page.
#define IDC_SECURITY_INTRO         1058

// Controls of the privacy page.
#define IDC_PRIVACY_INTRO          1069

// Controls of the location page.
#define IDC_LOCATION_INTRO         1058

// Controls of the theme page.
#define IDC_ACCENT_COLOR           1014

// Controls of the pre-upgrade dialog.
#define IDC_START_SCAN             1016

// Controls of the scan page.
#define IDC_STEP_FIRST             1023
#define IDC_STEP_LAST              1031

// Controls of the results page.
#define IDC_RESULT_TITLE           1017
#define IDC_RESULT_SUBTITLE        1018
#define IDC_UPGRADE_NOW            1019
#define IDC_DISCLAIMER             1070

// Controls of the compatibility page.
#define IDC_LIST_DRIVERS           1022
#define IDC_LIST_APPLICATIONS      1020
#define IDC_LIST_EXTENSIONS        1021
#define IDC_LABEL_DRIVERS          1048
#define IDC_LABEL_APPLICATIONS     1049
#define IDC_LABEL_EXTENSIONS       1050

// Controls of the reclamation page.
#define IDC_CLEANUP_PROGRESS       1022
#define IDC_CLEANUP_START          1021
#define IDC_CLEANUP_HEADING        1039
#define IDC_CLEANUP_WARNING        1040

// Controls of the section header bar.
#define IDC_HEADER_TITLE           1042

// The settings pages' check boxes and their explanations keep the plain
// numbers of their templates; the pages list them in their row tables.
