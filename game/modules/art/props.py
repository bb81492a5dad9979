"""Things lying on the table: a coffee-cup ring, a burnt match and a
photograph. Each is drawn at the table's working scale `s` (pixels of the
working canvas per pixel of the final picture)."""

import math
import random

from PIL import Image, ImageDraw, ImageFilter

import canvas as cv


def cup_ring(table, centre, radius, s, seed):
    """Darkens the wood with the ring a wet coffee cup left behind."""
    rng = random.Random(seed)
    cx, cy = centre[0] * s, centre[1] * s
    r0 = radius * s
    waves = [(rng.uniform(0.01, 0.03), k, rng.uniform(0, 6.3)) for k in (2, 3, 5, 9)]
    fade = rng.uniform(0, 6.3)
    box = [int(cx - r0 * 1.3), int(cy - r0 * 1.3), int(cx + r0 * 1.3), int(cy + r0 * 1.3)]
    w, h = box[2] - box[0], box[3] - box[1]
    stain = []
    for y in range(h):
        for x in range(w):
            dx, dy = x + box[0] - cx, y + box[1] - cy
            r = math.hypot(dx, dy)
            a = math.atan2(dy, dx)
            edge = r0 * (1 + sum(amp * math.sin(k * a + p) for amp, k, p in waves))
            inside = edge - r
            strength = 0.65 + 0.35 * math.sin(a + fade)
            if inside < 0:
                v = math.exp(inside / (0.6 * s)) * strength
            else:
                v = (math.exp(-inside / (2.6 * s)) * 0.9 + 0.1) * strength
            second = abs(r - edge * 0.93 - 2 * s * math.sin(a * 2 + fade))
            if dy > 0 and second < 1.2 * s:
                v = max(v, 0.35 * (1 - second / (1.2 * s)) * strength)
            stain.append(int(min(1.0, v) * 185))
    m = Image.new("L", (w, h))
    m.putdata(stain)
    coffee = Image.new("RGB", (w, h), (92, 46, 16))
    region = table.crop(box)
    table.paste(Image.composite(coffee, region, m), box[:2])


def drop_shadow(table, layer, at, s, angle):
    """Lays an RGBA layer onto the table, turned by `angle`, with a soft shadow."""
    turned = layer.rotate(angle, Image.BICUBIC, expand=True)
    alpha = turned.getchannel("A")
    shadow = alpha.filter(ImageFilter.GaussianBlur(2.5 * s))
    shadow = cv.scaled_mask(shadow, 0.55)
    x, y = int(at[0] * s - turned.width / 2), int(at[1] * s - turned.height / 2)
    table.paste((30, 14, 4), (x + int(3 * s), y + int(4 * s)), shadow)
    table.paste(turned, (x, y), alpha)


def burnt_match(table, at, s, angle):
    """A spent match: pale stick, charred and curled where it burnt."""
    length, thick = 92 * s, 5.0 * s
    layer = Image.new("RGBA", (int(length + 12 * s), int(22 * s)), (0, 0, 0, 0))
    draw = ImageDraw.Draw(layer)
    mid = 8 * s
    x0 = 4 * s
    burnt_from = x0 + length * 0.55
    for i in range(int(length)):
        x = x0 + i
        t = (x - burnt_from) / (length * 0.45)
        if t < 0:
            colour = cv.mix((236, 208, 150), (214, 180, 120), i / length)
            half = thick / 2
        else:
            colour = cv.mix((110, 62, 30), (22, 18, 16), min(1.0, 0.4 + t * 2.5))
            half = thick / 2 * (1 - 0.25 * t)
        bend = (max(0.0, t) ** 2) * 5 * s
        draw.line([(x, mid - half + bend), (x, mid + half + bend)], fill=colour + (255,))
    head_x = x0 + length
    draw.ellipse([head_x - 6 * s, mid - 3.4 * s + 5 * s, head_x + 2.5 * s,
                  mid + 3.4 * s + 5 * s], fill=(26, 22, 22, 255))
    draw.ellipse([head_x - 1.5 * s, mid - 1.4 * s + 5 * s, head_x + 2 * s,
                  mid + 2 * s + 5 * s], fill=(130, 126, 120, 255))
    for k in range(3):
        gx = x0 + length * (0.1 + 0.2 * k)
        draw.line([(gx, mid - thick * 0.25), (gx + 18 * s, mid - thick * 0.2)],
                  fill=(250, 232, 190, 140), width=max(1, int(s * 0.7)))
    drop_shadow(table, layer, at, s, angle)


