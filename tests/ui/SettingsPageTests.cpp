#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <set>
#include <string>
#include <type_traits>

#include "core/settings/ChangeJournal.h"
#include "core/settings/RestorePoint.h"
#include "framework/CMFCVisualManager.h"
#include "platform/RegKey.h"
#include "platform/UniqueHandle.h"
#include "res/resource.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/PageHostSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/controls/PageDrawing.h"
#include "ui/pages/LocationDlg.h"
#include "ui/pages/PrivacyDlg.h"
#include "ui/pages/SecurityDlg.h"
#include "ui/pages/ThemeDlg.h"

using namespace Tavrin::Test;
using Tavrin::Core::CatalogueOf;
using Tavrin::Core::CLocation;
using Tavrin::Core::CPrivacy;
using Tavrin::Core::CSecurity;
using Tavrin::Core::CThemeSettings;
using Tavrin::Core::SettingStep;

namespace {

const COLORREF kPageBlue = ToColorRef(PageColors::kBlue);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);

// What each page should show and do, written out by hand rather than taken
// from the catalogues the pages read.
template <typename Page> struct Expected;
template <> struct Expected<CPrivacyDlg> {
    static constexpr const wchar_t* kName = L"Privacy";
    static std::set<int> TickedOnEmptyRegistry() { return {IDC_PRIVACY_FEEDBACK}; }
    static std::set<int> AskingRestart() { return {}; }
    static std::set<int> PolicyBound() { return {IDC_PRIVACY_ACCOUNT_INFO}; }
    static constexpr int kRows = 19;
};
template <> struct Expected<CSecurityDlg> {
    static constexpr const wchar_t* kName = L"Security";
    static std::set<int> TickedOnEmptyRegistry() { return {}; }
    static std::set<int> AskingRestart()
    {
        return {IDC_SECURITY_PASSWORD_REVEAL, IDC_SECURITY_STEPS_RECORDER, IDC_SECURITY_TELEMETRY,
                IDC_SECURITY_WIFI_SENSE,      IDC_SECURITY_WIFI_CONTACTS,  IDC_SECURITY_WIRELESS_ACCESS,
                IDC_SECURITY_LOOSELY_COUPLED, IDC_SECURITY_DRM_ONLINE,     IDC_SECURITY_PEER_UPDATES};
    }
    static std::set<int> PolicyBound() { return {}; }
    static constexpr int kRows = 9;
};
template <> struct Expected<CLocationDlg> {
    static constexpr const wchar_t* kName = L"Location";
    static std::set<int> TickedOnEmptyRegistry() { return {}; }
    static std::set<int> AskingRestart() { return {}; }
    static std::set<int> PolicyBound() { return {}; }
    static constexpr int kRows = 4;
};
template <> struct Expected<CThemeDlg> {
    static constexpr const wchar_t* kName = L"Theme";
    static std::set<int> TickedOnEmptyRegistry() { return {}; }
    static std::set<int> AskingRestart() { return {IDC_THEME_DARK_THEME, IDC_THEME_START_MENU}; }
    static std::set<int> PolicyBound() { return {IDC_THEME_ACTION_CENTER}; }
    static constexpr int kRows = 8;
};

template <typename Model> void WritePlainly(const Model& model, const SettingStep<Model>& step)
{
    EntryPlace place = PlaceOf(model, step.entry);
    ASSERT_NE(place.root, nullptr) << place.name.c_str();
    if (step.kind == SettingStep<Model>::Kind::Delete)
        DeleteStored(place.root, place.path, place.name);
    else if (place.isString)
        WriteString(place.root, place.path, place.name, step.text);
    else
        WriteDword(place.root, place.path, place.name, step.number);
}

