#include "ui/skin/Skin.h"

#include <climits>
#include <cstddef>
#include <cstdint>

#include "platform/GdiHandles.h"
#include "ui/skin/Dpi.h"
#include "ui/skin/ImagePreload.h"

CSkin theSkin;

namespace {

std::wstring Trim(const std::wstring& text, wchar_t c)
{
    const size_t first = text.find_first_not_of(c);
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(c) - first + 1);
}

void Report(BOOL* found, BOOL value)
{
    if (found)
        *found = value;
}

// First element on the path below a section of the description; an empty
// node when nothing matches or the key does not make a valid query.
pugi::xml_node SelectElement(const pugi::xml_document& document, const wchar_t* section,
                             const std::wstring& key)
{
    if (key.empty())
        return pugi::xml_node();
    const std::wstring query = std::wstring(L"/ui/") + section + L"/" + key;
#ifndef PUGIXML_NO_EXCEPTIONS
    try {
        return document.select_node(query.c_str()).node();
    } catch (const pugi::xpath_exception&) {
        return pugi::xml_node();
    }
#else
    return document.select_node(query.c_str()).node();
#endif
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// "#RRGGBB" or "#AARRGGBB"; digits stop at the first other character, and a
// number too large for 32 bits reads as the largest one.
Gdiplus::ARGB ParseHexColor(const std::wstring& attribute)
{
    const std::wstring digits = Trim(attribute, L'#');
    uint64_t value = 0;
    for (wchar_t c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > UINT32_MAX) {
            value = UINT32_MAX;
            break;
        }
    }
    const uint32_t number = static_cast<uint32_t>(value);
    const uint32_t alpha = digits.size() == 8 ? (number >> 24) & 0xFF : 0xFF;
    return alpha << 24 | (number & 0xFFFFFF);
}

uint32_t LowByte(const pugi::xml_attribute& attribute)
{
    return static_cast<uint32_t>(attribute.as_int()) & 0xFF;
}

// The message font of the system, as a logical font.
LOGFONTW MessageLogFont()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // Before Vista the record ends before the padded-border field.
    if (::GetVersionExW(&version) && version.dwMajorVersion < 6)
        metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
#pragma GCC diagnostic pop
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        return metrics.lfMessageFont;
    // Without the metrics the GUI font is the closest the system offers.
    LOGFONTW fallback = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
    return fallback;
}

} // namespace

CSkin::CSkin()
{
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &m_gdiplusInput, nullptr);
}

CSkin::~CSkin()
{
    Reset();
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

bool CSkin::Load(const std::wstring& path, HINSTANCE instance)
{
    Reset();
    m_instance = instance;
    const pugi::xml_parse_result result =
        m_document.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto);
    m_loaded = result.status == pugi::status_ok;
    return m_loaded;
}

void CSkin::Reset()
{
    m_loaded = false;
    m_document.reset();
    m_colors.clear();
    m_fonts.clear();
    m_instance = nullptr;
}

Gdiplus::ARGB CSkin::GetColor(const std::wstring& key, BOOL* found)
{
    if (!m_loaded) {
        // Nothing was looked up, so nothing was found.
        Report(found, FALSE);
        return 0;
    }
    const std::wstring trimmed = Trim(key, L'/');
    const auto cached = m_colors.find(trimmed);
    if (cached != m_colors.end()) {
        Report(found, TRUE);
        return cached->second;
    }
    const pugi::xml_node element = SelectElement(m_document, L"colors", trimmed);
    const Gdiplus::ARGB missing = 0xFF000000;
    if (!element) {
        Report(found, FALSE);
        return missing;
    }
    Gdiplus::ARGB color;
    if (const pugi::xml_attribute hex = element.attribute(L"hex")) {
        color = ParseHexColor(hex.value());
    } else {
        const pugi::xml_attribute r = element.attribute(L"r");
        const pugi::xml_attribute g = element.attribute(L"g");
        const pugi::xml_attribute b = element.attribute(L"b");
        if (!r || !g || !b) {
            Report(found, FALSE);
            return missing;
        }
        const pugi::xml_attribute a = element.attribute(L"a");
        const uint32_t alpha = a ? LowByte(a) : 0xFF;
        color = alpha << 24 | LowByte(r) << 16 | LowByte(g) << 8 | LowByte(b);
    }
    m_colors[trimmed] = color;
    Report(found, TRUE);
    return color;
}

