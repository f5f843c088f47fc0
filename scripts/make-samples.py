#!/usr/bin/env python3
"""Draws the bundled sample pictures (all made here, no outside material). Needs Pillow."""
import math
import os
import sys

from PIL import Image, ImageDraw

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "samples")
os.makedirs(out, exist_ok=True)


def mandelbrot(w, h):
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            c = complex(-2.2 + 3.0 * x / w, -1.2 + 2.4 * y / h)
            z, n = 0j, 0
            while abs(z) < 2 and n < 48:
                z = z * z + c
                n += 1
            t = n / 48
            px[x, y] = (int(255 * t ** 0.5), int(255 * t ** 1.5), int(128 + 127 * math.sin(6 * t)))
    return img


def landscape(w, h):
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / h
        d.line([(0, y), (w, y)], fill=(int(40 + 120 * t), int(90 + 100 * t), int(200 - 60 * t)))
    d.ellipse([w * 0.7, h * 0.1, w * 0.82, h * 0.1 + w * 0.12], fill=(255, 230, 120))
    for i, colour in enumerate([(60, 110, 60), (40, 85, 45), (30, 60, 35)]):
        pts = [(0, h)]
        for x in range(0, w + 1, 8):
            pts.append((x, h * (0.55 + 0.1 * i) - 40 * math.sin(x / (70 + 30 * i) + i) - 15 * math.sin(x / 23)))
        pts.append((w, h))
        d.polygon(pts, fill=colour)
    return img


def spiral_frames(size, count):
    frames = []
    for f in range(count):
        img = Image.new("P", (size, size), 0)
        img.putpalette([0, 0, 0] + [int(127 + 127 * math.sin(i / 40 + k)) for i in range(255) for k in (0, 2, 4)])
        d = ImageDraw.Draw(img)
        for r in range(size // 2, 0, -4):
            a = f * 2 * math.pi / count + r / 9
            cx, cy = size / 2 + 10 * math.cos(a), size / 2 + 10 * math.sin(a)
            d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=1 + (r * 3 + f * 9) % 254)
        frames.append(img)
    return frames


landscape(800, 533).save(os.path.join(out, "hills.jpg"), quality=88)
mandelbrot(480, 360).save(os.path.join(out, "fractal.png"))
mandelbrot(320, 240).transpose(Image.FLIP_LEFT_RIGHT).convert("P", palette=Image.ADAPTIVE, colors=256).save(os.path.join(out, "fractal-mirror.bmp"))
frames = spiral_frames(160, 12)
frames[0].save(os.path.join(out, "spiral.gif"), save_all=True, append_images=frames[1:], duration=80, loop=0)
badge = Image.new("RGBA", (64, 64), (0, 0, 0, 0))
d = ImageDraw.Draw(badge)
d.ellipse([4, 4, 60, 60], fill=(220, 60, 40, 255), outline=(255, 255, 255, 255), width=3)
d.polygon([(22, 18), (46, 32), (22, 46)], fill=(255, 255, 255, 230))
badge.save(os.path.join(out, "badge.tga"))
badge.save(os.path.join(out, "badge.ico"), sizes=[(16, 16), (32, 32), (64, 64)])
landscape(300, 200).convert("L").save(os.path.join(out, "hills-gray.pgm"))
landscape(240, 160).convert("P", palette=Image.ADAPTIVE, colors=16).save(os.path.join(out, "hills-16.pcx"))