RECT RectInParent(HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

// The published control ids of each page's rows, in row order: the box of
// each row, and the row of each box.
template <typename Model> void ExpectBoxes(const SettingsPageLayout& layout, const std::vector<int>& ids)
{
    const auto& rows = CatalogueOf<Model>().rows;
    ASSERT_EQ(rows.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(BoxOf(layout, rows[i].name), ids[i]) << rows[i].name;
        EXPECT_EQ(RowOfBox<Model>(layout, ids[i]), &rows[i]) << ids[i];
    }
}

TEST(SettingBoxes, EveryRowHasItsPublishedBoxAndControlsThatAreNoRowsHaveNone)
{
    ExpectBoxes<CPrivacy>(CPrivacyDlg::kLayout, {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
                                                 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019});
    ExpectBoxes<CSecurity>(CSecurityDlg::kLayout, {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008});
    ExpectBoxes<CLocation>(CLocationDlg::kLayout, {1004, 1005, 1006, 1007});
    ExpectBoxes<CThemeSettings>(CThemeDlg::kLayout, {1006, 1007, 1008, 1010, 1009, 1012, 1013, 1016});
    EXPECT_EQ(RowOfBox<CThemeSettings>(CThemeDlg::kLayout, 1011), nullptr) << "the logon-background box";
    EXPECT_EQ(RowOfBox<CThemeSettings>(CThemeDlg::kLayout, 1015), nullptr) << "the hidden accent box";
    EXPECT_EQ(RowOfBox<CPrivacy>(CPrivacyDlg::kLayout, 1000), nullptr);
    EXPECT_EQ(RowOfBox<CPrivacy>(CPrivacyDlg::kLayout, 1020), nullptr);
    EXPECT_EQ(RowOfBox<CSecurity>(CSecurityDlg::kLayout, 1009), nullptr);
    EXPECT_EQ(RowOfBox<CLocation>(CLocationDlg::kLayout, 1003), nullptr);
    EXPECT_EQ(RowOfBox<CPrivacy>(CPrivacyDlg::kLayout, IDOK), nullptr);
    EXPECT_EQ(RowOfBox<CSecurity>(CSecurityDlg::kLayout, IDCANCEL), nullptr);
    EXPECT_EQ(BoxOf(CPrivacyDlg::kLayout, "security.drm-online"), 0);
}

template <typename Page> class SettingsPage : public ::testing::Test {
protected:
    using Model = std::decay_t<decltype(std::declval<Page>().GetModel())>;

    void SetUp() override
    {
        ASSERT_TRUE(theSkin.Load(BinFolder() + L"\\ui.xml", ::GetModuleHandleW(nullptr)));
        CMFCVisualManager::SetDefaultManager<CMFCVisualManagerWindows>();
        reference = std::make_unique<Model>();
        ClearCatalogue(restorer, *reference);
    }
    void TearDown() override
    {
        page.reset();
        host.DestroyWindow();
        PumpMessages();
    }

    void CreatePage()
    {
        page = std::make_unique<Page>();
        page->SetRestartFlag(&restartRequired);
        ASSERT_TRUE(host.Create());
        ASSERT_TRUE(page->Create(Page::kLayout.templateId, &host));
        page->MoveWindow(host.GetClientRect(), TRUE);
        page->ShowWindow(SW_SHOW);
        PumpMessages();
    }
    HWND Box(int id) const { return page->GetDlgItem(id); }
    // A click on a box or button of the page, and the change it starts
    // done: changes are made on a thread of their own.
    void Press(HWND control) const
    {
        EXPECT_TRUE(ClickSetting(control)) << GateState();
        EXPECT_FALSE(page->IsChangePending());
    }
    // Where a change that never came back waited: for the restore point, or
    // in the change itself.
    static std::string GateState()
    {
        auto& run = Tavrin::Core::RunRestorePoint::Instance();
        const bool attempted = run.Attempted();
        const bool passed = attempted && ::WaitForSingleObject(run.Start()->Get(), 0) == WAIT_OBJECT_0;
        return std::string("restore point attempted: ") + (attempted ? "yes" : "no") +
               ", changes let through: " + (passed ? "yes" : "no");
    }
    UINT Check(int id) const { return page->IsDlgButtonChecked(id); }
    std::vector<std::string> State() const { return StateOf(page->GetModel()); }
    const Tavrin::Core::SettingsCatalogue<Model>& Catalogue() const { return CatalogueOf<Model>(); }

    // Declared first, so that every model below finds the stand-in policy
    // object and the scratch keys go last.
    PolicyServer policy;
    RegistryRestorer restorer;
    std::unique_ptr<Model> reference;
    PageHost host;
    std::unique_ptr<Page> page;
    bool restartRequired = false;
};

using PageTypes = ::testing::Types<CPrivacyDlg, CSecurityDlg, CLocationDlg, CThemeDlg>;
class PageNames {
public:
    template <typename Page> static std::string GetName(int)
    {
        std::wstring name = Expected<Page>::kName;
        return std::string(name.begin(), name.end());
    }
};
TYPED_TEST_SUITE(SettingsPage, PageTypes, PageNames);

TYPED_TEST(SettingsPage, EmptyRegistryShowsTheDefaultTicks)
{
    this->CreatePage();
    ASSERT_EQ(this->Catalogue().rows.size(), static_cast<size_t>(Expected<TypeParam>::kRows));
    const auto ticked = Expected<TypeParam>::TickedOnEmptyRegistry();
    for (const auto& [id, rowName] : TypeParam::kLayout.boxes)
        EXPECT_EQ(this->Check(id), ticked.count(id) ? BST_CHECKED : BST_UNCHECKED) << "box " << id;
    SaveScreenshot(this->host, std::wstring(L"page-") + Expected<TypeParam>::kName);
}

TYPED_TEST(SettingsPage, PreparedRegistryShowsEveryRowTicked)
{
    for (const auto& row : this->Catalogue().rows)
        for (const auto& step : row.tick)
            WritePlainly(*this->reference, step);
    this->CreatePage();
    for (const auto& [id, rowName] : TypeParam::kLayout.boxes) {
        const bool isRow = rowName != nullptr;
        EXPECT_EQ(this->Check(id), isRow ? BST_CHECKED : BST_UNCHECKED) << "box " << id;
    }
    SaveScreenshot(this->host, std::wstring(L"page-") + Expected<TypeParam>::kName + L"-all-ticked");
}

TYPED_TEST(SettingsPage, EveryBoxWritesItsRowWhenTickedAndWhenCleared)
{
    this->CreatePage();
    const auto asking = Expected<TypeParam>::AskingRestart();
    for (const auto& row : this->Catalogue().rows) {
        const int id = BoxOf(TypeParam::kLayout, row.name);
        const bool startsTicked = this->Check(id) == BST_CHECKED;
        auto state = this->State();
        for (int click = 0; click < 2; ++click) {
            const bool ticks = (click == 0) != startsTicked;
            this->restartRequired = false;
            this->Press(this->Box(id));
            EXPECT_EQ(this->Check(id), ticks ? BST_CHECKED : BST_UNCHECKED) << "box " << id;
            state = AfterSteps(state, ticks ? row.tick : row.clear);
            EXPECT_EQ(this->State(), state) << "box " << id << (ticks ? " ticked" : " cleared");
            EXPECT_EQ(this->restartRequired, asking.count(id) == 1) << "box " << id;
        }
    }
    EXPECT_EQ(this->host.DoneCount(), 0);
}

TYPED_TEST(SettingsPage, ResetPutsTheValuesBackAndClearsEveryBox)
{
    this->CreatePage();
    for (const auto& row : this->Catalogue().rows)
        if (this->Check(BoxOf(TypeParam::kLayout, row.name)) != BST_CHECKED)
            this->Press(this->Box(BoxOf(TypeParam::kLayout, row.name)));
    for (const auto& row : this->Catalogue().rows)
        ASSERT_EQ(this->Check(BoxOf(TypeParam::kLayout, row.name)), BST_CHECKED);
    const auto expected = AfterSteps(this->State(), this->Catalogue().reset);
    this->restartRequired = false;
    this->Press(this->page->GetDlgItem(IDCANCEL));
    EXPECT_EQ(this->State(), expected);
    for (const auto& [id, rowName] : TypeParam::kLayout.boxes)
        EXPECT_EQ(this->Check(id), BST_UNCHECKED) << "box " << id;
    EXPECT_FALSE(this->restartRequired);
    EXPECT_EQ(this->host.DoneCount(), 0);
}

// Without the policy object a policy-bound box would tick and write nothing;
// it is shown disabled instead, and the others work as before.
TYPED_TEST(SettingsPage, PolicyBoundBoxesAreDisabledWithoutThePolicyObject)
{
    this->policy.Unregister();
    this->CreatePage();
    const auto bound = Expected<TypeParam>::PolicyBound();
    for (const auto& [id, rowName] : TypeParam::kLayout.boxes)
        EXPECT_EQ(::IsWindowEnabled(this->Box(id)) != FALSE, bound.count(id) == 0) << "box " << id;
    for (int id : bound)
        EXPECT_EQ(this->Check(id), BST_UNCHECKED) << "box " << id;
    SaveScreenshot(this->host, std::wstring(L"page-") + Expected<TypeParam>::kName + L"-without-policy");
}

TYPED_TEST(SettingsPage, PolicyBoundBoxesAreEnabledWithThePolicyObject)
{
    this->CreatePage();
    for (const auto& [id, rowName] : TypeParam::kLayout.boxes)
        EXPECT_TRUE(::IsWindowEnabled(this->Box(id))) << "box " << id;
}

TYPED_TEST(SettingsPage, DoneTellsTheHostAndChangesNothing)
{
    this->CreatePage();
    const auto before = this->State();
    Click(this->page->GetDlgItem(IDOK));
    EXPECT_EQ(this->host.DoneCount(), 1);
    EXPECT_EQ(this->State(), before);
    EXPECT_FALSE(this->restartRequired);
    // The page stays as it is; hiding it is the host's business.
    EXPECT_TRUE(this->page->IsWindowVisible());
}

TYPED_TEST(SettingsPage, BoxesTakeTheSkinColourAndTextsTheirFonts)
{
    this->CreatePage();
    const Gdiplus::ARGB boxText = theSkin.GetColor(L"general/checkbox/text");
    for (const auto& [id, rowName] : TypeParam::kLayout.boxes) {
        auto* box = dynamic_cast<CTransButton*>(CWnd::FromHandlePermanent(this->Box(id)));
        ASSERT_NE(box, nullptr) << "box " << id;
        EXPECT_EQ(box->GetTextColor(), boxText);
        EXPECT_TRUE(box->IsCheckBox());
    }
    std::unique_ptr<Gdiplus::Font> eight(CreateMessageFont(FontSpec::Regular(8)));
    auto labelFont = [&](int id) {
        auto* label = dynamic_cast<CThemeLabel*>(CWnd::FromHandlePermanent(this->page->GetDlgItem(id)));
        return label ? label->GetLabelFont() : nullptr;
    };
    for (int id : TypeParam::kLayout.textIds) {
        Gdiplus::Font* font = labelFont(id);
        ASSERT_NE(font, nullptr) << "text " << id;
        EXPECT_EQ(font->GetStyle(), Gdiplus::FontStyleItalic) << "text " << id;
        EXPECT_FLOAT_EQ(font->GetSize(), eight->GetSize());
    }
    if (TypeParam::kLayout.introductionId) {
        Gdiplus::Font* font = labelFont(TypeParam::kLayout.introductionId);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->GetStyle(), Gdiplus::FontStyleRegular);
        EXPECT_FLOAT_EQ(font->GetSize(), eight->GetSize());
    }
}

