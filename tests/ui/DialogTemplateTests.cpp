#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resource.h"

namespace {

// Kinds of controls the templates use, as the dialog manager sees them.
enum class Kind { Text, Push, DefaultPush, AutoCheck, ListView, MarqueeProgress, Link };

struct ExpectedControl {
    int id;
    Kind kind;
    const wchar_t* text;
    short x, y, cx, cy;
    bool visible;
};

struct ExpectedTemplate {
    int id;
    DWORD style;
    DWORD exStyle;
    short cx, cy;
    const wchar_t* caption;
    std::vector<ExpectedControl> controls;
};

const DWORD kChild = DS_SETFONT | DS_FIXEDSYS | WS_CHILD | WS_SYSMENU;
const DWORD kPopup = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

// Every template of the program, control by control, in template order.
const std::vector<ExpectedTemplate>& Templates()
{
    static const std::vector<ExpectedTemplate> templates = {
        {102,
         kPopup,
         WS_EX_APPWINDOW,
         655,
         369,
         L"Orvane Tools",
         {
             {1003, Kind::Text, L"Windows 10 Settings", 64, 124, 304, 23, true},
             {1032, Kind::Push, L"Security", 424, 155, 132, 56, true},
             {1033, Kind::DefaultPush, L"Privacy", 99, 156, 132, 56, true},
             {1034, Kind::Push, L"Location", 261, 156, 132, 56, true},
             {1035, Kind::Push, L"Device & App Compatibility", 424, 245, 132, 56, true},
             {1036, Kind::Push, L"Theme", 99, 245, 132, 56, true},
             {1021, Kind::Push, L"Reclamation", 261, 245, 132, 56, true},
             {1037, Kind::Text, L"Review and fix detected issues", 64, 336, 534, 19, true},
             {1038, Kind::Link, L"<a>Undo all changes made by Tavrin</a>", 400, 135, 156, 12, false},
             {1079, Kind::Link, L"<a>Profiles...</a>", 340, 135, 50, 12, true},
             {1039, Kind::Link, L"", 64, 318, 300, 12, false},
         }},
        {129,
         kChild,
         0,
         785,
         399,
         L"",
         {
             {1058, Kind::Text,
              L"The following settings can be activated or deactivated, depending on your security "
              L"preferences. Deactivation of settings can affect some of the functions within Windows 10.",
              40, 104, 587, 13, true},
             {2, Kind::Push, L"Reset to Windows Defaults", 467, 121, 102, 20, true},
             {1, Kind::Push, L"Done", 574, 121, 56, 20, true},
             {1000, Kind::AutoCheck, L"Disable Password Reveal", 58, 124, 257, 15, true},
             {1049, Kind::Text,
              L"This button appears in the password field of any Windows 10 app, login screen or website. It "
              L"will momentarily reveal your password when clicked.",
              64, 137, 255, 19, true},
             {1001, Kind::AutoCheck, L"Disable User Steps Recorder", 58, 162, 257, 15, true},
             {1050, Kind::Text,
              L"A key logger, screen capture and annotation tool that tracks every action taken on your "
              L"computer. Often used for troubleshooting, this is a manual tool that does not collect or "
              L"send information automatically.",
              64, 174, 255, 28, true},
             {1002, Kind::AutoCheck, L"Disable Telemetry", 58, 208, 257, 15, true},
             {1051, Kind::Text,
              L"Microsoft collects information on your computer and automatically uploads of data and "
              L"feedback reports to Microsoft about the operating system, for improvement purposes.",
              64, 220, 255, 28, true},
             {1003, Kind::AutoCheck, L"Disable Wifi Sense", 58, 253, 257, 15, true},
             {1054, Kind::Text,
              L"Automatically connects you to available Wi-Fi networks and open Wi-Fi hotspots without "
              L"requesting permission or checking for a secure connection.",
              64, 265, 255, 19, true},
             {1004, Kind::AutoCheck, L"Disable Wifi Sense for my Contacts", 58, 289, 257, 15, true},
             {1053, Kind::Text,
              L"Automatically shares access to your Wi-Fi network with your Facebook, Outlook and Skype "
              L"contacts by gathering data from your Contacts database. Wi-Fi Sense stores your network "
              L"password, but does not share it.",
              64, 302, 255, 32, true},
             {1005, Kind::AutoCheck, L"Disable App access to Wireless connections", 343, 153, 257, 15, true},
             {1052, Kind::Text,
              L"Applications are given permission to access your wireless connection, when an internet "
              L"connection is required for the app to perform its intended actions.",
              349, 166, 255, 19, true},
             {1006, Kind::AutoCheck, L"Disable App access to Loosely Coupled Devices", 343, 192, 257, 15,
              true},
             {1055, Kind::Text,
              L"Applications are given permission to access devices, such as your printer, when those "
              L"devices are required for the app to perform its intended actions.",
              349, 205, 255, 19, true},
             {1007, Kind::AutoCheck, L"Disable Internet access of Windows Media Digital rights management",
              343, 230, 257, 15, true},
             {1056, Kind::Text,
              L"Windows Media uses an Internet connection to apply a \u201CDRM\u201D protection to certain "
              L"music and video files. This protection ensures that these files can only be played "
              L"authorized devices, with a risk of limiting the use of the files.",
              349, 244, 255, 29, true},
             {1008, Kind::AutoCheck, L"Disable Windows Update VIA Peer-to-peer", 343, 276, 257, 15, true},
             {1057, Kind::Text,
              L"With peer-to-peer, your updates and apps can be downloaded from other PCs, and your PC is "
              L"able to send updates and apps to other PCs on your local network or over the Internet.",
              349, 290, 255, 29, true},
         }},
        {130,
         kChild | WS_CLIPSIBLINGS,
         0,
         781,
         409,
         L"",
         {
             {1069, Kind::Text,
              L"The following settings can be activated or deactivated, depending on your privacy "
              L"preferences. Deactivation of settings can affect some of the functions within Windows 10.",
              39, 104, 587, 13, true},
             {2, Kind::Push, L"Reset to Windows Defaults", 461, 121, 102, 20, true},
             {1, Kind::Push, L"Done", 568, 121, 56, 20, true},
             {1001, Kind::AutoCheck, L"Disable Sharing of Handwriting data", 43, 132, 255, 10, true},
             {1050, Kind::Text,
              L"Windows 10 will collect and analyze data from your handwriting patterns, when using the "
              L"handwriting input panel on your tablet or touchscreen.",
              49, 142, 255, 19, true},
             {1002, Kind::AutoCheck, L"Disable Inventory Collector", 43, 165, 255, 10, true},
             {1052, Kind::Text,
              L"Primarily used in company networks, this function enables an overview of all installed "
              L"Applications, devices and system information of all computers in the network.",
              49, 175, 255, 26, true},
             {1003, Kind::AutoCheck, L"Disable Camera In Logon Screen", 43, 206, 255, 10, true},
             {1051, Kind::Text,
              L"Windows 10 allows anyone using your computer to operate the camera app directly from the "
              L"locked screen of your PC.",
              49, 216, 255, 18, true},
             {1004, Kind::AutoCheck, L"Disable and Reset Advertising Id and Info", 43, 239, 255, 10, true},
             {1053, Kind::Text,
              L"Windows 10 generates a unique advertising ID for each user that app developers and ad "
              L"networks can use to serve you ads based on how you use your PC.",
              49, 249, 255, 28, true},
             {1005, Kind::AutoCheck, L"Disable App Access to User Account Information", 43, 280, 255, 10,
              true},
             {1054, Kind::Text,
              L"Applications are given permission to access the name and picture you provided in your "
              L"Windows 10 account when it is required for the app to perform its intended actions.",
              49, 290, 255, 28, true},
             {1006, Kind::AutoCheck, L"Disable Transmission of Typing Information", 43, 321, 255, 10, true},
             {1055, Kind::Text,
              L"Microsoft tracks and records your keystrokes using key logging software for improvement "
              L"purposes. The type and anonymity of data tracked is unclear at this point.",
              49, 331, 255, 26, true},
             {1007, Kind::AutoCheck, L"Disable App Notifications", 43, 362, 255, 10, true},
             {1056, Kind::Text,
              L"The Action Center collects and shows you notifications and alerts from all Windows and "
              L"third-party apps you run on your PC. You will not receive any reminders or alerts from your "
              L"apps on their tiles, the locked screen or desktop.",
              49, 372, 255, 29, true},
             {1008, Kind::AutoCheck, L"Disable App Access to Calendar", 43, 403, 255, 10, true},
             {1057, Kind::Text,
              L"Applications are given permission to access your calendar and its data, when it is required "
              L"for the app to perform its intended actions.",
              49, 413, 255, 19, true},
             {1009, Kind::AutoCheck, L"Disable App Access to Camera", 43, 436, 255, 10, true},
             {1058, Kind::Text,
              L"Applications (such as Edge, Facebook, Twitter and Skype) are given permission to access your "
              L"computer\u2019s camera, when it is required for the app to perform its intended actions.",
              49, 446, 255, 27, true},
             {1010, Kind::AutoCheck, L"Disable App Access to Microphone", 43, 477, 255, 10, true},
             {1059, Kind::Text,
              L"Applications are given permission to access your microphone, which it is required for the "
              L"app to perform its intended actions.",
              49, 487, 255, 21, true},
             {1011, Kind::AutoCheck, L"Disable App Access to Messages", 324, 144, 204, 10, true},
             {1060, Kind::Text,
              L"Apps are denied access to your notifications, emails, and messages if this access is "
              L"disabled. This may lead to Messenger or Email apps not working correctly.",
              330, 154, 255, 28, true},
             {1012, Kind::AutoCheck, L"Disable Biometrical Features", 324, 185, 204, 10, true},
             {1061, Kind::Text,
              L"Windows Hello includes the ability to scan your face, iris or fingerprint and use the data "
              L"to unlock your devices. Hardware that uses fingerprint scan, facial recognition or iris scan "
              L"also uses these features.",
              330, 195, 255, 28, true},
             {1013, Kind::AutoCheck, L"Disable access to Local Language for Browsers", 324, 226, 204, 10,
              true},
             {1062, Kind::Text,
              L"Allows your Internet browser to read which language your system uses, and provide locally "
              L"relevant content.",
              330, 236, 255, 20, true},
             {1014, Kind::AutoCheck, L"Disable Smart Screen FIlter for URL's", 324, 259, 204, 10, true},
             {1063, Kind::Text,
              L"SmartScreen sends URLs you visit in Windows Store apps to Microsoft to verify they are safe "
              L"to access. It also analyzes download files, and warns you if they are potentially harmful. "
              L"In doing so, it does track your online surfing behavior.",
              330, 269, 255, 38, true},
             {1015, Kind::AutoCheck, L"Disable Cortana Reset", 324, 308, 204, 10, true},
             {1064, Kind::Text,
              L"Microsoft collects data about you, your location, contacts, calendar, email and language "
              L"patterns to enable Cortana, a digital personal assistant. The reset function erases any data "
              L"Cortana has collected to date.",
              330, 318, 255, 28, true},
             {1016, Kind::AutoCheck, L"Disable Input Personalization", 324, 349, 204, 10, true},
             {1065, Kind::Text,
              L"This function is required for Cortana. It will send personal data, like voice, handwriting "
              L"and keyboard entries to Microsoft. If you do not intend to activate Cortana, then this "
              L"function can be disabled.",
              330, 359, 255, 28, true},
             {1017, Kind::AutoCheck, L"Disable Feedback Reminders", 324, 390, 204, 10, true},
             {1066, Kind::Text,
              L"Microsoft will occasionally prompt you with notification reminders to send feedback, "
              L"including diagnostics and user data.",
              330, 400, 255, 20, true},
             {1018, Kind::AutoCheck, L"Disable Windows 10 Search Extension with Bing", 324, 423, 204, 10,
              true},
             {1067, Kind::Text,
              L"Windows 10 automatically sends your Start Menu searches to their servers to give you results "
              L"from Bing web search.",
              330, 433, 255, 20, true},
             {1019, Kind::AutoCheck, L"Disable One Drive", 324, 456, 204, 10, true},
             {1068, Kind::Text,
              L"OneDrive backs up your files and saves a copy of each in a cloud-based storage account that "
              L"you can access from any of your devices. If you do not want to use OneDrive, you can "
              L"deactivate it here.",
              330, 466, 255, 28, true},
         }},
        {131,
         kChild,
         0,
         715,
         355,
         L"",
         {
             {1058, Kind::Text,
              L"The following settings can be activated or deactivated, depending on your location "
              L"preferences. Deactivation of settings can affect some of the functions within Windows 10.",
              36, 104, 587, 13, true},
             {2, Kind::Push, L"Reset to Windows Defaults", 468, 121, 102, 20, true},
             {1, Kind::Push, L"Done", 575, 121, 56, 20, true},
             {1004, Kind::AutoCheck, L"Disable Funtionality to Locate the System", 66, 155, 148, 10, true},
             {1051, Kind::Text,
              L"Apps and services you allow can request location and location history. They might use this "
              L"information to show you results based on your location.",
              72, 166, 255, 18, true},
             {1005, Kind::AutoCheck, L"Disable sensors for Locating the System", 66, 191, 143, 10, true},
             {1069, Kind::Text,
              L"The GPS receivers used to communicate your location to apps and services can be deactivated "
              L"here.",
              72, 201, 255, 18, true},
             {1006, Kind::AutoCheck, L"Disable Windows GeoLocation Service", 66, 226, 136, 10, true},
             {1070, Kind::Text,
              L"This service manages the current location of your system and defines the geographical "
              L"boundaries of your system for your apps and services.",
              72, 236, 255, 18, true},
             {1007, Kind::AutoCheck, L"Disable Application Access to your location", 66, 259, 151, 10, true},
             {1071, Kind::Text,
              L"Applications are given permission to detect and record your physical location, when it is "
              L"required for the app to perform actions like delivering content in your language or "
              L"delivering local content.",
              72, 271, 255, 27, true},
         }},
        {132,
         kChild,
         0,
         694,
         396,
         L"",
         {
             {1006, Kind::AutoCheck, L"Enable Dark Theme", 55, 164, 234, 10, true},
             {1052, Kind::Text,
              L"Windows 10 has an optional dark theme that changes the default color of window backgrounds "
              L"and title bars from white to black. ",
              61, 176, 255, 19, true},
             {1007, Kind::AutoCheck, L"Disable Windows 10 Volume Control", 55, 201, 234, 10, true},
             {1069, Kind::Text,
              L"The updated Volume Control is a horizontal volume slider bar, instead of the previous "
              L"vertical version. ",
              61, 213, 255, 19, true},
             {1008, Kind::AutoCheck, L"Disable Windows 10 Battery Indicator", 55, 237, 234, 10, true},
             {1070, Kind::Text,
              L"The updated Battery Indicator features a more detailed analysis of battery life and power "
              L"saving options. ",
              61, 249, 255, 19, true},
             {1009, Kind::AutoCheck, L"Disable Windows 10 Action Center Sidebar", 55, 274, 234, 10, true},
             {1071, Kind::Text,
              L"The Action Center is a vertical desktop sidebar that delivers notifications and access to "
              L"functions and settings. ",
              61, 285, 255, 19, true},
             {1010, Kind::AutoCheck, L"Disable Windows 10 Network Flyout", 55, 309, 234, 10, true},
             {1072, Kind::Text, L"The updated Network Flyout features different colors and icons. ", 61, 320,
              255, 11, true},
             {1011, Kind::AutoCheck, L"Disable Windows 10 Default Logon Screen Background Image", 360, 185,
              234, 10, true},
             {1073, Kind::Text,
              L"Once default is disabled, you are able to change the screen background image you see on "
              L"login. ",
              366, 197, 255, 18, true},
             {1012, Kind::AutoCheck, L"Disable Windows 10 Clock and Calendar version", 360, 221, 234, 10,
              true},
             {1074, Kind::Text,
              L"The updated Clock and Calendar features larger calendar and digital time fonts, but removes "
              L"the analog clock face. ",
              366, 233, 255, 18, true},
             {1013, Kind::AutoCheck, L"Disable Windows 10 Start Menu", 360, 256, 234, 10, true},
             {1016, Kind::AutoCheck, L"Make Start Menu Transparent", 360, 268, 234, 10, true},
             {1075, Kind::Text,
              L"The updated Start Menu integrates features from both Windows 7 and Windows 8, and comes with "
              L"many custom options. ",
              366, 280, 255, 18, true},
             {1015, Kind::AutoCheck, L"Automatically Choose an Accent Color from my Background", 360, 304,
              272, 10, false},
             {1076, Kind::Text,
              L"You can set a color of your choice, other than default black, or configure the taskbar to "
              L"use a color to match the wallpaper. ",
              366, 316, 255, 18, false},
             {-1, Kind::Text, L"Choose your Accent Color:", 387, 341, 102, 8, false},
             {1014, Kind::Push, L"", 492, 338, 50, 14, false},
             {2, Kind::Push, L"Reset to Windows Defaults", 467, 158, 102, 20, true},
             {1, Kind::Push, L"Done", 574, 158, 56, 20, true},
         }},
        {134,
         kPopup,
         0,
         653,
         359,
         L"Orvane Tools",
         {
             {1016, Kind::Push, L"Start Scan", 284, 214, 76, 30, true},
         }},
        {135,
         kChild,
         0,
         543,
         385,
         L"",
         {
             {1023, Kind::Text, L"Windows System Requirments", 142, 114, 174, 15, true},
             {1024, Kind::Text, L"Ram Requirments", 142, 133, 174, 15, true},
             {1025, Kind::Text, L"Hard Drive Space requirments", 142, 152, 174, 15, true},
             {1026, Kind::Text, L"Graphics Card requirments", 142, 171, 174, 15, true},
             {1027, Kind::Text, L"Display requirments", 142, 190, 174, 15, true},
             {1028, Kind::Text, L"Processor requirments", 142, 209, 174, 15, true},
             {1029, Kind::Text, L"Recording Application Information", 142, 228, 174, 15, true},
             {1030, Kind::Text, L"Recording Installed Devices", 142, 247, 174, 15, true},
             {1031, Kind::Text, L"Recording File Extension Associations", 142, 266, 247, 15, true},
         }},
        {136,
         kChild,
         0,
         562,
         445,
         L"",
         {
             {1017, Kind::Text, L"Title", 53, 124, 417, 21, true},
             {1018, Kind::Text, L"Sub Title", 141, 161, 410, 31, true},
             {1019, Kind::Push, L"Upgrade Now", 193, 273, 67, 20, true},
             {1070, Kind::Text, L"Static", 114, 303, 437, 122, true},
         }},
        {137,
         kChild,
         0,
         779,
         431,
         L"",
         {
             {1, Kind::Push, L"Done", 565, 101, 56, 20, true},
             {1022, Kind::ListView, L"", 58, 90, 480, 73, true},
             {1020, Kind::ListView, L"", 58, 209, 480, 73, true},
             {1021, Kind::ListView, L"", 58, 321, 480, 73, true},
             {1048, Kind::Text, L"The following drivers were not installed:", 59, 74, 474, 8, true},
             {1049, Kind::Text, L"The following applications were removed:", 61, 190, 474, 8, true},
             {1050, Kind::Text, L"The following extension were re-associated, you can relink them below:", 63,
              303, 474, 8, true},
         }},
        {138,
         kChild,
         0,
         781,
         412,
         L"",
         {
             {1022, Kind::MarqueeProgress, L"", 75, 191, 249, 14, true},
             {1021, Kind::Push, L"Clean my System now", 145, 214, 105, 24, true},
             {1039, Kind::Text, L"Disk Cleanup", 52, 134, 159, 16, true},
             {1040, Kind::Text,
              L"Warning and disclaimer - this process cannot be stopped or undone. Ensure that your windows "
              L"upgrade is functioning as desired before proceeding.",
              72, 160, 445, 21, true},
             {1, Kind::Push, L"Done", 574, 108, 56, 20, true},
         }},
        {139,
         kChild,
         0,
         321,
         29,
         L"",
         {
             {1, Kind::Push, L"OK", 264, 7, 50, 14, true},
             {1042, Kind::Text, L"Static", 7, 7, 255, 15, true},
         }},
        {140,
         kPopup,
         0,
         320,
         176,
         L"Profiles",
         {
             {1080, Kind::Push, L"Apply &Recommended", 16, 16, 96, 14, true},
             {1081, Kind::Text, L"", 120, 16, 184, 26, true},
             {1082, Kind::Push, L"Apply &Strict", 16, 48, 96, 14, true},
             {1083, Kind::Text, L"", 120, 48, 184, 26, true},
             {1084, Kind::Push, L"Sa&ve current settings...", 16, 82, 112, 14, true},
             {1085, Kind::Push, L"&Apply a profile...", 136, 82, 112, 14, true},
             {1086, Kind::Text, L"", 16, 104, 288, 44, true},
             {2, Kind::DefaultPush, L"Close", 254, 154, 50, 14, true},
         }},
        {145,
         kPopup,
         0,
         430,
         224,
         L"Orvane Tools",
         {
             {1090, Kind::Text,
              L"Windows changed these settings back after you chose them in Tavrin. Apply the ticked ones "
              L"again, "
              L"or keep them as they are now.",
              14, 12, 402, 20, true},
             {1091, Kind::ListView, L"", 14, 36, 402, 150, true},
             {1092, Kind::DefaultPush, L"Apply again", 196, 196, 70, 16, true},
             {1093, Kind::Push, L"Keep as it is now", 270, 196, 86, 16, true},
             {2, Kind::Push, L"Close", 360, 196, 56, 16, true},
         }},
    };
    return templates;
}

// One control of a parsed extended dialog template.
struct ParsedControl {
    DWORD exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    WORD classAtom = 0; // predefined class ordinal, 0 when named
    std::wstring className, text;
};

struct ParsedTemplate {
    WORD version = 0, signature = 0;
    DWORD exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    bool hasMenu = false, hasClass = false;
    std::wstring caption, face;
    WORD pointSize = 0;
    std::vector<ParsedControl> controls;
};

// Reads the layout of DLGTEMPLATEEX and its DLGITEMTEMPLATEEX entries, never
// beyond the resource's size.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    bool Parse(ParsedTemplate& out)
    {
        out.version = Word();
        out.signature = Word();
        Dword(); // help context
        out.exStyle = Dword();
        out.style = Dword();
        const WORD count = Word();
        out.x = Short();
        out.y = Short();
        out.cx = Short();
        out.cy = Short();
        WORD atom = 0;
        std::wstring name;
        SzOrOrd(atom, name);
        out.hasMenu = atom != 0 || !name.empty();
        SzOrOrd(atom, name);
        out.hasClass = atom != 0 || !name.empty();
        out.caption = Sz();
        if (out.style & DS_SETFONT) {
            out.pointSize = Word();
            Word(); // weight
            Byte(); // italic
            Byte(); // character set
            out.face = Sz();
        }
        for (WORD i = 0; i < count && m_ok; ++i) {
            Align(4);
            ParsedControl control;
            Dword(); // help context
            control.exStyle = Dword();
            control.style = Dword();
            control.x = Short();
            control.y = Short();
            control.cx = Short();
            control.cy = Short();
            control.id = static_cast<int>(Dword());
            SzOrOrd(control.classAtom, control.className);
            WORD textAtom = 0;
            SzOrOrd(textAtom, control.text);
            const WORD extra = Word();
            Skip(extra);
            out.controls.push_back(control);
        }
        return m_ok;
    }

private:
    bool Need(size_t n)
    {
        if (m_pos + n > m_size)
            m_ok = false;
        return m_ok;
    }
    BYTE Byte() { return Need(1) ? m_data[m_pos++] : 0; }
    WORD Word()
    {
        WORD value = 0;
        if (Need(2))
            std::memcpy(&value, m_data + m_pos, 2), m_pos += 2;
        return value;
    }
    DWORD Dword()
    {
        DWORD value = 0;
        if (Need(4))
            std::memcpy(&value, m_data + m_pos, 4), m_pos += 4;
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    std::wstring Sz()
    {
        std::wstring text;
        for (WORD c = Word(); m_ok && c != 0; c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    void SzOrOrd(WORD& atom, std::wstring& name)
    {
        atom = 0;
        name.clear();
        const WORD first = Word();
        if (first == 0xFFFF) {
            atom = Word();
        } else if (first != 0) {
            name += static_cast<wchar_t>(first);
            name += Sz();
        }
    }
    void Skip(size_t n)
    {
        if (Need(n))
            m_pos += n;
    }
    void Align(size_t n) { m_pos = (m_pos + n - 1) / n * n; }

    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

bool LoadTemplate(int id, ParsedTemplate& parsed)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!found)
        return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return false;
    TemplateReader reader(static_cast<const BYTE*>(data), ::SizeofResource(module, found));
    return reader.Parse(parsed);
}

const WORD kButtonAtom = 0x80, kStaticAtom = 0x82;

void ExpectKind(const ParsedControl& control, Kind kind)
{
    const DWORD type = control.style & 0x0F;
    switch (kind) {
    case Kind::Text:
        EXPECT_EQ(control.classAtom, kStaticAtom);
        EXPECT_EQ(control.style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
        break;
    case Kind::Push:
        EXPECT_EQ(control.classAtom, kButtonAtom);
        EXPECT_EQ(type, static_cast<DWORD>(BS_PUSHBUTTON));
        break;
    case Kind::DefaultPush:
        EXPECT_EQ(control.classAtom, kButtonAtom);
        EXPECT_EQ(type, static_cast<DWORD>(BS_DEFPUSHBUTTON));
        break;
    case Kind::AutoCheck:
        EXPECT_EQ(control.classAtom, kButtonAtom);
        EXPECT_EQ(type, static_cast<DWORD>(BS_AUTOCHECKBOX));
        EXPECT_TRUE(control.style & WS_TABSTOP);
        break;
    case Kind::ListView:
        // Class names are not case-sensitive; resource compilers may upper-case them.
        EXPECT_EQ(_wcsicmp(control.className.c_str(), WC_LISTVIEWW), 0) << control.className;
        EXPECT_EQ(control.style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
        break;
    case Kind::MarqueeProgress:
        EXPECT_EQ(_wcsicmp(control.className.c_str(), PROGRESS_CLASSW), 0) << control.className;
        EXPECT_TRUE(control.style & PBS_MARQUEE);
        EXPECT_TRUE(control.style & WS_BORDER);
        break;
    case Kind::Link:
        EXPECT_EQ(_wcsicmp(control.className.c_str(), WC_LINK), 0) << control.className;
        EXPECT_TRUE(control.style & WS_TABSTOP);
        break;
    }
    EXPECT_TRUE(control.style & WS_CHILD);
}

class DialogTemplate : public ::testing::TestWithParam<size_t> {};

} // namespace

TEST_P(DialogTemplate, MatchesItsTable)
{
    const ExpectedTemplate& expected = Templates()[GetParam()];
    SCOPED_TRACE("template " + std::to_string(expected.id));
    ParsedTemplate parsed;
    ASSERT_TRUE(LoadTemplate(expected.id, parsed));
    EXPECT_EQ(parsed.version, 1);
    EXPECT_EQ(parsed.signature, 0xFFFF);
    EXPECT_EQ(parsed.style, expected.style);
    EXPECT_EQ(parsed.exStyle, expected.exStyle);
    EXPECT_EQ(parsed.x, 0);
    EXPECT_EQ(parsed.y, 0);
    EXPECT_EQ(parsed.cx, expected.cx);
    EXPECT_EQ(parsed.cy, expected.cy);
    EXPECT_FALSE(parsed.hasMenu);
    EXPECT_FALSE(parsed.hasClass);
    EXPECT_EQ(parsed.caption, expected.caption);
    EXPECT_EQ(parsed.face, L"MS Shell Dlg");
    EXPECT_EQ(parsed.pointSize, 8);

    ASSERT_EQ(parsed.controls.size(), expected.controls.size());
    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const ExpectedControl& want = expected.controls[i];
        const ParsedControl& got = parsed.controls[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ((got.style & WS_VISIBLE) != 0, want.visible);
        EXPECT_EQ(got.exStyle, 0u);
        ExpectKind(got, want.kind);
    }
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

TEST_P(DialogTemplate, CreatesARealDialogWithItsControls)
{
    const ExpectedTemplate& expected = Templates()[GetParam()];
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    ASSERT_TRUE(::InitCommonControlsEx(&classes));
    // Pages are children: give them a top-level window to live in.
    HWND host = nullptr;
    if (expected.style & WS_CHILD) {
        host = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 1600, 1000, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(host, nullptr);
    }
    HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(expected.id), host,
                                       QuietDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    for (const ExpectedControl& control : expected.controls) {
        if (control.id == -1)
            continue;
        HWND item = ::GetDlgItem(dialog, control.id);
        ASSERT_NE(item, nullptr) << control.id;
        EXPECT_EQ((::GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) != 0, control.visible) << control.id;
    }
    // The size in pixels follows from the dialog units and the template's font.
    RECT units = {0, 0, expected.cx, expected.cy};
    ASSERT_TRUE(::MapDialogRect(dialog, &units));
    RECT client = {};
    ::GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);
    std::printf("template %d: %ld x %ld pixels\n", expected.id, client.right, client.bottom);
    ::DestroyWindow(dialog);
    if (host)
        ::DestroyWindow(host);
}

INSTANTIATE_TEST_SUITE_P(AllTemplates, DialogTemplate, ::testing::Range<size_t>(0, 13),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return "Template" + std::to_string(Templates()[info.param].id);
                         });

TEST(DialogTemplates, EveryTemplateIsListedOnce)
{
    std::vector<int> ids;
    for (const ExpectedTemplate& t : Templates())
        ids.push_back(t.id);
    EXPECT_EQ(ids, (std::vector<int>{IDD_TAVRIN_DIALOG, IDD_SECURITY, IDD_PRIVACY, IDD_LOCATION, IDD_THEME,
                                     IDD_PREWIN10, IDD_SCAN, IDD_RESULTS, IDD_COMPATIBILITY, IDD_RECLAMATION,
                                     IDD_BUTTON_HEADER, IDD_PROFILES, IDD_CHANGED_BACK}));
    EXPECT_EQ(ids, (std::vector<int>{102, 129, 130, 131, 132, 134, 135, 136, 137, 138, 139, 140, 145}));
}

TEST(DialogTemplates, ReaderRejectsATruncatedTemplate)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDD_SECURITY), MAKEINTRESOURCEW(5));
    ASSERT_NE(found, nullptr);
    const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    ParsedTemplate whole, cut;
    EXPECT_TRUE(TemplateReader(data, ::SizeofResource(module, found)).Parse(whole));
    EXPECT_FALSE(TemplateReader(data, ::SizeofResource(module, found) / 2).Parse(cut));
}
