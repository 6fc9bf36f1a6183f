// Sizes at every DPI, and what odd DPIs, font sizes and missing images do.
#include <gtest/gtest.h>

#include <memory>

#include "platform/Text.h"
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

namespace {

bool Reddish(const Gdiplus::Color& pixel)
{
    return pixel.GetRed() > pixel.GetBlue();
}
bool Greenish(const Gdiplus::Color& pixel)
{
    return pixel.GetGreen() > pixel.GetBlue();
}

} // namespace

TEST(Dpi, TheHeaderBandSpansAnyWidthWithItsTextsLeftAndItsDecorationRight)
{
    // A band of blue with a mark of red among its texts and a mark of green
    // in its decoration, each two columns wide.
    constexpr INT kImageWidth = kHeaderDecorationWidth + 97;
    constexpr INT kImageHeight = 10;
    Gdiplus::Bitmap image(kImageWidth, kImageHeight, PixelFormat32bppARGB);
    for (INT y = 0; y < kImageHeight; ++y)
        for (INT x = 0; x < kImageWidth; ++x) {
            const bool text = x == 10 || x == 11;
            const bool decoration = x == kImageWidth - 12 || x == kImageWidth - 11;
            image.SetPixel(x, y, Gdiplus::Color(text ? 0xFFFF0000 : decoration ? 0xFF00FF00 : 0xFF0A70C5));
        }
    const struct {
        UINT dpi;
        int width;
        int text;       // where a text column lands
        int decoration; // where a decoration column lands
    } cases[] = {
        {96, kImageWidth, 10, kImageWidth - 12},
        {96, kImageWidth + 201, 10, kImageWidth + 201 - 12},
        {192, 2 * kImageWidth + 75, 20, 2 * kImageWidth + 75 - 24},
        {144, 3 * kImageWidth, 15, 3 * kImageWidth - 18},
        // Narrower than the image: centred, both sides cut alike.
        {96, kImageWidth - 16, 10 - 8, kImageWidth - 12 - 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " dpi, " << c.width << " wide");
        const int scale = static_cast<int>(c.dpi);
        const int height = kImageHeight * scale / 96;
        Gdiplus::Bitmap canvas(c.width + 20, height + 10, PixelFormat32bppARGB);
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFF));
        EXPECT_EQ(DrawHeaderBand(graphics, &image, c.width, c.dpi, 10, 5), height);
        const INT row = 5 + height / 2;
        Gdiplus::Color pixel;
        canvas.GetPixel(10 + c.text, row, &pixel);
        EXPECT_TRUE(Reddish(pixel)) << std::hex << pixel.GetValue();
        canvas.GetPixel(10 + c.decoration, row, &pixel);
        EXPECT_TRUE(Greenish(pixel)) << std::hex << pixel.GetValue();
        // Every column of the band is drawn, and nothing beside or below it.
        for (INT x = 0; x < c.width + 20; ++x) {
            canvas.GetPixel(x, row, &pixel);
            const bool inBand = x >= 10 && x < 10 + c.width;
            EXPECT_EQ(pixel.GetValue() == 0xFFFFFFFF, !inBand) << x;
            canvas.GetPixel(x, 5, &pixel);
            EXPECT_EQ(pixel.GetValue() == 0xFFFFFFFF, !inBand) << x;
            canvas.GetPixel(x, 5 + height, &pixel);
            EXPECT_EQ(pixel.GetValue(), 0xFFFFFFFFu) << x;
        }
        // Between the texts and the decoration: the band's own blue.
        if (c.width > kImageWidth * scale / 96) {
            canvas.GetPixel(10 + c.width - (kHeaderDecorationWidth + 1) * scale / 96, row, &pixel);
            EXPECT_EQ(pixel.GetValue(), 0xFF0A70C5u);
        }
    }
}

TEST(Dpi, EveryHeaderImageHasItsPlainColumnWhereTheBandStretches)
{
    const std::wstring folder = BinFolder() + L"\\images\\headers\\";
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int images = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        SCOPED_TRACE(Tavrin::Platform::Narrow(found.cFileName));
        Gdiplus::Bitmap image((folder + found.cFileName).c_str());
        ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok);
        const INT width = static_cast<INT>(image.GetWidth());
        ASSERT_GT(width, kHeaderDecorationWidth);
        Gdiplus::Color band;
        Gdiplus::Color pixel;
        image.GetPixel(0, 0, &band);
        for (INT y = 0; y < static_cast<INT>(image.GetHeight()); ++y) {
            image.GetPixel(width - kHeaderDecorationWidth, y, &pixel);
            ASSERT_EQ(pixel.GetValue(), band.GetValue()) << "row " << y;
        }
        ++images;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    EXPECT_GT(images, 0);
}
