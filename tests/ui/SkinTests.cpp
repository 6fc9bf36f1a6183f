#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/Module.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "ui/skin/ImagePreload.h"
#include "ui/skin/Skin.h"

using Tavrin::Test::BinFolder;
using Tavrin::Test::TempFolder;
using Tavrin::Test::WriteFileBytes;

namespace {

// A skin loaded from description text written to a file of its own.
class SkinFromText : public ::testing::Test {
protected:
    bool LoadText(const std::string& xml) { return LoadBytes(xml); }
    bool LoadBytes(const std::string& bytes)
    {
        const std::wstring path = folder.File(L"ui.xml");
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return skin.Load(path, ::GetModuleHandleW(nullptr));
    }
    std::string Colors(const std::string& inner)
    {
        return "<?xml version=\"1.0\"?><ui><colors>" + inner + "</colors></ui>";
    }
    std::string Fonts(const std::string& inner) { return "<ui><fonts>" + inner + "</fonts></ui>"; }

    TempFolder folder;
    CSkin skin;
};

std::string Utf16LittleEndianWithBom(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

} // namespace

TEST_F(SkinFromText, LoadsAWellFormedDescription)
{
    EXPECT_TRUE(LoadText(Colors("<mainframe><bg hex=\"#FFFFFF\"/></mainframe>")));
    EXPECT_TRUE(skin.IsLoaded());
    EXPECT_EQ(skin.Instance(), ::GetModuleHandleW(nullptr));
    EXPECT_EQ(skin.GetColor(L"mainframe/bg"), 0xFFFFFFFFu);
}

TEST_F(SkinFromText, MissingFileFailsAndLeavesNothingLoaded)
{
    EXPECT_FALSE(skin.Load(folder.File(L"absent.xml"), ::GetModuleHandleW(nullptr)));
    EXPECT_FALSE(skin.IsLoaded());
    BOOL found = TRUE;
    EXPECT_EQ(skin.GetColor(L"mainframe/bg", &found), 0u);
    EXPECT_EQ(skin.GetFont(L"client/normal"), nullptr);
}

TEST_F(SkinFromText, MalformedDescriptionFails)
{
    EXPECT_FALSE(LoadText("<ui><colors><mainframe><bg hex=\"#FFFFFF\"></mainframe></colors></ui>"));
    EXPECT_FALSE(skin.IsLoaded());
    EXPECT_FALSE(LoadText(""));
    EXPECT_FALSE(LoadText("\x01\x02 not xml at all"));
    EXPECT_FALSE(LoadText("<ui><colors>"));
}

TEST_F(SkinFromText, AFailedLoadForgetsTheEarlierDescription)
{
    ASSERT_TRUE(LoadText(Colors("<a><b hex=\"#102030\"/></a>")));
    EXPECT_EQ(skin.GetColor(L"a/b"), 0xFF102030u);
    EXPECT_FALSE(LoadText("<ui>"));
    EXPECT_EQ(skin.GetColor(L"a/b"), 0u);
}

TEST_F(SkinFromText, DetectsUtf16Encoding)
{
    ASSERT_TRUE(
        LoadBytes(Utf16LittleEndianWithBom(L"<?xml version=\"1.0\" encoding=\"utf-16\"?><ui><colors><x><y "
                                           L"hex=\"#0A70C5\"/></x></colors></ui>")));
    EXPECT_EQ(skin.GetColor(L"x/y"), 0xFF0A70C5u);
}

TEST_F(SkinFromText, HexColoursWithAndWithoutAlpha)
{
    ASSERT_TRUE(
        LoadText(Colors("<c six=\"\" hex=\"#FF8000\"/><d hex=\"80FF8000\"/><e hex=\"##FF8000#\"/>"
                        "<f hex=\"F00\"/><g hex=\"#zz\"/><h hex=\"#12G456\"/><i hex=\"#FFFFFFFFFF\"/>")));
    EXPECT_EQ(skin.GetColor(L"c"), 0xFFFF8000u);
    EXPECT_EQ(skin.GetColor(L"d"), 0x80FF8000u);
    EXPECT_EQ(skin.GetColor(L"e"), 0xFFFF8000u);
    // No short form: three digits are one small number.
    EXPECT_EQ(skin.GetColor(L"f"), 0xFF000F00u);
    EXPECT_EQ(skin.GetColor(L"g"), 0xFF000000u);
    // Reading stops at the first non-digit; six characters keep alpha opaque.
    EXPECT_EQ(skin.GetColor(L"h"), 0xFF000012u);
    // Too many digits for 32 bits: the largest number, alpha opaque (not 8 characters).
    EXPECT_EQ(skin.GetColor(L"i"), 0xFFFFFFFFu);
}

TEST_F(SkinFromText, DecimalComponentsUseTheirLowByte)
{
    ASSERT_TRUE(LoadText(Colors("<a r=\"300\" g=\"0\" b=\"0\"/><b r=\"1\" g=\"2\" b=\"3\" a=\"128\"/>"
                                "<c r=\"-1\" g=\"junk\" b=\"+7\"/>")));
    EXPECT_EQ(skin.GetColor(L"a"), 0xFF2C0000u); // 300 mod 256 = 44
    EXPECT_EQ(skin.GetColor(L"b"), 0x80010203u);
    EXPECT_EQ(skin.GetColor(L"c"), 0xFFFF0007u);
}

TEST_F(SkinFromText, IncompleteComponentsAreNotFoundAndNotCached)
{
    ASSERT_TRUE(LoadText(Colors("<a r=\"10\" g=\"20\"/>")));
    BOOL found = TRUE;
    EXPECT_EQ(skin.GetColor(L"a", &found), 0xFF000000u);
    EXPECT_FALSE(found);
    // Still not found on the second lookup: the miss went to the document again.
    found = TRUE;
    EXPECT_EQ(skin.GetColor(L"a", &found), 0xFF000000u);
    EXPECT_FALSE(found);
}

TEST_F(SkinFromText, HexWinsOverComponents)
{
    ASSERT_TRUE(LoadText(Colors("<a hex=\"#010203\" r=\"255\" g=\"255\" b=\"255\"/>")));
    EXPECT_EQ(skin.GetColor(L"a"), 0xFF010203u);
}

TEST_F(SkinFromText, SlashesAroundAKeyNameTheSameColourAndCacheEntry)
{
    ASSERT_TRUE(LoadText(Colors("<mainframe><bg hex=\"#123456\"/></mainframe>")));
    BOOL found = FALSE;
    EXPECT_EQ(skin.GetColor(L"/mainframe/bg/", &found), 0xFF123456u);
    EXPECT_TRUE(found);
    EXPECT_EQ(skin.GetColor(L"///mainframe/bg"), 0xFF123456u);
    EXPECT_EQ(skin.GetColor(L"mainframe/bg"), 0xFF123456u);
}

TEST_F(SkinFromText, FoundColoursAreServedFromTheCache)
{
    ASSERT_TRUE(LoadText(Colors("<a hex=\"#ABCDEF\"/>")));
    EXPECT_EQ(skin.GetColor(L"a"), 0xFFABCDEFu);
    // Rewriting the file does not matter: the description was read once.
    ASSERT_TRUE(WriteFileBytes(folder.File(L"ui.xml"), Colors("<a hex=\"#000001\"/>")));
    EXPECT_EQ(skin.GetColor(L"/a/"), 0xFFABCDEFu);
}

TEST_F(SkinFromText, MissingColourIsOpaqueBlackAndNotFound)
{
    ASSERT_TRUE(LoadText(Colors("<a hex=\"#FFFFFF\"/>")));
    BOOL found = TRUE;
    EXPECT_EQ(skin.GetColor(L"general/checkbox/text", &found), 0xFF000000u);
    EXPECT_FALSE(found);
    // A colour key never reaches into the fonts section.
    found = TRUE;
    EXPECT_EQ(skin.GetColor(L"", &found), 0xFF000000u);
    EXPECT_FALSE(found);
}

TEST_F(SkinFromText, KeysThatAreNoValidPathAreMisses)
{
    ASSERT_TRUE(LoadText(Colors("<a hex=\"#FFFFFF\"/>")));
    BOOL found = TRUE;
    EXPECT_EQ(skin.GetColor(L"a[", &found), 0xFF000000u);
    EXPECT_FALSE(found);
    found = TRUE;
    EXPECT_EQ(skin.GetColor(L"a//\"'b", &found), 0xFF000000u);
    EXPECT_FALSE(found);
    found = TRUE;
    EXPECT_EQ(skin.GetFont(L"((", &found), nullptr);
    EXPECT_FALSE(found);
}

TEST_F(SkinFromText, FirstElementInDocumentOrderWins)
{
    ASSERT_TRUE(
        LoadText(Colors("<a><b hex=\"#111111\"/><b hex=\"#222222\"/></a><a><b hex=\"#333333\"/></a>")));
    EXPECT_EQ(skin.GetColor(L"a/b"), 0xFF111111u);
}

TEST_F(SkinFromText, NestedElementsFollowTheKeySteps)
{
    ASSERT_TRUE(LoadText(Colors("<general><checkbox><text hex=\"#0A0B0C\"/></checkbox>"
                                "<radio><text hex=\"#010101\"/></radio></general>")));
    EXPECT_EQ(skin.GetColor(L"general/checkbox/text"), 0xFF0A0B0Cu);
    EXPECT_EQ(skin.GetColor(L"general/radio/text"), 0xFF010101u);
    EXPECT_EQ(skin.GetColor(L"general/text"), 0xFF000000u);
}

TEST_F(SkinFromText, LookupsBeforeALoadAreTransparentAndNone)
{
    BOOL found = TRUE;
    EXPECT_EQ(skin.GetColor(L"mainframe/bg", &found), 0u);
    EXPECT_FALSE(found);
    found = TRUE;
    EXPECT_EQ(skin.GetFont(L"client/normal", &found), nullptr);
    EXPECT_FALSE(found);
}

TEST_F(SkinFromText, FontsComeFromSizeAndFlags)
{
    ASSERT_TRUE(LoadText(Fonts("<client><normal size=\"10\"/><big size=\"16\" bold=\"yes\" italic=\"True\""
                               " underline=\"1\"/><on size=\"9\" bold=\"on\" italic=\"false\"/></client>")));
    BOOL found = FALSE;
    Gdiplus::Font* normal = skin.GetFont(L"client/normal", &found);
    ASSERT_NE(normal, nullptr);
    EXPECT_TRUE(found);
    EXPECT_EQ(normal->GetStyle(), Gdiplus::FontStyleRegular);

    Gdiplus::Font* big = skin.GetFont(L"client/big");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->GetStyle(),
              Gdiplus::FontStyleBold | Gdiplus::FontStyleItalic | Gdiplus::FontStyleUnderline);
    EXPECT_GT(big->GetSize(), normal->GetSize());

