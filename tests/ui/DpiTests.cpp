// Sizes at every DPI, and what odd DPIs, font sizes and missing images do.
#include <gtest/gtest.h>

#include <memory>

#include "platform/Text.h"
#include "platform/UniqueHandle.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/CThemeButton.h"
#include "ui/controls/PageDrawing.h"
#include "ui/skin/Dpi.h"

using namespace Tavrin::Test;

namespace {

// The message font's em size in pixels.
Gdiplus::REAL PixelSize(const Gdiplus::Font& font)
{
    Tavrin::Platform::WindowDc screen(nullptr);
    Gdiplus::Graphics graphics(screen.Get());
    return font.GetHeight(&graphics);
}

} // namespace

TEST(Dpi, ScalesDesignPixelsAndTakesOddDpisAsTheNearestSoundOne)
{
    const struct {
        UINT dpi;
        int design;
        int device;
    } cases[] = {
        {96, 983, 983}, {120, 983, 1229}, {144, 25, 38},   {192, 20, 40},   {480, 983, 4915},
        {0, 100, 100},  {1, 10, 5},       {5000, 10, 100}, {144, -20, -30}, {120, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Dpi::Scale(c.design, c.dpi), c.device) << c.dpi << " " << c.design;
    EXPECT_EQ(Dpi::OfWindow(nullptr), Dpi::OfSystem());
    const SIZE size = Dpi::Scale(SIZE{216, 128}, 144);
    EXPECT_EQ(size.cx, 324);
    EXPECT_EQ(size.cy, 192);
}

TEST(Dpi, SkinFontsOfNoSizeOrAHugeOneGetSensibleSizesAtEveryDpi)
{
    TempFolder folder;
    WriteFileBytes(folder.File(L"ui.xml"), R"(<?xml version="1.0" encoding="utf-8"?>
<ui><fonts><zero size="0"/><negative size="-5"/><huge size="100000"/><nine size="9"/></fonts></ui>
)");
    ASSERT_TRUE(theSkin.Load(folder.File(L"ui.xml"), ::GetModuleHandleW(nullptr)));
    for (UINT dpi : {96u, 144u, 480u}) {
        SCOPED_TRACE(dpi);
        std::unique_ptr<Gdiplus::Font> system(CreateMessageFont(FontSpec::Regular(), dpi));
        std::unique_ptr<Gdiplus::Font> largest(CreateMessageFont(FontSpec::Regular(kLargestPoints), dpi));
        ASSERT_TRUE(system && largest);
        const Gdiplus::REAL userSize = PixelSize(*system);
        EXPECT_GT(userSize, 0.0f);
        for (const wchar_t* key : {L"zero", L"negative"}) {
            Gdiplus::Font* font = theSkin.GetFont(key, nullptr, dpi);
            ASSERT_NE(font, nullptr) << key;
            // The user's own size, not whatever GDI picks for a height of 0.
            EXPECT_NEAR(PixelSize(*font), userSize, 1.0f) << key;
        }
        Gdiplus::Font* huge = theSkin.GetFont(L"huge", nullptr, dpi);
        ASSERT_NE(huge, nullptr);
        EXPECT_NEAR(PixelSize(*huge), PixelSize(*largest), 1.0f);
        Gdiplus::Font* nine = theSkin.GetFont(L"nine", nullptr, dpi);
        ASSERT_NE(nine, nullptr);
        // 9 points at this DPI, as the line height of the font shows it.
        EXPECT_GT(PixelSize(*nine), 9.0f * dpi / 72.0f);
        EXPECT_LT(PixelSize(*nine), 9.0f * dpi / 72.0f * 1.6f);
    }
    // Each DPI has its own font.
    EXPECT_NE(theSkin.GetFont(L"nine", nullptr, 96), theSkin.GetFont(L"nine", nullptr, 192));
    theSkin.Reset();
}

TEST(Dpi, AnImageAtItsOwnSizeIsCopiedExactlyAndScaledOnesKeepTheirEdges)
{
    // A checkerboard of two colours: resampling shows at once as mixed pixels.
    Gdiplus::Bitmap image(8, 6, PixelFormat32bppARGB);
    for (INT y = 0; y < 6; ++y)
        for (INT x = 0; x < 8; ++x)
            image.SetPixel(x, y, Gdiplus::Color((x + y) % 2 ? 0xFFFF0000 : 0xFF0000FF));
    for (UINT dpi : {96u, 192u}) {
        SCOPED_TRACE(dpi);
        Gdiplus::Bitmap canvas(40, 40, PixelFormat32bppARGB);
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(0xFF00FF00));
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeBilinear);
        DrawImageAt(graphics, &image, 3, 4, dpi);
        EXPECT_EQ(graphics.GetInterpolationMode(), Gdiplus::InterpolationModeBilinear) << "settings restored";
        const int scale = static_cast<int>(dpi / 96);
        for (INT y = 0; y < 6 * scale; ++y)
            for (INT x = 0; x < 8 * scale; ++x) {
                Gdiplus::Color pixel;
                canvas.GetPixel(3 + x, 4 + y, &pixel);
                // Nothing of the green outside bleeds in at the edges.
                EXPECT_EQ(pixel.GetGreen(), 0) << x << "," << y;
                if (scale == 1) {
                    Gdiplus::Color source;
                    image.GetPixel(x, y, &source);
                    EXPECT_EQ(pixel.GetValue(), source.GetValue()) << x << "," << y;
                }
            }
    }
}

