#pragma once
// Resource identifiers shared by the program, its resource script and the tests.
// Their columns stay as resource editors write them.
// clang-format off

#define IDR_MAINFRAME                     5

// Dialog templates.
#define IDD_TAVRIN_DIALOG                 102 // main window
#define IDD_SECURITY                      129 // security page
#define IDD_PRIVACY                       130 // privacy page
#define IDD_LOCATION                      131 // location page
#define IDD_THEME                         132 // theme page
#define IDD_PREWIN10                      134 // pre-upgrade dialog
#define IDD_SCAN                          135 // scan page
#define IDD_RESULTS                       136 // results page
#define IDD_COMPATIBILITY                 137 // compatibility page
#define IDD_RECLAMATION                   138 // reclamation page
#define IDD_BUTTON_HEADER                 139 // section header bar
#define IDD_PROFILES                      140 // profiles dialog
#define IDD_CHANGED_BACK                  145 // the settings Windows changed back

// Controls of the main window.
#define IDC_TITLE                         1003
#define IDC_BTN_SECURITY                  1032
#define IDC_BTN_PRIVACY                   1033
#define IDC_BTN_LOCATION                  1034
#define IDC_BTN_COMPATIBILITY             1035
#define IDC_BTN_THEMES                    1036
#define IDC_BTN_RECLAMATION               1021
#define IDC_ISSUES_NOTE                   1037
// "Undo all changes made by Tavrin", shown while there is something to undo.
#define IDC_UNDO_LINK                     1038
// "Profiles...", beside the undo link.
#define IDC_PROFILES_LINK                 1079

// Controls of the profiles dialog.
#define IDC_PROFILES_RECOMMENDED          1080
#define IDC_PROFILES_RECOMMENDED_TEXT     1081
#define IDC_PROFILES_STRICT               1082
#define IDC_PROFILES_STRICT_TEXT          1083
#define IDC_PROFILES_SAVE                 1084
#define IDC_PROFILES_OPEN                 1085
#define IDC_PROFILES_SUMMARY              1086
// "Windows changed back N of your settings", shown while some are.
#define IDC_CHANGED_BACK_LINK             1039
// The note a settings page shows while a change waits for the restore
// point, and its "Go on without it" button; made when first needed.
#define IDC_RESTORE_POINT_NOTE            1077
#define IDC_RESTORE_POINT_GO_ON           1078

// Controls of the list of the settings Windows changed back.
#define IDC_CHANGED_BACK_INTRO            1090
#define IDC_CHANGED_BACK_LIST             1091
#define IDC_APPLY_AGAIN                   1092
#define IDC_KEEP_AS_IS                    1093

// Controls of the security page.
#define IDC_SECURITY_INTRO                1058

// Controls of the privacy page.
#define IDC_PRIVACY_INTRO                 1069

// Controls of the location page.
#define IDC_LOCATION_INTRO                1058

// Controls of the theme page.
#define IDC_ACCENT_COLOR                  1014

// Controls of the pre-upgrade dialog.
#define IDC_START_SCAN                    1016

// Controls of the scan page.
#define IDC_STEP_FIRST                    1023
#define IDC_STEP_LAST                     1031

// Controls of the results page.
#define IDC_RESULT_TITLE                  1017
#define IDC_RESULT_SUBTITLE               1018
#define IDC_UPGRADE_NOW                   1019
#define IDC_DISCLAIMER                    1070

// Controls of the compatibility page.
#define IDC_LIST_DRIVERS                  1022
#define IDC_LIST_APPLICATIONS             1020
#define IDC_LIST_EXTENSIONS               1021
#define IDC_LABEL_DRIVERS                 1048
#define IDC_LABEL_APPLICATIONS            1049
#define IDC_LABEL_EXTENSIONS              1050

// Controls of the reclamation page.
#define IDC_CLEANUP_PROGRESS              1022
#define IDC_CLEANUP_START                 1021
#define IDC_CLEANUP_HEADING               1039
#define IDC_CLEANUP_WARNING               1040

// Controls of the section header bar.
#define IDC_HEADER_TITLE                  1042

// Check boxes and explanations of the security page.
#define IDC_SECURITY_PASSWORD_REVEAL      1000
#define IDC_SECURITY_PASSWORD_REVEAL_TEXT 1049
#define IDC_SECURITY_STEPS_RECORDER       1001
#define IDC_SECURITY_STEPS_RECORDER_TEXT  1050
#define IDC_SECURITY_TELEMETRY            1002
#define IDC_SECURITY_TELEMETRY_TEXT       1051
#define IDC_SECURITY_WIFI_SENSE           1003
#define IDC_SECURITY_WIFI_SENSE_TEXT      1054
#define IDC_SECURITY_WIFI_CONTACTS        1004
#define IDC_SECURITY_WIFI_CONTACTS_TEXT   1053
#define IDC_SECURITY_WIRELESS_ACCESS      1005
#define IDC_SECURITY_WIRELESS_ACCESS_TEXT 1052
#define IDC_SECURITY_LOOSELY_COUPLED      1006
#define IDC_SECURITY_LOOSELY_COUPLED_TEXT 1055
#define IDC_SECURITY_DRM_ONLINE           1007
#define IDC_SECURITY_DRM_ONLINE_TEXT      1056
#define IDC_SECURITY_PEER_UPDATES         1008
#define IDC_SECURITY_PEER_UPDATES_TEXT    1057