    Gdiplus::Font* on = skin.GetFont(L"client/on");
    ASSERT_NE(on, nullptr);
    EXPECT_EQ(on->GetStyle(), Gdiplus::FontStyleRegular);

    // The same object for the same key, with or without the slashes.
    EXPECT_EQ(skin.GetFont(L"/client/normal/"), normal);
}

TEST_F(SkinFromText, FontSizeIsPointsAtTheScreenResolution)
{
    ASSERT_TRUE(LoadText(Fonts("<t size=\"12\"/>")));
    Gdiplus::Font* font = skin.GetFont(L"t");
    ASSERT_NE(font, nullptr);
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    LOGFONTW logFont = {};
    screen = ::GetDC(nullptr);
    {
        Gdiplus::Graphics graphics(screen);
        EXPECT_EQ(font->GetLogFontW(&graphics, &logFont), Gdiplus::Ok);
    }
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(std::abs(logFont.lfHeight), ::MulDiv(12, dpi, 72));
}

TEST_F(SkinFromText, FontWithoutSizeIsNoneAndNotFound)
{
    ASSERT_TRUE(LoadText(Fonts("<client><normal bold=\"1\"/></client>")));
    BOOL found = TRUE;
    EXPECT_EQ(skin.GetFont(L"client/normal", &found), nullptr);
    EXPECT_FALSE(found);
    found = TRUE;
    EXPECT_EQ(skin.GetFont(L"client/absent", &found), nullptr);
    EXPECT_FALSE(found);
}