TYPED_TEST(SettingsPage, DrawsTheHeaderOverBlueAndAWhitePanel)
{
    this->CreatePage();
    ASSERT_NE(this->page->GetHeaderImage(), nullptr);
    const INT headerHeight = static_cast<INT>(this->page->GetHeaderImage()->GetHeight());
    WindowCapture shot = CaptureWindow(*this->page);
    ASSERT_FALSE(shot.Empty());
    const int below = headerHeight + 10;
    EXPECT_EQ(shot.At(10, below), kPageBlue);
    EXPECT_EQ(shot.At(shot.Width() - 10, below), kPageBlue);
    EXPECT_EQ(shot.At(22, below), kWhite);
    // No control sits in the panel's bottom left corner.
    EXPECT_EQ(shot.At(22, shot.Height() - 22), kWhite);
}

// --- Page by page ---------------------------------------------------------------

using PrivacyPage = SettingsPage<CPrivacyDlg>;
using SecurityPage = SettingsPage<CSecurityDlg>;
using ThemePage = SettingsPage<CThemeDlg>;
using LocationPage = SettingsPage<CLocationDlg>;

TEST_F(PrivacyPage, TickingCameraAccessWritesDenyForTheCurrentUser)
{
    CreatePage();
    const EntryPlace camera = PlaceOf<Model>(*reference, &Model::cameraAccess);
    EXPECT_EQ(camera.root, HKEY_CURRENT_USER);
    Press(Box(IDC_PRIVACY_CAMERA));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, camera.path, L"Value").IsString(L"Deny"));
    Press(Box(IDC_PRIVACY_CAMERA));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, camera.path, L"Value").IsString(L"Allow"));
}

