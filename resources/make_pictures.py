#!/usr/bin/python3
"""Draws the pictures of Tavlin's windows into this folder.

Run with Debian's Python and its python3-pil package, and a CJK font
(fonts-arphic-uming). The pictures are committed; run this again only to
change them.

  title.jpg           the title strip (stretched across the window, 67 high)
  btn_<name>.png      the four title buttons, 60 x 60, normal face
  btn_<name>_hi.png   the same, highlighted face
  back.jpg            the picture behind the error texts, 400 x 400
  loading.gif         the loading indicator, 16 x 16, 12 frames of 100 ms
  icons/<n>.png       the program's icon, n x n for the desktop's sizes

Each window picture is also drawn at twice its size, as <name>@2x.<ext>, for
screens scaled from 125 to 200 %: drawn at that size, not scaled up, so that
its lines and captions are as sharp as the window's text.
"""
import math
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = "/usr/share/fonts/truetype/arphic/uming.ttc"
NAVY = (24, 62, 118)
BLUE = (40, 91, 162)
LIGHT = (112, 160, 222)


def font(size):
    return ImageFont.truetype(FONT, size, index=2)  # AR PL UMing CN


class Canvas:
    """ImageDraw with every length given at 1x and drawn k times as large."""

    def __init__(self, img, k):
        self.d = ImageDraw.Draw(img)
        self.k = k

    def _xy(self, xy):
        if isinstance(xy[0], (tuple, list)):
            return [(x * self.k, y * self.k) for x, y in xy]
        return tuple(v * self.k for v in xy)

    def ellipse(self, xy, width=1, **kw):
        self.d.ellipse(self._xy(xy), width=width * self.k, **kw)

    def polygon(self, xy, **kw):
        self.d.polygon(self._xy(xy), **kw)

    def line(self, xy, width=1, **kw):
        self.d.line(self._xy(xy), width=width * self.k, **kw)

    def arc(self, xy, width=1, **kw):
        self.d.arc(self._xy(xy), width=width * self.k, **kw)

    def rectangle(self, xy, width=1, **kw):
        self.d.rectangle(self._xy(xy), width=width * self.k, **kw)

    def rounded_rectangle(self, xy, radius, width=1, **kw):
        self.d.rounded_rectangle(self._xy(xy), radius=radius * self.k, width=width * self.k, **kw)

    def text(self, xy, text, size, **kw):
        self.d.text(self._xy(xy), text, font=font(size * self.k), **kw)

    def textlength(self, text, size):
        return self.d.textlength(text, font=font(size * self.k)) / self.k


def name_at(name, k):
    """The file name of a picture drawn at k times its size."""
    if k == 1:
        return name
    stem, ext = os.path.splitext(name)
    return "%s@%dx%s" % (stem, k, ext)


def gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
        for x in range(w):
            px[x, y] = c
    return img


def emblem(draw, cx, cy, r, k=1):
    """A police-style badge: shield ring with a five-pointed star. k scales
    the ring's lines for a badge drawn large."""
    draw.ellipse((cx - r, cy - r, cx + r, cy + r), fill=(214, 170, 60), outline=(255, 226, 140),
                 width=2 * k)
    draw.ellipse((cx - r + 5 * k, cy - r + 5 * k, cx + r - 5 * k, cy + r - 5 * k), fill=(170, 30, 36))
    pts = []
    for k2 in range(10):
        rad = (r - 9 * k) if k2 % 2 == 0 else (r - 9 * k) * 0.42
        a = -math.pi / 2 + k2 * math.pi / 5
        pts.append((cx + rad * math.cos(a), cy + rad * math.sin(a)))
    draw.polygon(pts, fill=(255, 214, 90))


def title_strip(k):
    w, h = 1024, 67
    img = gradient((w * k, h * k), (44, 98, 172), (20, 55, 108))
    d = Canvas(img, k)
    # A soft band of light across the strip.
    for x in range(0, w, 2):
        a = int(22 * (1 + math.sin(x / 90.0)))
        d.line((x, 0, x - 40, h), fill=(60 + a, 110 + a, 185 + a))
    img = img.filter(ImageFilter.GaussianBlur(1.2 * k))
    d = Canvas(img, k)
    emblem(d, 40, 33, 25)
    d.text((80, 10), "企业监督检查系统", 28, fill=(255, 255, 255))
    d.text((82, 44), "治安管理 · 行业场所监督检查客户端", 13, fill=(200, 220, 250))
    d.line((0, h - 1, w, h - 1), fill=(12, 36, 76))
    img.save(os.path.join(HERE, name_at("title.jpg", k)), quality=92)


