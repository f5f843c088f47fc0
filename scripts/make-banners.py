#!/usr/bin/python3
"""Draws the banner pictures that tool dialogs show beside their controls.

Each banner is a vertical strip: a colour gradient with a few shapes that hint at the tool.
Run from the repository root; writes src/resources/banners/<number>.jpg (baseline JPEG).
"""
import math
import os
import sys

from PIL import Image, ImageDraw

OUT = os.path.join("src", "resources", "banners")
WIDTH, HEIGHT = 96, 272


def gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    draw = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(h - 1, 1)
        colour = tuple(int(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(0, y), (w, y)], fill=colour)
    return img


def frames(draw, w, h):
    # Stacked film frames: the animation compiler.
    for i in range(4):
        y = 40 + i * 52
        draw.rectangle([18, y, w - 18, y + 40], outline=(255, 255, 255), width=2)
        draw.ellipse([34 + i * 4, y + 10, 54 + i * 4, y + 30], fill=(255, 210, 90))
    for y in range(30, h - 20, 12):
        draw.rectangle([6, y, 12, y + 6], fill=(30, 30, 40))
        draw.rectangle([w - 12, y, w - 6, y + 6], fill=(30, 30, 40))


def icons(draw, w, h):
    # A grid of small squares and an arrow pointer: the icon and cursor compiler.
    for row in range(5):
        for col in range(3):
            x, y = 14 + col * 24, 30 + row * 24
            shade = 120 + 25 * ((row + col) % 4)
            draw.rectangle([x, y, x + 18, y + 18], fill=(shade, shade // 2, 200))
    pointer = [(30, 170), (30, 240), (46, 224), (58, 250), (66, 246), (54, 220), (74, 220)]
    draw.polygon(pointer, fill=(255, 255, 255), outline=(20, 20, 20))


def batch(draw, w, h):
    # Several pages turning into one format: the batch convertor.
    for i in range(3):
        x, y = 16 + i * 10, 30 + i * 14
        draw.rectangle([x, y, x + 44, y + 58], fill=(245, 245, 235), outline=(60, 60, 60))
    draw.polygon([(40, 140), (56, 140), (56, 170), (68, 170), (48, 196), (28, 170), (40, 170)],
                 fill=(255, 200, 60))
    draw.rectangle([22, 206, 74, 250], fill=(250, 250, 250), outline=(40, 40, 40), width=2)


def rotate(draw, w, h):
    # A picture and circular arrows: lossless JPEG transformations.
    draw.rectangle([20, 60, 76, 110], fill=(250, 240, 210), outline=(40, 40, 40), width=2)
    draw.polygon([(24, 106), (44, 78), (60, 106)], fill=(70, 140, 70))
    cx, cy, r = 48, 180, 30
    draw.arc([cx - r, cy - r, cx + r, cy + r], start=200, end=500, fill=(255, 255, 255), width=5)
    ang = math.radians(140)
    tip = (cx + r * math.cos(ang), cy + r * math.sin(ang))
    draw.polygon([(tip[0] - 10, tip[1] - 4), (tip[0] + 8, tip[1] - 10), (tip[0] + 2, tip[1] + 8)],
                 fill=(255, 255, 255))


def printer(draw, w, h):
    # A printer with a sheet coming out.
    draw.rectangle([24, 40, 72, 90], fill=(250, 250, 250), outline=(40, 40, 40))
    draw.rectangle([10, 90, 86, 150], fill=(90, 90, 100), outline=(30, 30, 30), width=2)
    draw.rectangle([24, 140, 72, 220], fill=(255, 255, 255), outline=(40, 40, 40))
    for y in range(152, 210, 10):
        draw.line([(30, y), (66, y)], fill=(150, 150, 160), width=2)
    draw.ellipse([70, 100, 78, 108], fill=(120, 230, 120))


def brush(draw, w, h):
    # A paint brush and colour dabs: the companion editor.
    for i, colour in enumerate([(230, 60, 60), (60, 180, 70), (60, 90, 220), (240, 200, 40)]):
        draw.ellipse([14 + (i % 2) * 36, 40 + (i // 2) * 40, 46 + (i % 2) * 36, 72 + (i // 2) * 40],
                     fill=colour)
    draw.polygon([(40, 150), (56, 150), (60, 240), (36, 240)], fill=(170, 120, 70))
    draw.rectangle([36, 136, 60, 152], fill=(200, 200, 210))
    draw.polygon([(38, 120), (58, 120), (56, 138), (40, 138)], fill=(40, 40, 40))


BANNERS = {
    294: ((40, 70, 140), (120, 180, 230), batch),
    296: ((90, 30, 110), (230, 120, 160), frames),
    297: ((20, 90, 90), (110, 200, 170), icons),
    298: ((110, 60, 20), (230, 170, 90), rotate),
    299: ((50, 50, 60), (160, 170, 190), printer),
    340: ((30, 100, 50), (170, 220, 120), brush),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for number, (top, bottom, art) in BANNERS.items():
        img = gradient((WIDTH, HEIGHT), top, bottom)
        art(ImageDraw.Draw(img), WIDTH, HEIGHT)
        path = os.path.join(OUT, f"{number}.jpg")
        img.save(path, "JPEG", quality=88, optimize=False, progressive=False)
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