TEST_F(PrivacyPage, ScrollsWhenTheClientIsLowerThanTheContent)
{
    UINT savedLines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &savedLines, 0);
    ::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 3, nullptr, 0);
    CreatePage();
    const RECT client = page->GetClientRect();
    ASSERT_LT(client.bottom, CPrivacyDlg::kContentHeight);
    EXPECT_EQ(page->GetContentHeight(), 950);
    EXPECT_TRUE(page->GetStyle() & WS_VSCROLL);
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(::GetScrollInfo(*page, SB_VERT, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 949);
    EXPECT_EQ(info.nPos, 0);
    // The content is narrower than the window: no horizontal bar.
    EXPECT_FALSE(page->GetStyle() & WS_HSCROLL);

    const RECT before = RectInParent(Box(IDC_PRIVACY_HANDWRITING));
    EXPECT_TRUE(MouseWheel(*page, -WHEEL_DELTA));
    EXPECT_EQ(page->GetScrollHelper().GetScrollPos().cy, 60);
    EXPECT_EQ(::GetScrollPos(*page, SB_VERT), 60);
    EXPECT_EQ(RectInParent(Box(IDC_PRIVACY_HANDWRITING)).top, before.top - 60);
    EXPECT_TRUE(MouseWheel(*page, WHEEL_DELTA));
    EXPECT_EQ(page->GetScrollHelper().GetScrollPos().cy, 0);
    EXPECT_EQ(RectInParent(Box(IDC_PRIVACY_HANDWRITING)).top, before.top);

    // To the end: the last box and its text come into view over the panel.
    for (int notch = 0; notch < 10; ++notch)
        MouseWheel(*page, -WHEEL_DELTA);
    PumpMessages();
    const int end = page->GetScrollHelper().GetScrollPos().cy;
    EXPECT_GT(end, 0);
    const RECT lastText = RectInParent(page->GetDlgItem(IDC_PRIVACY_MICROPHONE_TEXT));
    EXPECT_LE(lastText.bottom, page->GetClientRect().bottom);
    WindowCapture shot = CaptureWindow(*page);
    EXPECT_EQ(shot.At(22, shot.Height() - 30), kWhite);
    SaveScreenshot(host, L"page-Privacy-scrolled-to-end");
    ::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, savedLines, nullptr, 0);
}

