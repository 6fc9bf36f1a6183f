#!/usr/bin/python3
"""Draws every image of the skin under skin/images: window and page headers,
the six section tiles with their hover states, the result marks and the
open/close images of the section header bars.

One look throughout: flat Windows 10 surfaces in the brand blue 0x0A70C5 and
white, white line icons, DejaVu Sans for text. Run it again after a change;
the PNG files it writes are committed with the sources.

    /usr/bin/python3 tools/skin/make_skin.py
"""
import os

from PIL import Image, ImageDraw, ImageFont

BLUE = (10, 112, 197)
BLUE_LIGHT = (43, 136, 216)
BLUE_DARK = (7, 84, 150)
WHITE = (255, 255, 255)
GREEN = (16, 124, 16)
AMBER = (255, 185, 0)
RED = (232, 17, 35)
INK = (31, 31, 31)

# The client width of the main window (template 102: 655 dialog units with
# MS Shell Dlg 8 at 96 DPI); the pages are laid over that area.
HEADER_WIDTH = 983
HEADER_HEIGHT = 140
# The pre-upgrade dialog shows only "Start Scan" below its header, which
# leaves room for an introduction.
HERO_HEIGHT = 320
TILE = (216, 128)
SCALE = 4  # shapes are drawn larger and reduced, for smooth edges

FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def font(size, weight="regular"):
    name = {"regular": "DejaVuSans.ttf", "bold": "DejaVuSans-Bold.ttf",
            "light": "DejaVuSans-ExtraLight.ttf"}[weight]
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def smooth(size, draw_shapes):
    """Draws shapes on a transparent canvas SCALE times larger and reduces it."""
    width, height = size
    big = Image.new("RGBA", (width * SCALE, height * SCALE), (0, 0, 0, 0))
    draw_shapes(ImageDraw.Draw(big), SCALE)
    return big.resize(size, getattr(Image, "Resampling", Image).LANCZOS)


# --- Line icons, drawn in a 48 x 48 box -----------------------------------

def icon_privacy(d, s, color):
    # An eye.
    w = 3 * s
    d.arc([2 * s, 10 * s, 46 * s, 58 * s], 218, 322, fill=color, width=w)
    d.arc([2 * s, -10 * s, 46 * s, 38 * s], 38, 142, fill=color, width=w)
    d.ellipse([16 * s, 16 * s, 32 * s, 32 * s], outline=color, width=w)
    d.ellipse([21 * s, 21 * s, 27 * s, 27 * s], fill=color)


def icon_location(d, s, color):
    # A map pin above its ground shadow.
    w = 3 * s
    d.ellipse([12 * s, 4 * s, 36 * s, 28 * s], outline=color, width=w)
    d.line([(13 * s, 21 * s), (24 * s, 40 * s), (35 * s, 21 * s)], fill=color, width=w, joint="curve")
    d.ellipse([20 * s, 12 * s, 28 * s, 20 * s], outline=color, width=w)
    d.line([(12 * s, 44 * s), (36 * s, 44 * s)], fill=color, width=w)


def icon_security(d, s, color):
    # A shield with a tick.
    w = 3 * s
    outline = [(24, 3), (41, 9), (41, 23), (38, 33), (31, 40), (24, 45),
               (17, 40), (10, 33), (7, 23), (7, 9), (24, 3)]
    d.line([(x * s, y * s) for x, y in outline], fill=color, width=w, joint="curve")
    d.line([(16 * s, 24 * s), (22 * s, 30 * s), (33 * s, 17 * s)], fill=color, width=w, joint="curve")


def icon_themes(d, s, color):
    # A disc half light, half dark: the light and dark themes.
    w = 3 * s
    d.ellipse([6 * s, 6 * s, 42 * s, 42 * s], outline=color, width=w)
    d.pieslice([6 * s, 6 * s, 42 * s, 42 * s], 90, 270, fill=color)


def icon_reclamation(d, s, color):
    # A waste bin.
    w = 3 * s
    d.line([(8 * s, 11 * s), (40 * s, 11 * s)], fill=color, width=w)
    d.line([(19 * s, 11 * s), (19 * s, 6 * s), (29 * s, 6 * s), (29 * s, 11 * s)], fill=color, width=w)
    d.line([(12 * s, 11 * s), (14 * s, 43 * s), (34 * s, 43 * s), (36 * s, 11 * s)], fill=color, width=w,
           joint="curve")
    for x in (19, 24, 29):
        d.line([(x * s, 18 * s), (x * s, 37 * s)], fill=color, width=2 * s)