TEST_F(SkinFromText, ColoursAndFontsLiveInTheirOwnSections)
{
    ASSERT_TRUE(LoadText("<ui><colors><k hex=\"#FFFFFF\"/></colors><fonts><k size=\"9\"/></fonts></ui>"));
    EXPECT_EQ(skin.GetColor(L"k"), 0xFFFFFFFFu);
    EXPECT_NE(skin.GetFont(L"k"), nullptr);
    ASSERT_TRUE(LoadText("<skin><colors><k hex=\"#FFFFFF\"/></colors></skin>"));
    EXPECT_EQ(skin.GetColor(L"k"), 0xFF000000u); // the root must be "ui"
}

TEST_F(SkinFromText, ResetForgetsEverything)
{
    ASSERT_TRUE(LoadText("<ui><colors><k hex=\"#FFFFFF\"/></colors><fonts><k size=\"9\"/></fonts></ui>"));
    EXPECT_NE(skin.GetFont(L"k"), nullptr);
    skin.Reset();
    EXPECT_FALSE(skin.IsLoaded());
    EXPECT_EQ(skin.Instance(), nullptr);
    EXPECT_EQ(skin.GetColor(L"k"), 0u);
    EXPECT_EQ(skin.GetFont(L"k"), nullptr);
}

TEST(Skin, TheGlobalSkinStartsUnloadedWithGdiPlusRunning)
{
    EXPECT_FALSE(theSkin.IsLoaded());
    // GDI+ is usable as soon as the process runs.
    Gdiplus::Bitmap bitmap(4, 4, PixelFormat32bppARGB);
    EXPECT_EQ(bitmap.GetLastStatus(), Gdiplus::Ok);
}