// Check boxes and explanations of the privacy page.
#define IDC_PRIVACY_HANDWRITING           1001
#define IDC_PRIVACY_HANDWRITING_TEXT      1050
#define IDC_PRIVACY_INVENTORY             1002
#define IDC_PRIVACY_INVENTORY_TEXT        1052
#define IDC_PRIVACY_LOGON_CAMERA          1003
#define IDC_PRIVACY_LOGON_CAMERA_TEXT     1051
#define IDC_PRIVACY_ADVERTISING_ID        1004
#define IDC_PRIVACY_ADVERTISING_ID_TEXT   1053
#define IDC_PRIVACY_ACCOUNT_INFO          1005
#define IDC_PRIVACY_ACCOUNT_INFO_TEXT     1054
#define IDC_PRIVACY_TYPING                1006
#define IDC_PRIVACY_TYPING_TEXT           1055
#define IDC_PRIVACY_NOTIFICATIONS         1007
#define IDC_PRIVACY_NOTIFICATIONS_TEXT    1056
#define IDC_PRIVACY_CALENDAR              1008
#define IDC_PRIVACY_CALENDAR_TEXT         1057
#define IDC_PRIVACY_CAMERA                1009
#define IDC_PRIVACY_CAMERA_TEXT           1058
#define IDC_PRIVACY_MICROPHONE            1010
#define IDC_PRIVACY_MICROPHONE_TEXT       1059
#define IDC_PRIVACY_MESSAGES              1011
#define IDC_PRIVACY_MESSAGES_TEXT         1060
#define IDC_PRIVACY_BIOMETRICS            1012
#define IDC_PRIVACY_BIOMETRICS_TEXT       1061
#define IDC_PRIVACY_BROWSER_LANGUAGE      1013
#define IDC_PRIVACY_BROWSER_LANGUAGE_TEXT 1062
#define IDC_PRIVACY_SMARTSCREEN           1014
#define IDC_PRIVACY_SMARTSCREEN_TEXT      1063
#define IDC_PRIVACY_CORTANA               1015
#define IDC_PRIVACY_CORTANA_TEXT          1064
#define IDC_PRIVACY_PERSONALIZATION       1016
#define IDC_PRIVACY_PERSONALIZATION_TEXT  1065
#define IDC_PRIVACY_FEEDBACK              1017
#define IDC_PRIVACY_FEEDBACK_TEXT         1066
#define IDC_PRIVACY_BING_SEARCH           1018
#define IDC_PRIVACY_BING_SEARCH_TEXT      1067
#define IDC_PRIVACY_ONEDRIVE              1019
#define IDC_PRIVACY_ONEDRIVE_TEXT         1068

// Check boxes and explanations of the location page.
#define IDC_LOCATION_LOCATE_SYSTEM        1004
#define IDC_LOCATION_LOCATE_SYSTEM_TEXT   1051
#define IDC_LOCATION_SENSORS              1005
#define IDC_LOCATION_SENSORS_TEXT         1069
#define IDC_LOCATION_GEOLOCATION          1006
#define IDC_LOCATION_GEOLOCATION_TEXT     1070
#define IDC_LOCATION_APP_ACCESS           1007
#define IDC_LOCATION_APP_ACCESS_TEXT      1071

// Check boxes and explanations of the theme page.
#define IDC_THEME_DARK_THEME              1006
#define IDC_THEME_DARK_THEME_TEXT         1052
#define IDC_THEME_VOLUME_CONTROL          1007
#define IDC_THEME_VOLUME_CONTROL_TEXT     1069
#define IDC_THEME_BATTERY_INDICATOR       1008
#define IDC_THEME_BATTERY_INDICATOR_TEXT  1070
#define IDC_THEME_ACTION_CENTER           1009
#define IDC_THEME_ACTION_CENTER_TEXT      1071
#define IDC_THEME_NETWORK_FLYOUT          1010
#define IDC_THEME_NETWORK_FLYOUT_TEXT     1072
#define IDC_THEME_LOGON_BACKGROUND        1011
#define IDC_THEME_LOGON_BACKGROUND_TEXT   1073
#define IDC_THEME_CLOCK_CALENDAR          1012
#define IDC_THEME_CLOCK_CALENDAR_TEXT     1074
#define IDC_THEME_START_MENU              1013
#define IDC_THEME_START_MENU_TEXT         1075
// Sits between the start-menu box and its explanation and has none of its own.
#define IDC_THEME_TRANSPARENT_START       1016
// The accent-colour group (with IDC_ACCENT_COLOR) is created hidden.
#define IDC_THEME_AUTO_ACCENT_COLOR       1015
#define IDC_THEME_AUTO_ACCENT_COLOR_TEXT  1076
