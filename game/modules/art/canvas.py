"""Drawing helpers shared by every picture: supersampled masks, soft shading,
smooth noise and curves.

Everything is drawn at a multiple of the final size and reduced at the end,
so that edges come out antialiased. Randomness always comes from a
random.Random with a fixed seed, which keeps the pictures reproducible.
"""

import math
import random

from PIL import Image, ImageChops, ImageFilter


def mask(size):
    """A blank 8-bit mask of the given size."""
    return Image.new("L", size, 0)


def solid(size, colour):
    return Image.new("RGB", size, colour)


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    """The colour t of the way from c1 to c2."""
    return tuple(int(round(lerp(x, y, t))) for x, y in zip(c1, c2))


def bezier(points, steps=24):
    """Points along a cubic Bezier curve given by four control points."""
    (x0, y0), (x1, y1), (x2, y2), (x3, y3) = points
    out = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        out.append((u**3 * x0 + 3 * u * u * t * x1 + 3 * u * t * t * x2 + t**3 * x3,
                    u**3 * y0 + 3 * u * u * t * y1 + 3 * u * t * t * y2 + t**3 * y3))
    return out


def path(segments, steps=24):
    """Joins Bezier segments (each four points, sharing ends) into a polygon."""
    out = []
    for seg in segments:
        pts = bezier(seg, steps)
        out.extend(pts if not out else pts[1:])
    return out


def shifted(image, dx, dy):
    """A copy moved by (dx, dy), filled with black where nothing moved in."""
    out = Image.new(image.mode, image.size, 0)
    out.paste(image, (int(dx), int(dy)))
    return out


def multiply_mask(a, b):
    return ImageChops.multiply(a, b)


def scaled_mask(m, factor):
    """Mask values multiplied by factor and clipped to 0..255."""
    return m.point(lambda v: max(0, min(255, int(v * factor))))


def shade(shape, base, light, dark, radius, offset):
    """Fills a shape so that it looks rounded and lit from the upper left.

    The rim darkens toward `dark` where a blur of the mask falls off, and
    the part of the shape nearest the light takes on `light`.
    """
    size = shape.size
    rim = shape.filter(ImageFilter.GaussianBlur(radius))
    rim = rim.point(lambda v: min(255, int(v * 1.6)))
    body = Image.composite(solid(size, base), solid(size, dark), rim)
    lit = shifted(shape, -offset, -offset)
    lit = ImageChops.multiply(lit, shifted(shape, offset * 0.6, offset * 0.6))
    lit = lit.filter(ImageFilter.GaussianBlur(radius * 1.4))
    lit = ImageChops.multiply(lit, shape)
    lit = lit.point(lambda v: int(max(0, v - 90) * 255 / 165 * 0.75))
    return Image.composite(solid(size, light), body, lit)


def paint(canvas, shape, fill):
    """Puts a colour or an image onto an RGBA canvas through a mask."""
    if isinstance(fill, tuple):
        fill = solid(canvas.size, fill)
    layer = fill.convert("RGBA")
    layer.putalpha(shape)
    canvas.alpha_composite(layer)


def dilate(shape, pixels):
    """Grows a mask by about `pixels` in every direction."""
    size = 2 * int(pixels) + 1
    return shape.filter(ImageFilter.MaxFilter(size))


def value_noise(size, cells, seed, smooth=Image.BICUBIC):
    """Smooth random values: a grid of random greys enlarged to `size`."""
    rng = random.Random(seed)
    cw, ch = cells
    small = Image.new("L", (cw, ch))
    small.putdata([rng.randrange(256) for _ in range(cw * ch)])
    return small.resize(size, smooth)


def vertical_gradient(size, top, bottom):
    w, h = size
    column = Image.new("RGB", (1, h))
    column.putdata([mix(top, bottom, y / max(1, h - 1)) for y in range(h)])
    return column.resize(size)


def radial_alpha(size, centre, radius, inner=255, outer=0):
    """A mask falling smoothly from `inner` at centre to `outer` at radius."""
    w, h = size
    cx, cy = centre
    data = []
    for y in range(h):
        for x in range(w):
            t = min(1.0, math.hypot(x - cx, y - cy) / radius)
            t = t * t * (3 - 2 * t)
            data.append(int(lerp(inner, outer, t)))
    out = Image.new("L", size)
    out.putdata(data)
    return out


def star(centre, outer, inner, points=5, angle=-90):
    """Vertices of a star polygon."""
    cx, cy = centre
    out = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = math.radians(angle + i * 180 / points)
        out.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return out


def draw_thick(draw, pts, width, fill):
    """A polyline with rounded joints and ends."""
    draw.line(pts, fill=fill, width=int(width), joint="curve")
    r = width / 2
    for x, y in (pts[0], pts[-1]):
        draw.ellipse((x - r, y - r, x + r, y + r), fill=fill)


def tone_of(base, strength=1.0):
    """A (base, light, dark) triple for shading a part of one colour."""
    light = mix(base, (255, 255, 235), 0.45 * strength)
    dark = mix(base, (0, 0, 0), 0.5 * strength)
    return (tuple(base), light, dark)


def tone_of_light(base):
    """Shading for a colour that is already near white."""
    return (tuple(base), (255, 255, 255), mix(base, (90, 90, 110), 0.35))


def subtract(a, b):
    """Mask a with mask b cut out of it."""
    return ImageChops.subtract(a, b)