TEST(Skin, ToColorRefSwapsRedAndBlueAndDropsAlpha)
{
    EXPECT_EQ(ToColorRef(0xFF0A70C5), RGB(0x0A, 0x70, 0xC5));
    EXPECT_EQ(ToColorRef(0x00FF0000), static_cast<COLORREF>(0x000000FF));
    EXPECT_EQ(ToColorRef(0x800000FF), static_cast<COLORREF>(0x00FF0000));
}

TEST(Skin, MessageFontFollowsTheSystemMessageFont)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));

    std::unique_ptr<Gdiplus::Font> systemSize(CreateMessageFont(FontSpec::Regular()));
    ASSERT_NE(systemSize, nullptr);
    ASSERT_EQ(systemSize->GetLastStatus(), Gdiplus::Ok);
    HDC screen = ::GetDC(nullptr);
    {
        Gdiplus::Graphics graphics(screen);
        LOGFONTW logFont = {};
        ASSERT_EQ(systemSize->GetLogFontW(&graphics, &logFont), Gdiplus::Ok);
        EXPECT_EQ(std::abs(logFont.lfHeight), std::abs(metrics.lfMessageFont.lfHeight));
        EXPECT_STREQ(logFont.lfFaceName, metrics.lfMessageFont.lfFaceName);
    }
    ::ReleaseDC(nullptr, screen);

    std::unique_ptr<Gdiplus::Font> styled(
        CreateMessageFont(FontSpec::Regular(14).Bold().Italic().Underlined()));
    ASSERT_NE(styled, nullptr);
    EXPECT_EQ(styled->GetStyle(),
              Gdiplus::FontStyleBold | Gdiplus::FontStyleItalic | Gdiplus::FontStyleUnderline);
    std::unique_ptr<Gdiplus::Font> plain(CreateMessageFont(FontSpec::Regular(14)));
    EXPECT_EQ(plain->GetStyle(), Gdiplus::FontStyleRegular);
    EXPECT_FLOAT_EQ(plain->GetSize(), styled->GetSize());
}