TEST_F(PrivacyPage, ScrollBarAndThumbAlsoScroll)
{
    CreatePage();
    page->SendMessage(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(page->GetScrollHelper().GetScrollPos().cy, 60);
    page->SendMessage(WM_VSCROLL, SB_LINEUP, 0);
    page->SendMessage(WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(page->GetScrollHelper().GetScrollPos().cy, 0);
}

TEST_F(SecurityPage, ResetLeavesTheFivePolicyValuesAlone)
{
    CreatePage();
    for (const auto& row : Catalogue().rows)
        Press(Box(BoxOf(CSecurityDlg::kLayout, row.name)));
    Tavrin::Core::NumberProperty Model::*const kept[] = {
        &Model::disablePasswordReveal, &Model::disableStepsRecorder, &Model::allowTelemetry,
        &Model::hotspotReporting, &Model::autoConnectHotspots};
    std::vector<std::string> before;
    for (auto member : kept) {
        const EntryPlace place = PlaceOf<Model>(*reference, member);
        before.push_back(StateText(ReadStored(place.root, place.path, place.name)));
    }
    // Entries 1, 2, 6, 8 and 10 as the ticks left them.
    EXPECT_EQ(before, (std::vector<std::string>{"1", "1", "0", "1", "1"}));
    Press(page->GetDlgItem(IDCANCEL));
    for (size_t i = 0; i < std::size(kept); ++i) {
        const EntryPlace place = PlaceOf<Model>(*reference, kept[i]);
        EXPECT_EQ(StateText(ReadStored(place.root, place.path, place.name)), before[i]) << place.name.c_str();
    }
    // Telemetry's service goes back to automatic start.
    const EntryPlace diagTrack = PlaceOf<Model>(*reference, &Model::diagTrackStart);
    EXPECT_TRUE(ReadStored(diagTrack.root, diagTrack.path, diagTrack.name).IsDword(2));
}

TEST_F(ThemePage, DarkThemeWritesBothLightThemeValuesAndAsksForARestart)
{
    CreatePage();
    const wchar_t* personalize = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    Press(Box(IDC_THEME_DARK_THEME));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, personalize, L"AppsUseLightTheme").IsDword(0));
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, personalize, L"AppsUseLightTheme").IsDword(0));
    EXPECT_TRUE(restartRequired);
    restartRequired = false;
    Press(Box(IDC_THEME_DARK_THEME));
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, personalize, L"AppsUseLightTheme").present);
    EXPECT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, personalize, L"AppsUseLightTheme").present);
    EXPECT_TRUE(restartRequired);
}

