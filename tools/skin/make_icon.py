#!/usr/bin/python3
"""Draws the program icon res/tavrin.ico: four white panes on the brand blue."""
import os
from PIL import Image, ImageDraw

BLUE = (10, 112, 197, 255)
WHITE = (255, 255, 255, 255)


def pane_icon(size):
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    draw.rounded_rectangle([0, 0, size - 1, size - 1], radius=max(2, size // 8), fill=BLUE)
    margin, gap = size // 5, max(1, size // 16)
    pane = (size - 2 * margin - gap) // 2
    for column in range(2):
        for row in range(2):
            x, y = margin + column * (pane + gap), margin + row * (pane + gap)
            draw.rectangle([x, y, x + pane - 1, y + pane - 1], fill=WHITE)
    return image


if __name__ == "__main__":
    top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    sizes = [16, 24, 32, 48, 64, 256]
    pane_icon(256).save(os.path.join(top, "res", "tavrin.ico"), sizes=[(s, s) for s in sizes])