namespace {

// A PNG of its own in a fresh folder beside the test program, so that paths
// relative to the program's folder can reach it.
class ImageBesideProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        folderName = L"skin_test_" + std::to_wstring(::GetCurrentProcessId());
        folder = BinFolder() + L"\\" + folderName;
        ::CreateDirectoryW(folder.c_str(), nullptr);
        Gdiplus::Bitmap bitmap(7, 5, PixelFormat32bppARGB);
        CLSID png = {};
        // The built-in PNG encoder's class identifier.
        ::CLSIDFromString(L"{557CF406-1A04-11D3-9A73-0000F81EF32E}", &png);
        ASSERT_EQ(bitmap.Save((folder + L"\\mark.png").c_str(), &png, nullptr), Gdiplus::Ok);
        ASSERT_TRUE(WriteFileBytes(folder + L"\\broken.png", "\x89PNG\r\n\x1a\n not really"));
    }
    void TearDown() override
    {
        ::DeleteFileW((folder + L"\\mark.png").c_str());
        ::DeleteFileW((folder + L"\\broken.png").c_str());
        ::RemoveDirectoryW(folder.c_str());
    }

    std::wstring folderName, folder;
};

} // namespace

TEST_F(ImageBesideProgram, LoadsRelativeToTheProgramFolderWithEitherSlash)
{
    std::unique_ptr<Gdiplus::Image> image(LoadImageFile(nullptr, folderName + L"/mark.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetWidth(), 7u);
    EXPECT_EQ(image->GetHeight(), 5u);
    std::unique_ptr<Gdiplus::Image> again(
        LoadImageFile(::GetModuleHandleW(nullptr), folderName + L"\\mark.png"));
    ASSERT_NE(again, nullptr);
    // Not cached: every call is a new image.
    EXPECT_NE(again.get(), image.get());
}

TEST_F(ImageBesideProgram, APreloadedImageGoesToItsFirstLoaderAndLaterLoadersReadTheFile)
{
    const std::wstring mark = folderName + L"/mark.png";
    const std::wstring absent = folderName + L"/absent.png";
    {
        // Never finished: nothing is handed out, and its end waits for the worker.
        CImagePreload unfinished(nullptr, {mark});
        EXPECT_EQ(CImagePreload::Take(nullptr, mark), nullptr);
    }
    // Listed twice: two loaders are served from the worker's images.
    CImagePreload preload(nullptr, {mark, absent, mark});
    preload.Finish();
    std::unique_ptr<Gdiplus::Image> first(LoadImageFile(nullptr, mark));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetWidth(), 7u);
    std::unique_ptr<Gdiplus::Image> second(CImagePreload::Take(nullptr, mark));
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second.get(), first.get());
    EXPECT_EQ(CImagePreload::Take(nullptr, mark), nullptr);
    // Once they are taken, a loader reads the file itself.
    std::unique_ptr<Gdiplus::Image> third(LoadImageFile(nullptr, mark));
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(LoadImageFile(nullptr, absent), nullptr);
}

TEST_F(ImageBesideProgram, MissingUndecodableEmptyAndOverlongPathsYieldNone)
{
    EXPECT_EQ(LoadImageFile(nullptr, folderName + L"/absent.png"), nullptr);
    EXPECT_EQ(LoadImageFile(nullptr, folderName + L"/broken.png"), nullptr);
    EXPECT_EQ(LoadImageFile(nullptr, L""), nullptr);
    // The file exists, but the combined path does not fit 260 characters.
    std::wstring padded = folderName;
    while ((BinFolder() + L"\\" + padded).size() < MAX_PATH)
        padded += L"/.";
    EXPECT_EQ(LoadImageFile(nullptr, padded + L"/mark.png"), nullptr);
}

