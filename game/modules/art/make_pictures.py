#!/usr/bin/python3
"""Makes the eleven pictures of the game into ../pictures/.

Run with Debian's python3 (python3-pil): /usr/bin/python3 make_pictures.py
The result is the same at every run: all randomness has fixed seeds. Every
picture is checked against its stored format before it is written; a
picture that breaks its format stops the run and nothing is written for it.

    make_pictures.py [--out DIR] [NAME ...]

With names (e.g. table.png), only those pictures are made.
"""

import argparse
import os
import sys

sys.dont_write_bytecode = True

from PIL import ImageStat

import looks
import portraits
import pngformat
import table
import title

HERE = os.path.dirname(os.path.abspath(__file__))


class Picture:
    def __init__(self, name, size, count=None, key=None, emphasis=()):
        self.name, self.size, self.count, self.key = name, size, count, key
        self.emphasis = emphasis


PICTURES = [
    Picture("title.png", (320, 196)),
    Picture("table.png", (600, 440), 150, emphasis=[table.PHOTO_BOX, table.MATCH_BOX]),
    Picture("gameover.png", (600, 440), 151,
            emphasis=[table.PHOTO_BOX, table.MATCH_BOX, table.WORDS_BOX]),
    Picture("gremlin.png", (82, 100), 233, 0),
    Picture("gremlin_iced.png", (82, 100), 160, 0),
    Picture("gremlin_frozen.png", (82, 100), 86, 0x40),
    Picture("gremlin_pink.png", (82, 100), 244, 0xA2),
    Picture("dummy.png", (89, 100), 256),
    Picture("beginner.png", (90, 100), 256),
    Picture("normal.png", (90, 100), 256),
    Picture("dominator.png", (89, 100), 256),
]

GREMLINS = {
    "gremlin.png": (looks.GREMLIN, "plain"),
    "gremlin_iced.png": (looks.ICED, "iced"),
    "gremlin_frozen.png": (looks.FROZEN, "frozen"),
    "gremlin_pink.png": (looks.PINK, "plain"),
}


class Artwork:
    """Draws pictures on demand; the table is drawn once and shared."""

    def __init__(self):
        self._table = None

    def table_work(self):
        if self._table is None:
            self._table = table.working_table()
        return self._table

    def matte(self):
        """The table's average colour, toward which gremlin edges blend."""
        mean = ImageStat.Stat(table.table(self.table_work())).mean
        return tuple(int(round(c)) for c in mean)

    def draw(self, picture):
        """The picture as an image: RGB, or RGBA for the transparent gremlins."""
        name = picture.name
        if name == "title.png":
            return title.title()
        if name == "table.png":
            return table.table(self.table_work())
        if name == "gameover.png":
            return table.game_over(self.table_work())
        if name in GREMLINS:
            return portraits.gremlin(*GREMLINS[name])
        stem = name[: -len(".png")]
        return portraits.difficulty(portraits.difficulty_looks()[stem], stem, picture.size)


def encoded(art, picture):
    """The checked PNG bytes of one picture."""
    image = art.draw(picture)
    hidden = None
    if picture.count is None:
        final = image
    elif picture.key is None:
        final = pngformat.opaque(image, picture.count, picture.emphasis)
    else:
        final, hidden = pngformat.keyed(image, picture.count, picture.key, art.matte())
    data = pngformat.encode(final, picture.key)
    pngformat.check(data, picture.size, picture.count, picture.key, hidden)
    return data


def main():
    parser = argparse.ArgumentParser(description="Makes the pictures of the game.")
    parser.add_argument("--out", default=os.path.join(HERE, "..", "pictures"))
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    wanted = [p for p in PICTURES if not args.names or p.name in args.names]
    unknown = set(args.names) - {p.name for p in PICTURES}
    if unknown:
        sys.exit("unknown picture: %s" % ", ".join(sorted(unknown)))
    os.makedirs(args.out, exist_ok=True)
    art = Artwork()
    for picture in wanted:
        try:
            data = encoded(art, picture)
        except pngformat.FormatError as error:
            sys.exit("%s: %s" % (picture.name, error))
        with open(os.path.join(args.out, picture.name), "wb") as f:
            f.write(data)
        print("%-20s %6d bytes" % (picture.name, len(data)))


if __name__ == "__main__":
    main()
