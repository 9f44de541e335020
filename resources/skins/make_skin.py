#!/usr/bin/env python3
"""Draws the player's skins: skin.bmp (the 300 x 80 face and, to its right, the
pictures of the buttons and knobs) and color.txt, for each skin this project ships.

    make_skin.py <output Skin folder>

Writes <folder>/<name>/skin.bmp and color.txt for every skin below."""
import os
import struct
import sys

WIDTH, HEIGHT = 360, 80

# Each skin: face colours, accent, text colours of color.txt.
SKINS = {
    "default": {
        "top": (46, 52, 58), "bottom": (24, 27, 31), "edge": (92, 104, 114),
        "well": (12, 16, 14), "title_well": (222, 234, 224), "accent": (96, 200, 120), "button": (70, 78, 86),
        "button_dark": (40, 45, 50), "glyph": (225, 232, 236), "knob": (150, 220, 170),
        "title": (0, 128, 0), "time": (168, 129, 84),
    },
    "sakura": {
        "top": (252, 232, 238), "bottom": (236, 196, 210), "edge": (196, 120, 150),
        "well": (255, 248, 250), "title_well": (255, 248, 250), "accent": (214, 84, 132), "button": (246, 214, 224),
        "button_dark": (220, 160, 182), "glyph": (120, 40, 72), "knob": (214, 84, 132),
        "title": (140, 30, 80), "time": (120, 30, 70),
    },
}