namespace {

// Every skin key the program looks up.
const wchar_t* const kColourKeys[] = {
    L"mainframe/bg",
    L"client/body_text",
    L"general/label/border_color",
    L"client/client_bg",
    L"general/checkbox/text",
    L"general/checkbox/check",
    L"general/checkbox/border",
    L"general/checkbox/bg",
    L"general/radio/check",
    L"general/radio/border",
    L"general/radio/bg",
    L"general/checkbox/text_disabled",
    L"general/radio/text_disabled",
};

// Every image the program loads, by the exact name it asks for.
const wchar_t* const kImages[] = {
    L"images/headers/tools-title.PNG",
    L"images/buttons/privacy.png",
    L"images/buttons/privacy_over.png",
    L"images/buttons/location.png",
    L"images/buttons/location_over.png",
    L"images/buttons/security.png",
    L"images/buttons/security_over.png",
    L"images/buttons/themes.png",
    L"images/buttons/themes_over.png",
    L"images/buttons/reclamation.png",
    L"images/buttons/reclamation_over.png",
    L"images/buttons/compatibility.png",
    L"images/buttons/compatibility_over.png",
    L"images/windows/tab-closed.png",
    L"images/windows/tab-opened.png",
    L"images/headers/privacy-title.PNG",
    L"images/headers/location-title.PNG",
    L"images/headers/security-title.png",
    L"images/headers/theme-title.png",
    L"images/headers/reclamation-title.PNG",
    L"images/headers/compatability-title.png",
    L"images/headers/pre-title.PNG",
    L"images/headers/scan-title.PNG",
    L"images/headers/results-pass-title.png",
    L"images/headers/results-issues-title.png",
    L"images/windows/checked.png",
    L"images/windows/issues.png",
    L"images/windows/failed.png",
    L"images/windows/checked_small.PNG",
    L"images/windows/failed_small.PNG",
};

// The main window's section buttons with their tiles, in template order.
struct SectionTile {
    int id;
    const wchar_t* image;
};
const SectionTile kTiles[] = {
    {IDC_BTN_PRIVACY, L"images/buttons/privacy"},
    {IDC_BTN_LOCATION, L"images/buttons/location"},
    {IDC_BTN_SECURITY, L"images/buttons/security"},
    {IDC_BTN_THEMES, L"images/buttons/themes"},
    {IDC_BTN_RECLAMATION, L"images/buttons/reclamation"},
    {IDC_BTN_COMPATIBILITY, L"images/buttons/compatibility"},
};

using ImagePtr = std::unique_ptr<Gdiplus::Image>;

ImagePtr Load(const std::wstring& path)
{
    return ImagePtr(LoadImageFile(nullptr, path));
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The main window's template, created for its geometry only.
class MainTemplate {
public:
    MainTemplate()
        : m_dialog(::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102), nullptr,
                                        PlainDialogProc, 0))
    {
    }
    ~MainTemplate()
    {
        if (m_dialog)
            ::DestroyWindow(m_dialog);
    }
    MainTemplate(const MainTemplate&) = delete;
    MainTemplate& operator=(const MainTemplate&) = delete;
    HWND Get() const { return m_dialog; }
    RECT Client() const
    {
        RECT rect = {};
        ::GetClientRect(m_dialog, &rect);
        return rect;
    }
    RECT ItemRect(int id) const
    {
        RECT rect = {};
        ::GetWindowRect(::GetDlgItem(m_dialog, id), &rect);
        ::MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

private:
    HWND m_dialog;
};

} // namespace

TEST(DeliveredSkin, DescriptionBesideTheProgramHasEveryKey)
{
    CSkin skin;
    ASSERT_TRUE(skin.Load(BinFolder() + L"\\ui.xml", ::GetModuleHandleW(nullptr)));
    for (const wchar_t* key : kColourKeys) {
        BOOL found = FALSE;
        const Gdiplus::ARGB color = skin.GetColor(key, &found);
        EXPECT_TRUE(found) << key;
        EXPECT_EQ(color >> 24, 0xFFu) << key << ": colours of the skin are opaque";
    }
    // Text stands out from the background it is drawn on.
    EXPECT_NE(skin.GetColor(L"general/checkbox/text"), skin.GetColor(L"client/client_bg"));
    EXPECT_NE(skin.GetColor(L"client/body_text"), skin.GetColor(L"mainframe/bg"));
    BOOL found = FALSE;
    Gdiplus::Font* body = skin.GetFont(L"client/normal", &found);
    EXPECT_TRUE(found);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->GetLastStatus(), Gdiplus::Ok);
}

