"""Exact picture formats: palette quantization and a check of the written PNG.

The game's widget database stores every picture with a fixed palette size
and, for the gremlins, a fixed transparent index. The pictures here are made
to fit those formats exactly, and `check` refuses any encoded file that does
not, so a wrong picture never reaches the repository.
"""

import io
import struct
import zlib

from PIL import Image

SIGNATURE = b"\x89PNG\r\n\x1a\n"


class FormatError(Exception):
    pass


def palette_of(image, count):
    """The first `count` palette colours of a palette image, padded with black."""
    flat = image.getpalette()[: count * 3]
    flat += [0] * (count * 3 - len(flat))
    return [tuple(flat[i : i + 3]) for i in range(0, count * 3, 3)]


def remap(rgb, colours):
    """Maps each pixel of an RGB image to the nearest of the given colours.

    There is no dithering: with palettes chosen for each picture the
    colours are close enough, and dithered grain would both speckle the
    wood and double the size of the files.

    The palette image handed to the converter has 256 entries; the unused
    ones repeat the first colour, and a pixel that lands on such a repeat
    is moved to the first entry, which has the same colour.
    """
    count = len(colours)
    reference = Image.new("P", (1, 1))
    flat = [c for colour in colours for c in colour]
    reference.putpalette(flat + list(colours[0]) * (256 - count))
    mapped = rgb.quantize(palette=reference, dither=Image.Dither.NONE)
    return mapped.point([i if i < count else 0 for i in range(256)])


def choose_colours(rgb, count, emphasis=()):
    """Up to `count` colours that represent the image well (median cut).

    emphasis: (box, weight) pairs; the pixels of each box count `weight`
    times more, so that a small detail with colours of its own (a
    photograph on the table) gets enough palette entries.
    """
    pixels = list(rgb.getdata())
    for box, weight in emphasis:
        pixels += list(rgb.crop(box).getdata()) * weight
    sample = Image.new("RGB", (len(pixels), 1))
    sample.putdata(pixels)
    return palette_of(sample.quantize(colors=count, method=Image.Quantize.MEDIANCUT), count)


def with_palette(indices, colours):
    image = indices.copy()
    image.putpalette([c for colour in colours for c in colour])
    return image


def opaque(rgb, count, emphasis=()):
    """An RGB image as a palette image of exactly `count` entries."""
    colours = choose_colours(rgb, count, emphasis)
    return with_palette(remap(rgb, colours), colours)


def keyed(rgba, count, key, matte, threshold=60):
    """An RGBA image as a palette image of `count` entries with index `key` transparent.

    Pixels less opaque than `threshold` become transparent; all others
    become opaque and take the colour they have over `matte` (the table's
    brown), so the antialiased edge blends into the table instead of
    showing a halo. No visible pixel uses the key index.
    """
    alpha = rgba.getchannel("A")
    hidden = alpha.point(lambda a: 255 if a < threshold else 0)
    ground = Image.new("RGBA", rgba.size, matte + (255,))
    flat = Image.alpha_composite(ground, rgba).convert("RGB")
    colours = choose_colours(flat, count - 1)
    shifted = remap(flat, colours).point([i if i < key else i + 1 for i in range(256)])
    shifted.paste(key, mask=hidden)
    return with_palette(shifted, colours[:key] + [matte] + colours[key:]), hidden


def encode(image, key=None):
    """The PNG bytes of an image; a keyed image gets a full tRNS table."""
    out = io.BytesIO()
    options = {"optimize": True}
    if key is not None:
        count = len(image.getpalette()) // 3
        options["transparency"] = bytes(0 if i == key else 255 for i in range(count))
    image.save(out, "PNG", **options)
    return out.getvalue()


def chunks(data):
    if not data.startswith(SIGNATURE):
        raise FormatError("not a PNG file")
    at = len(SIGNATURE)
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at : at + 8])
        body = data[at + 8 : at + 8 + length]
        crc = struct.unpack(">I", data[at + 8 + length : at + 12 + length])[0]
        if zlib.crc32(kind + body) != crc:
            raise FormatError("bad checksum in chunk %r" % kind)
        yield kind, body
        at += 12 + length


def check(data, size, count, key, hidden=None):
    """Refuses PNG bytes that differ from the format a picture must have.

    size: (width, height); count: palette entries, or None for 24-bit
    colour; key: the transparent index or None; hidden: the mask of the
    pixels that must be transparent (all others must not be).
    """
    found = dict((kind, body) for kind, body in chunks(data))
    width, height, depth, colour_type = struct.unpack(">IIBB", found[b"IHDR"][:10])
    if (width, height) != tuple(size):
        raise FormatError("size %dx%d, expected %dx%d" % (width, height, *size))
    if depth != 8:
        raise FormatError("bit depth %d, expected 8" % depth)
    if count is None:
        if colour_type != 2 or b"PLTE" in found or b"tRNS" in found:
            raise FormatError("expected plain 24-bit RGB without palette or transparency")
        return
    if colour_type != 3:
        raise FormatError("colour type %d, expected a palette image" % colour_type)
    entries = len(found.get(b"PLTE", b"")) // 3
    if entries != count:
        raise FormatError("%d palette entries, expected %d" % (entries, count))
    check_transparency(found.get(b"tRNS"), count, key)
    check_pixels(data, count, key, hidden)


def check_transparency(table, count, key):
    if key is None:
        if table is not None:
            raise FormatError("transparency present where none is allowed")
        return
    if table is None or len(table) <= key:
        raise FormatError("index %d is not marked transparent" % key)
    for index, alpha in enumerate(table):
        expected = 0 if index == key else 255
        if alpha != expected:
            raise FormatError("index %d has alpha %d, expected %d" % (index, alpha, expected))


def check_pixels(data, count, key, hidden):
    image = Image.open(io.BytesIO(data))
    used = [index for _, index in image.getcolors(256)]
    if max(used) >= count:
        raise FormatError("pixel index %d beyond the palette" % max(used))
    if key is None:
        return
    is_key = bytes(255 if index == key else 0 for index in image.tobytes())
    if hidden is not None and is_key != hidden.tobytes():
        raise FormatError("the transparent index is used by a visible pixel or missing")