Gdiplus::Font* CSkin::GetFont(const std::wstring& key, BOOL* found, UINT dpi)
{
    if (!m_loaded) {
        Report(found, FALSE);
        return nullptr;
    }
    const std::wstring trimmed = Trim(key, L'/');
    if (dpi == 0)
        dpi = Dpi::OfSystem();
    // One font per key and DPI: windows on monitors of different scales
    // share the skin.
    const std::wstring cacheKey = trimmed + L"@" + std::to_wstring(dpi);
    const auto cached = m_fonts.find(cacheKey);
    if (cached != m_fonts.end()) {
        Report(found, TRUE);
        return cached->second.get();
    }
    const pugi::xml_node element = SelectElement(m_document, L"fonts", trimmed);
    const pugi::xml_attribute size = element.attribute(L"size");
    if (!size) {
        Report(found, FALSE);
        return nullptr;
    }
    const FontSpec spec = FontSpec::Regular(size.as_int())
                              .Bold(element.attribute(L"bold").as_bool())
                              .Italic(element.attribute(L"italic").as_bool())
                              .Underlined(element.attribute(L"underline").as_bool());
    std::unique_ptr<Gdiplus::Font> font(CreateMessageFont(spec, dpi));
    if (!font) {
        Report(found, FALSE);
        return nullptr;
    }
    Gdiplus::Font* result = font.get();
    m_fonts[cacheKey] = std::move(font);
    Report(found, TRUE);
    return result;
}

Gdiplus::Font* CreateMessageFont(const FontSpec& spec, UINT dpi)
{
    const int size = spec.points;
    LOGFONTW logFont = MessageLogFont();
    // A memory context has the screen's metrics without borrowing a window's
    // context, which costs a round trip to the window manager on some systems.
    Tavrin::Platform::UniqueCreatedDc screen(::CreateCompatibleDC(nullptr));
    const UINT system = Dpi::OfSystem();
    if (dpi == 0)
        dpi = system;
    if (size > 0) {
        logFont.lfHeight = -::MulDiv(std::min(size, kLargestPoints), static_cast<int>(dpi), 72);
    } else {
        // The message font is given at the system DPI. A size of 0 would let
        // GDI pick any size; the user's own size is the sensible one.
        if (logFont.lfHeight == 0)
            logFont.lfHeight = -::MulDiv(9, static_cast<int>(system), 72);
        logFont.lfHeight = ::MulDiv(logFont.lfHeight, static_cast<int>(dpi), static_cast<int>(system));
    }
    logFont.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = spec.italic ? TRUE : FALSE;
    logFont.lfUnderline = spec.underline ? TRUE : FALSE;
    logFont.lfStrikeOut = FALSE;
    // GDI+ allocates through its own operator new, which yields null when
    // out of memory; a font it cannot build keeps the error in its status.
    return new Gdiplus::Font(screen.Get(), &logFont);
}

Gdiplus::Image* LoadImageFile(HINSTANCE instance, const std::wstring& relativePath)
{
    if (relativePath.empty())
        return nullptr;
    if (Gdiplus::Image* preloaded = CImagePreload::Take(instance, relativePath))
        return preloaded;
    wchar_t module[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(instance, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path(module, length);
    path.erase(path.find_last_of(L'\\') + 1);
    path += relativePath;
    // The combined path has to fit a classic path buffer with its terminator.
    if (path.size() >= MAX_PATH)
        return nullptr;
    std::unique_ptr<Gdiplus::Image> image(new Gdiplus::Image(path.c_str()));
    if (!image || image->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return image.release();
}

COLORREF ToColorRef(Gdiplus::ARGB color)
{
    return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}