TEST(DeliveredSkin, EveryImageLoadsUnderItsExactName)
{
    for (const wchar_t* path : kImages) {
        std::wstring windowsPath = BinFolder() + L"\\" + path;
        std::replace(windowsPath.begin(), windowsPath.end(), L'/', L'\\');
        WIN32_FIND_DATAW data = {};
        HANDLE find = ::FindFirstFileW(windowsPath.c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << path;
        ::FindClose(find);
        const std::wstring name(path);
        EXPECT_EQ(std::wstring(data.cFileName), name.substr(name.rfind(L'/') + 1))
            << "letter case of " << path;
        ImagePtr image = Load(path);
        ASSERT_NE(image, nullptr) << path;
        EXPECT_GT(image->GetWidth(), 0u);
        EXPECT_GT(image->GetHeight(), 0u);
    }
}

TEST(DeliveredSkin, HeadersSpanTheMainWindowAndLeaveThePageTextsOnWhite)
{
    MainTemplate main;
    ASSERT_NE(main.Get(), nullptr);
    const RECT client = main.Client();
    for (const wchar_t* path : kImages) {
        if (std::wstring(path).find(L"/headers/") == std::wstring::npos)
            continue;
        ImagePtr header = Load(path);
        ASSERT_NE(header, nullptr) << path;
        EXPECT_EQ(static_cast<LONG>(header->GetWidth()), client.right) << path;
    }
    // The title of the home view starts below the header.
    ImagePtr tools = Load(L"images/headers/tools-title.PNG");
    EXPECT_LE(static_cast<LONG>(tools->GetHeight()), main.ItemRect(IDC_TITLE).top);
    // The results page lays its white panel out by the pass header; the other
    // header has to end at the same height.
    EXPECT_EQ(Load(L"images/headers/results-pass-title.png")->GetHeight(),
              Load(L"images/headers/results-issues-title.png")->GetHeight());
    // The pre-upgrade dialog's only button sits below its header.
    HWND pre =
        ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(134), nullptr, PlainDialogProc, 0);
    ASSERT_NE(pre, nullptr);
    RECT scan = {};
    ::GetWindowRect(::GetDlgItem(pre, IDC_START_SCAN), &scan);
    ::MapWindowPoints(nullptr, pre, reinterpret_cast<POINT*>(&scan), 2);
    ::DestroyWindow(pre);
    EXPECT_LT(static_cast<LONG>(Load(L"images/headers/pre-title.PNG")->GetHeight()), scan.top);
}

TEST(DeliveredSkin, SectionTilesFitTheHomeViewAndMatchTheirHoverImages)
{
    MainTemplate main;
    ASSERT_NE(main.Get(), nullptr);
    const RECT client = main.Client();
    std::vector<RECT> placed;
    for (const SectionTile& tile : kTiles) {
        ImagePtr normal = Load(std::wstring(tile.image) + L".png");
        ImagePtr hover = Load(std::wstring(tile.image) + L"_over.png");
        ASSERT_NE(normal, nullptr);
        ASSERT_NE(hover, nullptr);
        EXPECT_EQ(normal->GetWidth(), hover->GetWidth());
        EXPECT_EQ(normal->GetHeight(), hover->GetHeight());
        // The button takes the image's size at the template's position.
        const RECT item = main.ItemRect(tile.id);
        const RECT sized = {item.left, item.top, item.left + static_cast<LONG>(normal->GetWidth()),
                            item.top + static_cast<LONG>(normal->GetHeight())};
        EXPECT_LE(sized.right, client.right) << tile.image;
        EXPECT_LE(sized.bottom, main.ItemRect(IDC_ISSUES_NOTE).top)
            << tile.image << " reaches the issues note";
        EXPECT_GE(sized.top, main.ItemRect(IDC_TITLE).bottom) << tile.image << " covers the title";
        for (const RECT& other : placed) {
            RECT overlap = {};
            EXPECT_FALSE(::IntersectRect(&overlap, &sized, &other)) << tile.image << " overlaps a tile";
        }
        placed.push_back(sized);
    }
}

