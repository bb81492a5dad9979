"""The title picture of the About box: the green gremlin beside the name
"Pelm" in icy letters, on a red gradient.

The version line of the About box lies over the top of the right half, so
the name sits low on the right, under that line.
"""

import random

from PIL import Image, ImageDraw, ImageFilter, ImageFont

import canvas as cv
import looks
from creature import draw_creature
from figure import Figure

SIZE = (320, 196)
WORK = 4
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"
NAME = "Pelm"
NAME_BOX = (144, 60, 318, 182)  # where the name may go, in final pixels
STRETCH = 1.45  # the letters are drawn taller than the font makes them


def background(size):
    back = cv.vertical_gradient(size, (96, 0, 6), (226, 34, 22))
    glow = cv.radial_alpha((size[0] // 8, size[1] // 8), (size[0] // 32, size[1] // 14),
                           size[0] // 14, 150, 0).resize(size)
    back = Image.composite(cv.solid(size, (255, 110, 60)), back, glow)
    edge = cv.radial_alpha((size[0] // 8, size[1] // 8), (size[0] // 16, size[1] // 16),
                           size[0] // 11, 0, 120).resize(size)
    return Image.composite(cv.solid(size, (50, 0, 0)), back, edge)


def gremlin_layer(size):
    fig = Figure(size, 1.78 * WORK, (4 * WORK, 12 * WORK))
    draw_creature(fig, looks.GREMLIN)
    return fig.canvas


def fitted_font(draw, outline):
    """The largest bold font with which the name, stretched, fits its box."""
    width = (NAME_BOX[2] - NAME_BOX[0]) * WORK
    height = (NAME_BOX[3] - NAME_BOX[1]) * WORK / STRETCH
    size = 40 * WORK
    while True:
        font = ImageFont.truetype(BOLD, size + WORK)
        box = draw.textbbox((0, 0), NAME, font=font, stroke_width=outline)
        if box[2] - box[0] > width or box[3] - box[1] > height:
            return ImageFont.truetype(BOLD, size)
        size += WORK


def stretched_text(font, outline):
    """The name drawn into a mask of its own size, then made taller."""
    probe = ImageDraw.Draw(cv.mask((1, 1)))
    box = probe.textbbox((0, 0), NAME, font=font, stroke_width=outline)
    m = cv.mask((box[2] - box[0], box[3] - box[1]))
    ImageDraw.Draw(m).text((-box[0], -box[1]), NAME, font=font, fill=255,
                           stroke_width=outline)
    return m.resize((m.width, int(m.height * STRETCH)), Image.BICUBIC)


def letters_masks(size):
    """Masks of the letters, and of the letters with their outline."""
    outline = 4 * WORK
    font = fitted_font(ImageDraw.Draw(cv.mask((1, 1))), outline)
    outer_text = stretched_text(font, outline)
    inner_text = stretched_text(font, 0)
    x = NAME_BOX[0] * WORK + ((NAME_BOX[2] - NAME_BOX[0]) * WORK - outer_text.width) // 2
    y = NAME_BOX[3] * WORK - outer_text.height - 10 * WORK
    inner, outer = cv.mask(size), cv.mask(size)
    outer.paste(outer_text, (x, y))
    inset = int(outline * STRETCH), outline
    inner.paste(inner_text, (x + inset[1], y + inset[0]))
    return inner, outer


def icicles(size, letters, seed):
    """Icicles hanging under the lower edges of the letters."""
    rng = random.Random(seed)
    out = cv.mask(size)
    draw = ImageDraw.Draw(out)
    box = letters.getbbox()
    x = box[0] + 3 * WORK
    while x < box[2] - 3 * WORK:
        bottom = None
        for y in range(box[3] - 1, box[1], -1):
            if letters.getpixel((x, y)) > 128:
                bottom = y
                break
        if bottom is not None:
            length = rng.uniform(5, 13) * WORK
            half = rng.uniform(1.3, 2.2) * WORK
            draw.polygon([(x - half, bottom - WORK), (x + half, bottom - WORK),
                          (x, bottom + length)], fill=255)
        x += int(rng.uniform(5, 9) * WORK)
    return out


def icy_name(page):
    size = page.size
    inner, outer = letters_masks(size)
    drips = icicles(size, inner, seed=3)
    outer = cv.dilate(Image.composite(drips, outer, drips), WORK)
    body = Image.composite(drips, inner, drips)
    shadow = cv.shifted(outer, 3 * WORK, 4 * WORK).filter(ImageFilter.GaussianBlur(3 * WORK))
    cv.paint(page, cv.scaled_mask(shadow, 0.6), (40, 0, 0))
    cv.paint(page, outer, (12, 34, 92))
    box = outer.getbbox()
    ice = Image.new("RGB", size, (60, 130, 220))
    ice.paste(cv.vertical_gradient((size[0], box[3] - box[1]), (236, 250, 255), (70, 150, 230)),
              (0, box[1]))
    cv.paint(page, body, ice)
    shine = cv.subtract(inner, cv.shifted(inner, 2 * WORK, 3 * WORK))
    cv.paint(page, cv.scaled_mask(shine.filter(ImageFilter.GaussianBlur(WORK)), 0.9),
             (255, 255, 255))
    snow = cv.subtract(inner, cv.shifted(inner, 0, 3 * WORK))
    snow = cv.dilate(snow, WORK).filter(ImageFilter.GaussianBlur(WORK * 0.6))
    cv.paint(page, snow, (250, 253, 255))
    frost = cv.value_noise(size, (160, 98), 4).point(lambda v: 255 if v > 190 else 0)
    cv.paint(page, cv.scaled_mask(cv.multiply_mask(frost, inner), 0.5), (255, 255, 255))


def title():
    work = (SIZE[0] * WORK, SIZE[1] * WORK)
    page = background(work).convert("RGBA")
    gremlin = gremlin_layer(work)
    shade = cv.shifted(gremlin.getchannel("A"), 4 * WORK, 4 * WORK)
    cv.paint(page, cv.scaled_mask(shade.filter(ImageFilter.GaussianBlur(3 * WORK)), 0.5),
             (40, 0, 0))
    page.alpha_composite(gremlin)
    icy_name(page)
    return page.convert("RGB").resize(SIZE, Image.LANCZOS)