TEST_F(ThemePage, ClearingTheNetworkFlyoutWritesZero)
{
    CreatePage();
    const wchar_t* network =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Settings\\Network";
    Press(Box(IDC_THEME_NETWORK_FLYOUT));
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, network, L"ReplaceVan").IsDword(2));
    Press(Box(IDC_THEME_NETWORK_FLYOUT));
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, network, L"ReplaceVan").IsDword(0));
}

TEST_F(ThemePage, LogonBackgroundBoxOnlyTogglesItself)
{
    CreatePage();
    const auto before = State();
    ASSERT_EQ(Check(IDC_THEME_LOGON_BACKGROUND), BST_UNCHECKED);
    Press(Box(IDC_THEME_LOGON_BACKGROUND));
    EXPECT_EQ(Check(IDC_THEME_LOGON_BACKGROUND), BST_CHECKED);
    Press(Box(IDC_THEME_LOGON_BACKGROUND));
    EXPECT_EQ(Check(IDC_THEME_LOGON_BACKGROUND), BST_UNCHECKED);
    EXPECT_EQ(State(), before);
    EXPECT_FALSE(restartRequired);
    // Not bound to the page: a plain box of the template.
    EXPECT_EQ(CWnd::FromHandlePermanent(Box(IDC_THEME_LOGON_BACKGROUND)), nullptr);
    // The reset leaves it alone.
    Press(Box(IDC_THEME_LOGON_BACKGROUND));
    Press(page->GetDlgItem(IDCANCEL));
    EXPECT_EQ(Check(IDC_THEME_LOGON_BACKGROUND), BST_CHECKED);
}

TEST_F(ThemePage, AccentGroupIsCreatedHidden)
{
    CreatePage();
    for (int id : {IDC_ACCENT_COLOR, IDC_THEME_AUTO_ACCENT_COLOR, IDC_THEME_AUTO_ACCENT_COLOR_TEXT}) {
        ASSERT_NE(page->GetDlgItem(id), nullptr) << id;
        EXPECT_FALSE(::IsWindowVisible(page->GetDlgItem(id))) << id;
    }
    EXPECT_TRUE(::IsWindowVisible(Box(IDC_THEME_DARK_THEME)));
}

TEST_F(ThemePage, ResetLeavesTheActionCenterOffAndItsBoxCleared)
{
    CreatePage();
    Press(Box(IDC_THEME_ACTION_CENTER));
    ASSERT_EQ(Check(IDC_THEME_ACTION_CENTER), BST_CHECKED);
    Press(page->GetDlgItem(IDCANCEL));
    const EntryPlace center = PlaceOf<Model>(*reference, &Model::disableNotificationCenter);
    ASSERT_TRUE(center.policyBound);
    EXPECT_TRUE(ReadStored(center.root, center.path, center.name).IsDword(0));
    EXPECT_EQ(Check(IDC_THEME_ACTION_CENTER), BST_UNCHECKED);
}

TEST_F(LocationPage, ShownAgainTheBoxesKeepTheUsersState)
{
    CreatePage();
    Press(Box(IDC_LOCATION_SENSORS));
    ASSERT_EQ(Check(IDC_LOCATION_SENSORS), BST_CHECKED);
    page->ShowWindow(SW_HIDE);
    // Someone else changes the registry meanwhile; the page does not look again.
    const EntryPlace sensors = PlaceOf<Model>(*reference, &Model::disableSensors);
    DeleteStored(sensors.root, sensors.path, sensors.name);
    page->ShowWindow(SW_SHOW);
    PumpMessages();
    EXPECT_EQ(Check(IDC_LOCATION_SENSORS), BST_CHECKED);
}