TEST(DeliveredSkin, MarksAndTabsHaveMatchingSizes)
{
    ImagePtr checkedSmall = Load(L"images/windows/checked_small.PNG");
    ImagePtr failedSmall = Load(L"images/windows/failed_small.PNG");
    ASSERT_NE(checkedSmall, nullptr);
    ASSERT_NE(failedSmall, nullptr);
    EXPECT_EQ(checkedSmall->GetWidth(), failedSmall->GetWidth());
    EXPECT_EQ(checkedSmall->GetHeight(), failedSmall->GetHeight());
    ImagePtr closed = Load(L"images/windows/tab-closed.png");
    ImagePtr opened = Load(L"images/windows/tab-opened.png");
    ASSERT_NE(closed, nullptr);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(closed->GetWidth(), opened->GetWidth());
    EXPECT_EQ(closed->GetHeight(), opened->GetHeight());
    // The open/close image fits the header bar (template 139).
    HWND host =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 200, nullptr, nullptr, nullptr, nullptr);
    HWND bar =
        ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(139), host, PlainDialogProc, 0);
    ASSERT_NE(bar, nullptr);
    RECT barClient = {};
    ::GetClientRect(bar, &barClient);
    ::DestroyWindow(host);
    EXPECT_LE(static_cast<LONG>(closed->GetHeight()), barClient.bottom);
    // The large marks share one size, so that the lines below them align.
    ImagePtr checked = Load(L"images/windows/checked.png");
    ImagePtr issues = Load(L"images/windows/issues.png");
    ImagePtr failed = Load(L"images/windows/failed.png");
    ASSERT_TRUE(checked && issues && failed);
    EXPECT_EQ(checked->GetHeight(), issues->GetHeight());
    EXPECT_EQ(checked->GetHeight(), failed->GetHeight());
}

namespace {

// Page templates with their headers; `onlyId` limits the check to one
// control when the page lays the others out itself below it.
struct PageHeader {
    int templateId;
    const wchar_t* header;
    int onlyId;
};
const PageHeader kPageHeaders[] = {
    {129, L"images/headers/security-title.png", 0},      {130, L"images/headers/privacy-title.PNG", 0},
    {131, L"images/headers/location-title.PNG", 0},      {132, L"images/headers/theme-title.png", 0},
    {135, L"images/headers/scan-title.PNG", 0},          {136, L"images/headers/results-pass-title.png", 0},
    {137, L"images/headers/compatability-title.png", 1}, {138, L"images/headers/reclamation-title.PNG", 0},
};

BOOL CALLBACK LowestTop(HWND child, LPARAM parameter)
{
    auto* state = reinterpret_cast<std::pair<HWND, LONG>*>(parameter);
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, state->first, reinterpret_cast<POINT*>(&rect), 2);
    state->second = std::min(state->second, rect.top);
    return TRUE;
}

} // namespace

TEST(DeliveredSkin, PageControlsStartBelowThePageHeader)
{
    HWND host =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1600, 1000, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    for (const PageHeader& page : kPageHeaders) {
        HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(page.templateId),
                                           host, PlainDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << page.templateId;
        std::pair<HWND, LONG> state(dialog, LONG_MAX);
        if (page.onlyId) {
            RECT rect = {};
            ::GetWindowRect(::GetDlgItem(dialog, page.onlyId), &rect);
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
            state.second = rect.top;
        } else {
            ::EnumChildWindows(dialog, LowestTop, reinterpret_cast<LPARAM>(&state));
        }
        ::DestroyWindow(dialog);
        ImagePtr header = Load(page.header);
        ASSERT_NE(header, nullptr) << page.header;
        EXPECT_LE(static_cast<LONG>(header->GetHeight()), state.second) << page.header;
    }
    ::DestroyWindow(host);
}