TEST(Dpi, AMissingImageDrawsNothingAndSizesNothingAtAnyDpi)
{
    TestSkin skin;
    Gdiplus::Bitmap canvas(64, 64, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&canvas);
    graphics.Clear(Gdiplus::Color(0xFF00FF00));
    for (UINT dpi : {96u, 120u, 144u, 192u, 480u}) {
        SCOPED_TRACE(dpi);
        const SIZE size = ImageSizeAt(nullptr, dpi);
        EXPECT_EQ(size.cx, 0);
        EXPECT_EQ(size.cy, 0);
        EXPECT_EQ(DrawHeaderBand(graphics, nullptr, 64, dpi), 0);
        DrawImageAt(graphics, nullptr, 0, 0, dpi);
        EXPECT_EQ(DrawHeaderAndWhitePanel(graphics, nullptr, RECT{0, 0, 64, 64}, 0xFF0000FF, dpi), 0);
    }
    // A button whose images are missing keeps its template size.
    DialogTemplate form(WS_POPUP | WS_VISIBLE, 10, 10, 100, 60, L"Missing");
    form.AddButton(1600, L"Tile", BS_PUSHBUTTON, 10, 10, 50, 20);
    TestPage page;
    ASSERT_TRUE(page.CreateIndirect(form.Get(), nullptr));
    CThemeButton button;
    ASSERT_TRUE(button.SubclassDlgItem(1600, page));
    const RECT before = button.GetClientRect();
    button.SetImages(L"images/none.png", L"images/none_over.png", L"", L"");
    button.SizeToImage();
    EXPECT_EQ(button.GetImageSize().cx, 0);
    const RECT after = button.GetClientRect();
    EXPECT_TRUE(::EqualRect(&before, &after));
    EXPECT_FALSE(CaptureWindow(page).Empty());
}

// The band stretches the column where the texts end and the decoration
// begins: in every header image it is all the band's colour.
TEST(Dpi, EveryHeaderImageHasItsPlainColumnWhereTheBandStretches)
{
    const std::wstring folder = BinFolder() + L"\\images\\headers\\";
    WIN32_FIND_DATAW found = {};
    Tavrin::Platform::UniqueFindHandle search(::FindFirstFileW((folder + L"*").c_str(), &found));
    ASSERT_TRUE(search);
    int images = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        SCOPED_TRACE(Tavrin::Platform::Narrow(found.cFileName));
        Gdiplus::Bitmap image((folder + found.cFileName).c_str());
        ASSERT_GT(static_cast<INT>(image.GetWidth()), kHeaderDecorationWidth);
        const INT plain = static_cast<INT>(image.GetWidth()) - kHeaderDecorationWidth;
        Gdiplus::Color band;
        Gdiplus::Color pixel;
        image.GetPixel(0, 0, &band);
        for (INT y = 0; y < static_cast<INT>(image.GetHeight()); ++y) {
            image.GetPixel(plain, y, &pixel);
            ASSERT_EQ(pixel.GetValue(), band.GetValue()) << "row " << y;
        }
        ++images;
    } while (::FindNextFileW(search.Get(), &found));
    EXPECT_GT(images, 0);
}