// --- Changes wait for the restore point ------------------------------------------

namespace {

// The run's restore point, held in the making until Release (or the end of
// the case): a stand-in for System Restore's shadow copy, which can take
// minutes.
class HeldRestorePoint {
public:
    HeldRestorePoint()
    {
        Tavrin::Core::RunRestorePoint::Instance().SetCall(
            [release = m_release](RESTOREPOINTINFOW& info, STATEMGRSTATUS& status) {
                if (info.dwEventType == BEGIN_SYSTEM_CHANGE)
                    ::WaitForSingleObject(release->Get(), 60000);
                status.nStatus = ERROR_SUCCESS;
                status.llSequenceNumber = 3;
                return TRUE;
            });
    }
    ~HeldRestorePoint()
    {
        Release();
        Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
    }
    HeldRestorePoint(const HeldRestorePoint&) = delete;
    HeldRestorePoint& operator=(const HeldRestorePoint&) = delete;
    void Release() { ::SetEvent(m_release->Get()); }

private:
    std::shared_ptr<Tavrin::Platform::UniqueHandle> m_release =
        std::make_shared<Tavrin::Platform::UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
};

const Tavrin::Core::SettingRow<Tavrin::Core::CLocation>& LocationRow(int id)
{
    return *RowOfBox<Tavrin::Core::CLocation>(CLocationDlg::kLayout, id);
}

} // namespace

class SettingsChangeWaiting : public SettingsPage<CLocationDlg> {
protected:
    bool NoteShown() const
    {
        return page->GetRestorePointNote().GetSafeHwnd() && page->GetRestorePointNote().IsWindowVisible();
    }
    std::vector<HWND> Controls() const
    {
        std::vector<HWND> controls;
        for (const auto& [id, rowName] : CLocationDlg::kLayout.boxes)
            controls.push_back(Box(id));
        controls.push_back(page->GetDlgItem(IDCANCEL));
        controls.push_back(page->GetDlgItem(IDOK));
        return controls;
    }

    ClearedJournal journal;
    HeldRestorePoint restorePoint;
};

TEST_F(SettingsChangeWaiting, TheBoxesWaitTheNoteComesAndTheChangeIsMadeOnceTheRestorePointIs)
{
    CreatePage();
    const auto before = State();
    Click(Box(IDC_LOCATION_SENSORS));
    EXPECT_TRUE(page->IsChangePending());
    for (HWND control : Controls())
        EXPECT_FALSE(::IsWindowEnabled(control)) << ::GetDlgCtrlID(control);
    ASSERT_TRUE(PumpUntil([&] { return NoteShown(); }, 5000));
    EXPECT_EQ(State(), before);
    const CProgressNote& note = page->GetRestorePointNote();
    EXPECT_EQ(note.GetMessage(), CLocationDlg::kRestorePointNote);
    EXPECT_EQ(TextOf(note.GetButton()), CLocationDlg::kGoOnWithout);
    const int step = note.GetBarStep();
    EXPECT_TRUE(PumpUntil([&] { return note.GetBarStep() > step + 2; }, 3000)) << "the bar moves";
    // Under "Done", inside the page.
    const RECT shown = RectInParent(note), done = RectInParent(page->GetDlgItem(IDOK));
    EXPECT_GE(shown.top, done.bottom);
    EXPECT_EQ(shown.right, done.right);
    EXPECT_GE(shown.left, 0);
    SaveScreenshot(host, L"page-Location-restore-point-note");
    // A click that reaches a box meanwhile changes nothing.
    Click(Box(IDC_LOCATION_GEOLOCATION));
    EXPECT_EQ(Check(IDC_LOCATION_GEOLOCATION), BST_UNCHECKED);

    restorePoint.Release();
    ASSERT_TRUE(PumpUntil([&] { return !page->IsChangePending(); }, 10000));
    EXPECT_EQ(State(), AfterSteps(before, LocationRow(IDC_LOCATION_SENSORS).tick));
    EXPECT_EQ(Check(IDC_LOCATION_SENSORS), BST_CHECKED);
    EXPECT_TRUE(Tavrin::Core::RunRestorePoint::Instance().Open());
    for (HWND control : Controls())
        EXPECT_TRUE(::IsWindowEnabled(control)) << ::GetDlgCtrlID(control);
    EXPECT_FALSE(NoteShown());
}

