"""A varnished wooden table top seen from above: planks running left to right
with grain, knots, seams and a soft sheen."""

import math
import random

from PIL import Image, ImageDraw, ImageFilter

import canvas as cv

LIGHT = (216, 152, 88)
DARK = (122, 64, 26)
SEAM = (40, 20, 8)


class Plank:
    """One board of the table: its tone, grain waves, knots and end joint."""

    def __init__(self, rng, top, height, width):
        self.top = top
        self.tint = rng.uniform(-0.09, 0.09)
        self.rings = rng.uniform(5.5, 9.0) / height
        self.waves = [(rng.uniform(4, 12), rng.uniform(0.004, 0.012), rng.uniform(0, 6.3))
                      for _ in range(3)]
        self.knots = []
        for _ in range(rng.choice((0, 1, 1, 2))):
            self.knots.append((rng.uniform(0.05, 0.95) * width,
                               top + rng.uniform(0.3, 0.7) * height,
                               rng.uniform(0.07, 0.13) * height))
        self.joint = rng.uniform(0.15, 0.85) * width if rng.random() < 0.5 else None
        # The board beyond an end joint is another piece of wood.
        self.beyond = [(a, f, p + rng.uniform(1, 5)) for a, f, p in self.waves]
        self.beyond_shift = rng.uniform(0.2, 0.8)


def grain_value(plank, x, y, wobble):
    """How dark the grain is at (x, y): 0 light early wood, 1 dark late wood."""
    beyond = plank.joint is not None and x > plank.joint
    waves = plank.beyond if beyond else plank.waves
    warp = sum(a * math.sin(x * f + p) for a, f, p in waves)
    v = (y - plank.top + warp) * plank.rings + wobble + (plank.beyond_shift if beyond else 0)
    for kx, ky, kr in plank.knots:
        dx, dy = (x - kx) / 2.6, y - ky
        d2 = dx * dx + dy * dy
        near = math.exp(-d2 / (kr * kr * 9))
        v = v * (1 - near) + math.sqrt(d2) / kr * 0.9 * near
        if d2 < kr * kr * 0.35:
            return 1.0
    g = 0.5 + 0.5 * math.sin(v * 2 * math.pi)
    return g**4


def table_top(size, seed, planks=5):
    """The bare table top, drawn at `size`."""
    w, h = size
    rng = random.Random(seed)
    height = h / planks
    boards = [Plank(rng, i * height, height, w) for i in range(planks)]
    fibres = list(cv.value_noise(size, (14, h // 2), seed + 1).getdata())
    blotches = list(cv.value_noise(size, (9, 7), seed + 2).getdata())
    pixels = []
    for y in range(h):
        plank = boards[min(planks - 1, int(y / height))]
        for x in range(w):
            f = fibres[y * w + x] / 255.0
            b = blotches[y * w + x] / 255.0
            g = grain_value(plank, x, y, (b - 0.5) * 1.2)
            t = 0.5 * g + 0.28 * f + 0.22 * b + plank.tint
            t = min(1.0, max(0.0, t))
            pixels.append(cv.mix(LIGHT, DARK, t))
    wood = Image.new("RGB", size)
    wood.putdata(pixels)
    return finish(wood, boards, height)


def finish(wood, boards, height):
    """Seams between the planks, end joints, sheen and darker borders."""
    w, h = wood.size
    seams = cv.mask(wood.size)
    draw = ImageDraw.Draw(seams)
    line = max(2, h // 180)
    for plank in boards[1:]:
        draw.line([(0, plank.top), (w, plank.top)], fill=255, width=line)
    for plank in boards:
        if plank.joint is not None:
            draw.line([(plank.joint, plank.top), (plank.joint, plank.top + height)], fill=255,
                      width=line)
    shadow = seams.filter(ImageFilter.GaussianBlur(line * 1.5))
    wood = Image.composite(cv.solid(wood.size, cv.mix(DARK, SEAM, 0.5)), wood,
                           cv.scaled_mask(shadow, 0.8))
    wood = Image.composite(cv.solid(wood.size, SEAM), wood, seams)
    edge = cv.shifted(seams, 0, line)
    wood = Image.composite(cv.solid(wood.size, LIGHT), wood, cv.scaled_mask(edge, 0.35))
    sheen = cv.radial_alpha((w // 8, h // 8), (w // 22, h // 20), w // 7, 90, 0)
    wood = Image.composite(cv.solid(wood.size, (255, 226, 180)), wood, sheen.resize(wood.size))
    border = cv.radial_alpha((w // 8, h // 8), (w // 16, h // 16), w // 10, 0, 140)
    return Image.composite(cv.solid(wood.size, (40, 20, 8)), wood, border.resize(wood.size))
