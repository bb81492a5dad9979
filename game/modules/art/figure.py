"""A canvas for cartoon figures drawn in design units and shaded part by part.

A figure is designed in a box of 82 x 100 units (the gremlin's frame). The
canvas maps units to pixels with a scale and an origin, so the same figure
can be drawn into the small game pictures and into the larger title.
"""

from PIL import Image, ImageDraw

import canvas as cv


class Figure:
    def __init__(self, size, scale, origin=(0.0, 0.0)):
        self.canvas = Image.new("RGBA", size, (0, 0, 0, 0))
        self.scale = scale
        self.origin = origin

    def pt(self, x, y):
        return (self.origin[0] + x * self.scale, self.origin[1] + y * self.scale)

    def pts(self, points):
        return [self.pt(x, y) for x, y in points]

    def units(self, length):
        return length * self.scale

    def blank(self):
        m = cv.mask(self.canvas.size)
        return m, ImageDraw.Draw(m)

    def ellipse(self, cx, cy, rx, ry):
        m, d = self.blank()
        d.ellipse([self.pt(cx - rx, cy - ry), self.pt(cx + rx, cy + ry)], fill=255)
        return m

    def polygon(self, points):
        m, d = self.blank()
        d.polygon(self.pts(points), fill=255)
        return m

    def limb(self, points, width):
        m, d = self.blank()
        cv.draw_thick(d, self.pts(points), self.units(width), 255)
        return m

    def union(self, *masks):
        out = masks[0]
        for m in masks[1:]:
            out = Image.composite(m, out, m)
        return out

    def part(self, shape, colours, outline=None, outline_width=1.0, shading=2.4):
        """Draws one shaded part with a dark outline around it.

        The outline is drawn outside the part, so a part drawn later also
        separates itself from the parts it overlaps.
        """
        base, light, dark = colours
        grow = self.units(outline_width) if outline else 0
        box = shape.getbbox()
        if box is None:
            return
        margin = int(grow + self.units(shading) * 3 + 4)
        box = (max(0, box[0] - margin), max(0, box[1] - margin),
               min(shape.width, box[2] + margin), min(shape.height, box[3] + margin))
        local = shape.crop(box)
        layer = Image.new("RGBA", local.size, (0, 0, 0, 0))
        if outline:
            cv.paint(layer, cv.dilate(local, grow), outline)
        radius = self.units(shading)
        fill = cv.shade(local, base, light, dark, radius, radius * 0.8)
        cv.paint(layer, local, fill)
        self.canvas.alpha_composite(layer, (box[0], box[1]))

    def flat(self, shape, colour):
        """Draws a shape in one colour, without shading or outline."""
        cv.paint(self.canvas, shape, colour)

    def stroke(self, points, width, colour):
        m = self.limb(points, width)
        cv.paint(self.canvas, m, colour)

    def silhouette(self):
        return self.canvas.getchannel("A")

    def reduced(self, size):
        """The canvas reduced to its final size with antialiasing."""
        return self.canvas.resize(size, Image.BOX)