TEST_F(SettingsChangeWaiting, GoingOnWithoutItMakesTheChangeJournalledAndLaterOnesDoNotWait)
{
    CreatePage();
    auto expected = State();
    Click(Box(IDC_LOCATION_SENSORS));
    ASSERT_TRUE(PumpUntil([&] { return NoteShown(); }, 5000));
    Click(page->GetRestorePointNote().GetButton());
    ASSERT_TRUE(PumpUntil([&] { return !page->IsChangePending(); }, 10000));
    expected = AfterSteps(expected, LocationRow(IDC_LOCATION_SENSORS).tick);
    EXPECT_EQ(State(), expected);
    EXPECT_TRUE(Tavrin::Core::JournalHoldsEntries());
    EXPECT_FALSE(NoteShown());
    // The restore point is still being made; the next change goes at once.
    EXPECT_FALSE(Tavrin::Core::RunRestorePoint::Instance().Open());
    Press(Box(IDC_LOCATION_GEOLOCATION));
    EXPECT_EQ(State(), AfterSteps(expected, LocationRow(IDC_LOCATION_GEOLOCATION).tick));
}

TEST_F(SettingsChangeWaiting, AChangeStillWaitingWhenThePageGoesIsNotMade)
{
    CreatePage();
    const auto before = State();
    Click(Box(IDC_LOCATION_SENSORS));
    ASSERT_TRUE(page->IsChangePending());
    page->DestroyWindow();
    restorePoint.Release();
    ASSERT_TRUE(PumpUntil([] { return Tavrin::Core::RunRestorePoint::Instance().Open(); }, 10000));
    PumpMessagesFor(300);
    EXPECT_EQ(State(), before);
    EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries());
}

namespace {

// While it lives, the change journal's key takes no entries: every one may
// read it, administrators may only delete it or change its access list.
class UnwritableJournal {
public:
    UnwritableJournal()
    {
        Tavrin::Platform::RegKey key;
        if (key.Create(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey,
                       KEY_ALL_ACCESS | Tavrin::Core::kJournalView) != ERROR_SUCCESS)
            return;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)(A;;RCSDWD;;;BA)",
                                                                    SDDL_REVISION_1, &descriptor, nullptr))
            return;
        m_set = ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        ::LocalFree(descriptor);
    }
    ~UnwritableJournal()
    {
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, Tavrin::Core::kJournalView, 0);
    }
    UnwritableJournal(const UnwritableJournal&) = delete;
    UnwritableJournal& operator=(const UnwritableJournal&) = delete;

    // The access list is set and keeps a writer out.
    bool Holds() const
    {
        Tavrin::Platform::RegKey key;
        return m_set && key.Open(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey,
                                 KEY_READ | KEY_WRITE | Tavrin::Core::kJournalView) == ERROR_ACCESS_DENIED;
    }

private:
    bool m_set = false;
};

} // namespace

// A fixture of its own: the user hears it once per run, which is a process.
class SettingsChangeFailure : public SettingsPage<CLocationDlg> {
protected:
    ClearedJournal journal;
};

TEST_F(SettingsChangeFailure, AChangeThatCannotBeJournalledIsNotMadeItsBoxGoesBackAndTheUserHearsOnce)
{
    UnwritableJournal unwritable;
    ASSERT_TRUE(unwritable.Holds());
    CreatePage();
    const auto before = State();
    {
        MessageBoxAnswerer answer(IDOK, L"Orvane Tools");
        EXPECT_TRUE(ClickSetting(Box(IDC_LOCATION_SENSORS)));
        EXPECT_TRUE(answer.Answered());
        EXPECT_EQ(answer.Text(), CLocationDlg::kChangeNotMade);
    }
    EXPECT_EQ(Check(IDC_LOCATION_SENSORS), BST_UNCHECKED);
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(::IsWindowEnabled(Box(IDC_LOCATION_SENSORS)));
    MessageBoxCloser closer;
    EXPECT_TRUE(ClickSetting(Box(IDC_LOCATION_GEOLOCATION)));
    EXPECT_EQ(Check(IDC_LOCATION_GEOLOCATION), BST_UNCHECKED);
    EXPECT_EQ(State(), before);
    EXPECT_EQ(closer.Closed(), 0) << "told once per run";
}