def icon_compatibility(d, s, color):
    # A monitor with a tick on its screen.
    w = 3 * s
    d.rectangle([4 * s, 7 * s, 44 * s, 35 * s], outline=color, width=w)
    d.line([(24 * s, 35 * s), (24 * s, 42 * s)], fill=color, width=w)
    d.line([(14 * s, 43 * s), (34 * s, 43 * s)], fill=color, width=w)
    d.line([(16 * s, 21 * s), (22 * s, 27 * s), (32 * s, 16 * s)], fill=color, width=w, joint="curve")


SECTIONS = [
    # file name, tile label, icon
    ("privacy", "Privacy", icon_privacy),
    ("location", "Location", icon_location),
    ("security", "Security", icon_security),
    ("themes", "Theme", icon_themes),
    ("reclamation", "Reclamation", icon_reclamation),
    ("compatibility", "Device & App\nCompatibility", icon_compatibility),
]


def tile(label, icon, hover):
    """A Windows 10 start tile: icon in the middle, name at the bottom left."""
    width, height = TILE
    image = Image.new("RGBA", TILE, BLUE_LIGHT + (255,) if hover else BLUE + (255,))
    if hover:
        # The focus frame of a tile under the mouse.
        frame = ImageDraw.Draw(image)
        frame.rectangle([0, 0, width - 1, height - 1], outline=WHITE, width=2)
    glyph = smooth((48, 48), lambda d, s: icon(d, s, WHITE + (255,)))
    image.alpha_composite(glyph, ((width - 48) // 2, 22))
    draw = ImageDraw.Draw(image)
    lines = label.split("\n")
    text_font = font(14)
    line_height = 17
    y = height - 12 - line_height * len(lines)
    for line in lines:
        draw.text((12, y), line, font=text_font, fill=WHITE)
        y += line_height
    return image


def panes(draw, x, y, size, alpha):
    """The four panes of the program's icon, as a watermark."""
    gap = max(2, size // 14)
    pane = (size - gap) // 2
    for column in range(2):
        for row in range(2):
            left, top = x + column * (pane + gap), y + row * (pane + gap)
            draw.rectangle([left, top, left + pane - 1, top + pane - 1], fill=WHITE + (alpha,))


def header(title, subtitle, height=HEADER_HEIGHT, overline="ORVANE TOOLS", body=None, mark=None):
    """A page header: the brand band with its overline, title and subtitle."""
    image = Image.new("RGBA", (HEADER_WIDTH, height), BLUE + (255,))
    layer = Image.new("RGBA", image.size, (0, 0, 0, 0))
    deco = ImageDraw.Draw(layer)
    # A large watermark of the program's panes, cut by the right edge.
    panes(deco, HEADER_WIDTH - 210, height // 2 - 95, 190, 22)
    panes(deco, HEADER_WIDTH - 300, height // 2 + 10, 70, 16)
    image.alpha_composite(layer)

    draw = ImageDraw.Draw(image)
    left = 40
    top = 26 if height == HEADER_HEIGHT else 48
    if mark:
        glyph = smooth((44, 44), lambda d, s: mark(d, s, WHITE + (255,)))
        image.alpha_composite(glyph, (left, top + 26))
        left += 62
    draw.text((left, top), overline, font=font(12, "bold"), fill=(255, 255, 255, 200))
    title_font = font(38, "light")
    draw.text((left - 2, top + 18), title, font=title_font, fill=WHITE)
    draw.text((left, top + 70), subtitle, font=font(15), fill=(224, 238, 250))
    if body:
        y = top + 120
        for line in body:
            draw.text((left, y), line, font=font(14), fill=(224, 238, 250))
            y += 22
    return image


def mark_tick(d, s, color):
    d.line([(8 * s, 23 * s), (18 * s, 33 * s), (37 * s, 12 * s)], fill=color, width=5 * s, joint="curve")


def mark_warning(d, s, color):
    d.line([(22 * s, 6 * s), (40 * s, 38 * s), (4 * s, 38 * s), (22 * s, 6 * s)], fill=color, width=4 * s,
           joint="curve")
    d.line([(22 * s, 17 * s), (22 * s, 28 * s)], fill=color, width=4 * s)
    d.ellipse([20 * s, 31 * s, 24 * s, 35 * s], fill=color)


def result_mark(kind, size):
    """Round marks for passed and failed, a triangle for issues."""
    def shapes(d, s):
        n = size * s
        if kind == "checked":
            d.ellipse([0, 0, n - 1, n - 1], fill=GREEN + (255,))
            k = n / 48
            d.line([(13 * k, 25 * k), (21 * k, 33 * k), (36 * k, 16 * k)], fill=WHITE + (255,),
                   width=int(5 * k), joint="curve")
        elif kind == "failed":
            d.ellipse([0, 0, n - 1, n - 1], fill=RED + (255,))
            k = n / 48
            for a, b in (((15, 15), (33, 33)), ((33, 15), (15, 33))):
                d.line([(a[0] * k, a[1] * k), (b[0] * k, b[1] * k)], fill=WHITE + (255,), width=int(5 * k))
        else:
            k = n / 48
            d.polygon([(24 * k, 2 * k), (47 * k, 44 * k), (1 * k, 44 * k)], fill=AMBER + (255,))
            d.line([(24 * k, 16 * k), (24 * k, 31 * k)], fill=INK + (255,), width=int(5 * k))
            d.ellipse([21.5 * k, 35 * k, 26.5 * k, 40 * k], fill=INK + (255,))
    return smooth((size, size), shapes)


def chevron(up):
    """The open/close control of a section header bar, white on the bar's blue."""
    def shapes(d, s):
        d.ellipse([1 * s, 1 * s, 27 * s, 27 * s], outline=WHITE + (255,), width=2 * s)
        if up:
            points = [(8 * s, 17 * s), (14 * s, 11 * s), (20 * s, 17 * s)]
        else:
            points = [(8 * s, 11 * s), (14 * s, 17 * s), (20 * s, 11 * s)]
        d.line(points, fill=WHITE + (255,), width=3 * s, joint="curve")
    return smooth((28, 28), shapes)


HEADERS = [
    # file name (exactly as the program asks for it), title, subtitle
    ("tools-title.PNG", "Tavrin", "Fine-tune Windows 10: privacy, security, location, look and disk space"),
    ("privacy-title.PNG", "Privacy", "Choose what Windows 10 and your apps may collect and share"),
    ("location-title.PNG", "Location", "Decide whether apps and services may find out where this PC is"),
    ("security-title.png", "Security", "Switch off features that can expose your passwords and your data"),
    ("theme-title.png", "Theme", "Go dark, or bring back the familiar pieces of the desktop"),
    ("reclamation-title.PNG", "Reclamation", "Free the disk space that the upgrade left behind"),
    ("compatability-title.png", "Device & App Compatibility",
     "Drivers, applications and file associations that changed with the upgrade"),
    ("scan-title.PNG", "Scanning your PC", "Checking the upgrade requirements and recording what is installed"),
]


def main():
    top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    images = os.path.join(top, "skin", "images")
    for folder in ("headers", "buttons", "windows"):
        os.makedirs(os.path.join(images, folder), exist_ok=True)

    def save(image, folder, name):
        image.save(os.path.join(images, folder, name), optimize=True)

    for name, title, subtitle in HEADERS:
        save(header(title, subtitle), "headers", name)
    save(header("Ready for Windows 10", "This PC meets the requirements of the upgrade", mark=mark_tick),
         "headers", "results-pass-title.png")
    save(header("Compatibility results", "Some things need your attention before the upgrade",
                mark=mark_warning), "headers", "results-issues-title.png")
    save(header("Is your PC ready for Windows 10?",
                "Find out in a few seconds, before you upgrade", height=HERO_HEIGHT,
                body=["Tavrin checks this PC against the requirements of the Windows 10 upgrade",
                      "and records your applications, devices and file associations, so that",
                      "you can see after the upgrade what has changed.",
                      "",
                      "Click Start Scan to begin."]),
         "headers", "pre-title.PNG")

    for name, label, icon in SECTIONS:
        save(tile(label, icon, hover=False), "buttons", name + ".png")
        save(tile(label, icon, hover=True), "buttons", name + "_over.png")

    save(result_mark("checked", 48), "windows", "checked.png")
    save(result_mark("issues", 48), "windows", "issues.png")
    save(result_mark("failed", 48), "windows", "failed.png")
    save(result_mark("checked", 20), "windows", "checked_small.PNG")
    save(result_mark("failed", 20), "windows", "failed_small.PNG")
    save(chevron(up=False), "windows", "tab-closed.png")
    save(chevron(up=True), "windows", "tab-opened.png")


if __name__ == "__main__":
    main()