class Canvas:
    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[colour] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, c)

    def frame(self, x, y, w, h, light, dark):
        for xx in range(x, x + w):
            self.put(xx, y, light)
            self.put(xx, y + h - 1, dark)
        for yy in range(y, y + h):
            self.put(x, yy, light)
            self.put(x + w - 1, yy, dark)

    def gradient(self, x, y, w, h, top, bottom):
        for yy in range(h):
            t = yy / max(1, h - 1)
            c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
            for xx in range(w):
                self.put(x + xx, y + yy, c)

    def pattern(self, x, y, rows, c):
        """Draws a glyph given as strings of '#' (ink) and '.' (nothing)."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == "#":
                    self.put(x + dx, y + dy, c)

    def save_bmp(self, path):
        row_size = (self.w * 3 + 3) & ~3
        data = bytearray()
        for y in range(self.h - 1, -1, -1):
            row = bytearray()
            for x in range(self.w):
                r, g, b = self.px[y][x]
                row += bytes((b, g, r))
            row += b"\0" * (row_size - len(row))
            data += row
        header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + data)


def shade(c, f):
    return tuple(max(0, min(255, round(v * f))) for v in c)


GLYPHS = {
    "previous": ["#..#..", "#.##.#", "####.#", "#.##.#", "#..#.."],
    "play": ["#...", "##..", "###.", "##..", "#..."],
    "pause": ["##.##", "##.##", "##.##", "##.##", "##.##"],
    "stop": ["#####", "#####", "#####", "#####", "#####"],
    "next": ["..#..#", "#.##.#", "#.####", "#.##.#", "..#..#"],
    "open": ["..#..", ".###.", "#####", ".....", "#####"],
    "playlist": ["#####", ".....", "#####", ".....", "#####"],
}
BUTTONS = ["previous", "play", "pause", "stop", "next", "open", "playlist"]


def draw_button(canvas, x, y, name, s, pressed):
    base = s["button_dark"] if pressed else s["button"]
    canvas.gradient(x, y, 20, 12, shade(base, 1.15), shade(base, 0.85))
    light, dark = shade(base, 1.5), shade(base, 0.55)
    canvas.frame(x, y, 20, 12, dark if pressed else light, light if pressed else dark)
    glyph = GLYPHS[name]
    gx = x + (20 - len(glyph[0])) // 2 + (1 if pressed else 0)
    gy = y + 3 + (1 if pressed else 0)
    canvas.pattern(gx, gy, glyph, s["accent"] if pressed else s["glyph"])


def draw_skin(name, s):
    c = Canvas(WIDTH, HEIGHT, (255, 0, 255))
    # The face.
    c.gradient(0, 0, 300, 80, s["top"], s["bottom"])
    c.frame(0, 0, 300, 80, s["edge"], shade(s["bottom"], 0.6))
    c.frame(1, 1, 298, 78, shade(s["top"], 1.2), shade(s["bottom"], 0.8))
    # Title well (the title display sits on it) and the time well.
    c.rect(33, 5, 220, 21, s["title_well"])
    c.frame(33, 5, 220, 21, shade(s["edge"], 0.6), shade(s["edge"], 1.3))
    c.rect(208, 28, 74, 16, s["well"])
    c.frame(208, 28, 74, 16, shade(s["edge"], 0.6), shade(s["edge"], 1.3))
    # Seek track: the knob's left edge runs from 32 to 266.
    c.rect(32, 48, 249, 3, s["well"])
    c.frame(32, 47, 249, 5, shade(s["edge"], 0.6), shade(s["edge"], 1.3))
    for tick in range(35, 270, 234 // 10):
        c.rect(tick, 53, 1, 2, shade(s["edge"], 1.2))
    # Volume track, left: the knob's top runs from 15 to 66.
    c.rect(15, 15, 4, 59, s["well"])
    c.frame(14, 14, 6, 61, shade(s["edge"], 0.6), shade(s["edge"], 1.3))
    # A small mark left of the title and a wordmark under the time.
    c.pattern(24, 10, ["#..", "##.", "###", "##.", "#.."], s["accent"])
    c.pattern(237, 60, ["#..#.###..##.###.###.#..#.#..#",
                        "#.#..#...#....#..#.#.#..#.##.#",
                        "##...##...#...#..##..#..#.#.##",
                        "#.#..#.....#..#..#.#.#..#.#..#",
                        "#..#.###.##...#..#.#..##..#..#"], shade(s["edge"], 1.1))
    # Face under the buttons stays the face; the button pictures sit right of it.
    for i, button in enumerate(BUTTONS):
        bx, by = (i // 3 + 15) * 20, (i % 3) * 24
        draw_button(c, bx, by, button, s, False)
        draw_button(c, bx, by + 12, button, s, True)
    # Seek knob 12 x 12 at (340, 24).
    c.rect(340, 24, 12, 12, s["top"])
    for yy in range(12):
        for xx in range(12):
            if (xx - 5.5) ** 2 + (yy - 5.5) ** 2 <= 30:
                c.put(340 + xx, 24 + yy, s["knob"] if (xx - 4) ** 2 + (yy - 4) ** 2 > 4 else shade(s["knob"], 1.3))
    # Volume knob 18 x 6 at (340, 36).
    c.gradient(340, 36, 18, 6, shade(s["knob"], 1.2), shade(s["knob"], 0.8))
    c.frame(340, 36, 18, 6, shade(s["knob"], 1.4), shade(s["knob"], 0.5))
    # Minimise 11 x 11 at (340, 42) and close at (340, 53).
    for y0, glyph in ((42, ["", "", "", "", "", "", "", "..#######.."]),
                      (53, ["", "", "..##...##..", "...##.##...", "....###....", "...##.##...", "..##...##.."])):
        c.gradient(340, y0, 11, 11, shade(s["button"], 1.1), shade(s["button"], 0.9))
        c.frame(340, y0, 11, 11, shade(s["button"], 1.5), shade(s["button"], 0.55))
        c.pattern(340, y0, glyph, s["glyph"])
    return c


def main():
    out = sys.argv[1]
    for name, s in SKINS.items():
        folder = os.path.join(out, name)
        os.makedirs(folder, exist_ok=True)
        draw_skin(name, s).save_bmp(os.path.join(folder, "skin.bmp"))
        with open(os.path.join(folder, "color.txt"), "w", newline="\r\n") as f:
            f.write("[TEXT]\nRED=%d\nGREEN=%d\nBLUE=%d\n[TIME]\nRED=%d\nGREEN=%d\nBLUE=%d\n"
                    % (s["title"] + s["time"]))


if __name__ == "__main__":
    main()
