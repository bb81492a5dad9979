"""Ice drawn over a finished figure: a coat of ice with icicles and frost,
and the glints of a figure turned to ice."""

import math
import random

from PIL import Image, ImageChops, ImageFilter

import canvas as cv
from creature import mirror

# Where icicles hang, in design units: the lower edges of the ears, the
# elbows and the front of the feet.
ICICLES = [(9.0, 22.5, 6.5), (14.0, 30.0, 8.5), (20.0, 36.0, 6.0),
           (24.5, 63.5, 5.0), (27.0, 97.0, 2.5)]


def icicle(fig, x, y, length):
    """A hanging icicle whose root lies at (x, y)."""
    w = 1.5 + length * 0.12
    body = fig.polygon([(x - w, y - 1.5), (x + w, y - 1.5), (x + w * 0.4, y + length * 0.6),
                        (x + 0.15, y + length), (x - w * 0.3, y + length * 0.55)])
    fig.part(body, ((190, 228, 250), (250, 255, 255), (120, 170, 215)), (90, 140, 190),
             0.45, 0.7)
    fig.stroke([(x - w * 0.45, y - 0.5), (x - w * 0.1, y + length * 0.45)], 0.5,
               (255, 255, 255))


def coat(fig, seed):
    """Encases the figure in a thin translucent coat of ice with icicles."""
    silhouette = fig.silhouette()
    shell = dilate_soft(silhouette, fig.units(1.3))
    # Thin over the body, but nearly solid where the coat stands out beyond
    # it, so that the coat's edge is crisp ice rather than a murky fringe.
    beyond = ImageChops.subtract(shell, silhouette)
    glaze = Image.new("RGBA", shell.size, (205, 235, 255, 0))
    glaze.putalpha(ImageChops.lighter(cv.scaled_mask(shell, 0.32), cv.scaled_mask(beyond, 0.85)))
    fig.canvas.alpha_composite(glaze)
    rim = ImageChops.subtract(shell, cv.shifted(shell, fig.units(0.9), fig.units(0.9)))
    fig.flat(cv.scaled_mask(rim, 0.8), (250, 255, 255))
    frost = cv.value_noise(shell.size, (30, 36), seed)
    frost = frost.point(lambda v: 0 if v < 150 else min(255, (v - 150) * 3))
    fig.flat(ImageChops.multiply(frost, cv.scaled_mask(silhouette, 0.55)), (255, 255, 255))
    crystals(fig, silhouette, seed + 1, 26)
    for x, y, length in ICICLES:
        for px, py in ((x, y), mirror([(x, y)])[0]):
            icicle(fig, px, py, length)


def glints(fig, seed):
    """The shine of a figure made of ice: a glossy streak and sparkles."""
    silhouette = fig.silhouette()
    streak, draw = fig.blank()
    for offset, width in ((0, 3.2), (6.5, 1.4)):
        draw.line(fig.pts([(14 + offset, 100), (66 + offset, 0)]), fill=120,
                  width=int(fig.units(width)))
    streak = streak.filter(ImageFilter.GaussianBlur(fig.units(0.7)))
    fig.flat(ImageChops.multiply(streak, silhouette), (255, 255, 255))
    crystals(fig, silhouette, seed, 14)
    for x, y, r in ((30, 27, 3.4), (57, 58, 2.8), (16, 17, 2.4), (44, 88, 2.2)):
        sparkle(fig, x, y, r)


def crystals(fig, silhouette, seed, count):
    """Small six-armed frost crystals scattered over the figure."""
    rng = random.Random(seed)
    placed = 0
    while placed < count:
        x, y = rng.uniform(4, 78), rng.uniform(6, 96)
        if silhouette.getpixel(tuple(int(v) for v in fig.pt(x, y))) < 250:
            continue
        placed += 1
        r = rng.uniform(0.9, 1.8)
        turn = rng.uniform(0, math.pi)
        for k in range(3):
            a = turn + k * math.pi / 3
            dx, dy = r * math.cos(a), r * math.sin(a)
            fig.stroke([(x - dx, y - dy), (x + dx, y + dy)], 0.35, (240, 250, 255))


def sparkle(fig, x, y, r):
    """A four-pointed white glint."""
    fig.flat(fig.polygon(cv.star((x, y), r, r * 0.18, 4, 0)), (255, 255, 255))
    fig.flat(fig.ellipse(x, y, r * 0.3, r * 0.3), (255, 255, 255))


def dilate_soft(shape, pixels):
    return cv.dilate(shape, pixels).filter(ImageFilter.GaussianBlur(pixels * 0.15))