def landscape(size, s):
    """The picture on the photograph: hills, a lake and mountains under the sun."""
    w, h = size
    img = cv.vertical_gradient(size, (96, 160, 222), (214, 232, 246))
    draw = ImageDraw.Draw(img)
    draw.ellipse([w * 0.70, h * 0.10, w * 0.84, h * 0.10 + w * 0.14], fill=(255, 244, 200))
    peaks = [(0, 0.62), (0.12, 0.40), (0.24, 0.55), (0.38, 0.28), (0.52, 0.50),
             (0.64, 0.36), (0.80, 0.58), (1.0, 0.44), (1.0, 0.70), (0, 0.70)]
    draw.polygon([(x * w, y * h) for x, y in peaks], fill=(104, 120, 150))
    for px, py in ((0.12, 0.40), (0.38, 0.28), (0.64, 0.36)):
        draw.polygon([(px * w, py * h), ((px + 0.05) * w, (py + 0.08) * h),
                      ((px + 0.02) * w, (py + 0.07) * h), ((px - 0.01) * w, (py + 0.09) * h),
                      ((px - 0.05) * w, (py + 0.08) * h)], fill=(244, 248, 255))
    draw.rectangle([0, h * 0.68, w, h * 0.80], fill=(70, 124, 176))
    draw.line([(w * 0.2, h * 0.72), (w * 0.5, h * 0.72)], fill=(150, 190, 220), width=int(s))
    draw.line([(w * 0.55, h * 0.76), (w * 0.8, h * 0.76)], fill=(150, 190, 220), width=int(s))
    hills = [(0, 0.74), (0.2, 0.70), (0.42, 0.80), (0.7, 0.73), (1.0, 0.78), (1.0, 1.0),
             (0, 1.0)]
    draw.polygon([(x * w, y * h) for x, y in hills], fill=(78, 138, 56))
    draw.polygon([(0, h * 0.86), (w * 0.5, h * 0.84), (w, h * 0.92), (w, h), (0, h)],
                 fill=(58, 112, 40))
    tx, ty = w * 0.2, h * 0.86
    draw.rectangle([tx - 0.8 * s, ty - 5 * s, tx + 0.8 * s, ty], fill=(80, 50, 30))
    draw.ellipse([tx - 6 * s, ty - 20 * s, tx + 6 * s, ty - 4 * s], fill=(40, 92, 36))
    draw.ellipse([tx - 4 * s, ty - 18 * s, tx + 1 * s, ty - 11 * s], fill=(64, 122, 50))
    return img.filter(ImageFilter.GaussianBlur(s * 0.4))


def photograph(table, at, s, angle):
    """A small print with a white border and a landscape on it."""
    w, h, border = int(132 * s), int(100 * s), int(7 * s)
    layer = Image.new("RGBA", (w, h), (250, 248, 240, 255))
    picture = landscape((w - 2 * border, h - 2 * border), s)
    layer.paste(picture, (border, border))
    fade = Image.new("RGBA", layer.size, (255, 240, 200, 26))
    layer.alpha_composite(fade)
    ImageDraw.Draw(layer).rectangle([0, 0, w - 1, h - 1], outline=(200, 196, 186, 255),
                                    width=max(1, int(s * 0.6)))
    drop_shadow(table, layer, at, s, angle)