def button(name, caption, glyph, highlighted, k):
    size = 60
    img = Image.new("RGBA", (size * k, size * k), (0, 0, 0, 0))
    d = Canvas(img, k)
    fill = (255, 255, 255, 70) if highlighted else (255, 255, 255, 0)
    outline = (255, 230, 140, 255) if highlighted else (255, 255, 255, 0)
    d.rounded_rectangle((1, 1, size - 2, size - 2), radius=10, fill=fill, outline=outline, width=2)
    ink = (255, 236, 150, 255) if highlighted else (255, 255, 255, 255)
    glyph(d, ink)
    tw = d.textlength(caption, 13)
    d.text(((size - tw) / 2, 41), caption, 13, fill=ink)
    suffix = "_hi" if highlighted else ""
    img.save(os.path.join(HERE, name_at("btn_%s%s.png" % (name, suffix), k)))


def glyph_photo(d, ink):
    d.rounded_rectangle((15, 12, 45, 35), radius=4, outline=ink, width=2)
    d.rectangle((24, 9, 36, 13), fill=ink)
    d.ellipse((23, 16, 37, 30), outline=ink, width=2)


def glyph_home(d, ink):
    d.polygon([(30, 8), (14, 22), (46, 22)], outline=ink, fill=None)
    d.line([(30, 8), (14, 22)], fill=ink, width=2)
    d.line([(30, 8), (46, 22)], fill=ink, width=2)
    d.rectangle((18, 22, 42, 36), outline=ink, width=2)
    d.rectangle((26, 27, 34, 36), fill=ink)


def glyph_login(d, ink):
    d.ellipse((23, 8, 37, 22), outline=ink, width=2)
    d.arc((15, 21, 45, 49), start=200, end=340, fill=ink, width=2)
    d.line((16, 34, 44, 34), fill=ink, width=2)


def glyph_close(d, ink):
    d.arc((16, 10, 44, 38), start=300, end=240, fill=ink, width=3)
    d.line((30, 7, 30, 23), fill=ink, width=3)


def back_picture(k):
    """The error panel's picture; the window's error texts lie over its lower middle
    (from 175 to 370 across, 280 to 300 down), so that band is left clear."""
    size = 400
    img = gradient((size * k, size * k), (250, 252, 255), (228, 236, 247))
    d = Canvas(img, k)
    d.ellipse((110, 20, 290, 200), fill=(236, 242, 250), outline=(200, 214, 234), width=3)
    # A broken link: two rings apart, with a spark between them.
    d.arc((132, 78, 200, 146), start=40, end=320, fill=LIGHT, width=9)
    d.arc((200, 78, 268, 146), start=220, end=140, fill=LIGHT, width=9)
    for a in (0, 60, 120, 180, 240, 300):
        x = 200 + 15 * math.cos(math.radians(a))
        y = 112 + 15 * math.sin(math.radians(a))
        d.line((200, 112, x, y), fill=(230, 120, 60), width=3)
    text = "网络连接异常"
    tw = d.textlength(text, 18)
    d.text(((size - tw) / 2, 222), text, 18, fill=BLUE)
    d.line((110, 262, 290, 262), fill=(200, 214, 234), width=1)
    img.save(os.path.join(HERE, name_at("back.jpg", k)), quality=92)


def loading_gif(k):
    frames = []
    for f in range(12):
        img = Image.new("RGB", (16 * k, 16 * k), (255, 255, 255))
        d = Canvas(img, k)
        for i in range(12):
            age = (f - i) % 12
            shade = int(40 + 200 * age / 11)
            a = math.radians(i * 30)
            x1, y1 = 8 + 3 * math.cos(a), 8 + 3 * math.sin(a)
            x2, y2 = 8 + 7 * math.cos(a), 8 + 7 * math.sin(a)
            col = (min(255, 40 + shade // 2), min(255, 91 + shade // 2), min(255, 162 + shade // 3))
            d.line((x1, y1, x2, y2), fill=col, width=2)
        frames.append(img.convert("P", palette=Image.ADAPTIVE, colors=32))
    frames[0].save(os.path.join(HERE, name_at("loading.gif", k)), save_all=True,
                   append_images=frames[1:], duration=100, loop=0)


ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def icons():
    """The badge on a rounded navy tile, drawn large and scaled down to each size."""
    big = 1024
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((32, 32, big - 32, big - 32), radius=180, fill=NAVY + (255,),
                        outline=LIGHT + (255,), width=24)
    emblem(d, big // 2, big // 2, 400, k=12)
    folder = os.path.join(HERE, "icons")
    os.makedirs(folder, exist_ok=True)
    for n in ICON_SIZES:
        img.resize((n, n), Image.LANCZOS).save(os.path.join(folder, "%d.png" % n), optimize=True)


def main():
    for k in (1, 2):
        title_strip(k)
        for name, caption, glyph in (("photo", "拍照", glyph_photo), ("index", "首页", glyph_home),
                                     ("login", "登录", glyph_login), ("close", "关闭", glyph_close)):
            button(name, caption, glyph, False, k)
            button(name, caption, glyph, True, k)
        back_picture(k)
        loading_gif(k)
    icons()


if __name__ == "__main__":
    main()
