"""The creature pictures at their final sizes: the four gremlins that jump on
the table (transparent around them) and the four difficulty pictures of the
options pane (each on a background of its own)."""

from PIL import Image, ImageFilter

import canvas as cv
import ice
import looks
from creature import draw_creature
from figure import Figure

WORK = 4
GREMLIN_SIZE = (82, 100)

# How each jumping gremlin is finished after its body is drawn.
FINISH = {
    "plain": lambda fig: None,
    "iced": lambda fig: ice.coat(fig, seed=7),
    "frozen": lambda fig: ice.glints(fig, seed=8),
}


def gremlin(look, finish="plain"):
    """An RGBA gremlin filling its 82 x 100 frame."""
    fig = Figure((GREMLIN_SIZE[0] * WORK, GREMLIN_SIZE[1] * WORK), WORK)
    draw_creature(fig, look)
    FINISH[finish](fig)
    return fig.reduced(GREMLIN_SIZE)


# Background colours (top, bottom) of the difficulty pictures, from the
# easy green to the threatening dark red.
BACKDROPS = {
    "dummy": ((214, 246, 206), (104, 190, 112)),
    "beginner": ((214, 234, 252), (96, 150, 214)),
    "normal": ((255, 240, 184), (236, 160, 60)),
    "dominator": ((150, 52, 60), (40, 8, 16)),
}


def difficulty(look, backdrop, size):
    """A creature standing on a lit backdrop, filling an opaque picture."""
    w, h = size
    big = (w * WORK, h * WORK)
    page = cv.vertical_gradient(big, *BACKDROPS[backdrop]).convert("RGBA")
    spot = cv.radial_alpha((w, h), (w / 2, h * 0.42), w * 0.62, 120, 0).resize(big)
    cv.paint(page, spot, (255, 255, 240))
    shadow = Figure(big, WORK).ellipse(w / 2, h - 4.5, 30, 4.5)
    shadow = shadow.filter(ImageFilter.GaussianBlur(WORK * 1.5))
    cv.paint(page, cv.scaled_mask(shadow, 0.45), (20, 10, 10))
    # A little smaller than the jumping gremlins, standing on the bottom edge.
    scale = 0.93
    left = (w - 82 * scale) / 2
    top = h - 100 * scale - 1.5
    fig = Figure(big, WORK * scale, (left * WORK, top * WORK))
    draw_creature(fig, look)
    page.alpha_composite(fig.canvas)
    return page.convert("RGB").resize(size, Image.BOX)


def difficulty_looks():
    return {"dummy": looks.DUMMY, "beginner": looks.BEGINNER, "normal": looks.NORMAL,
            "dominator": looks.DOMINATOR}
