"""The playing field and the game-over picture."""

from PIL import Image, ImageDraw, ImageFilter, ImageFont

import canvas as cv
import props
import wood

SIZE = (600, 440)
WORK = 2  # the table is drawn at twice its final size
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


# Parts of the pictures that deserve more palette entries than their area
# would give them: the photograph, the match, and the words of the
# game-over picture.
PHOTO_BOX = ((30, 262, 180, 398), 10)
MATCH_BOX = ((370, 340, 470, 400), 6)
WORDS_BOX = ((20, 140, 580, 310), 4)


def working_table():
    """The table with its props, still at working scale."""
    top = wood.table_top((SIZE[0] * WORK, SIZE[1] * WORK), seed=11)
    props.cup_ring(top, (478, 92), 44, WORK, seed=5)
    props.photograph(top, (104, 330), WORK, angle=9)
    props.burnt_match(top, (420, 372), WORK, angle=-22)
    return top


def table(top):
    return top.resize(SIZE, Image.LANCZOS)


def game_over(top):
    """The table with "Game Over" written large across it."""
    page = top.convert("RGBA")
    font = ImageFont.truetype(BOLD, 84 * WORK)
    text = "Game Over"
    layer = Image.new("RGBA", page.size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(layer)
    box = draw.textbbox((0, 0), text, font=font, stroke_width=6 * WORK)
    x = (page.width - (box[2] - box[0])) / 2 - box[0]
    y = (page.height - (box[3] - box[1])) / 2 - box[1]
    letters = cv.mask(page.size)
    ImageDraw.Draw(letters).text((x, y), text, font=font, fill=255)
    outline = cv.mask(page.size)
    ImageDraw.Draw(outline).text((x, y), text, font=font, fill=255, stroke_width=6 * WORK)
    shadow = cv.shifted(outline, 6 * WORK, 8 * WORK).filter(ImageFilter.GaussianBlur(5 * WORK))
    cv.paint(layer, cv.scaled_mask(shadow, 0.7), (20, 6, 0))
    cv.paint(layer, outline, (30, 4, 4))
    top_edge = int(y + box[1])
    fill = Image.new("RGB", page.size, (150, 0, 10))
    fill.paste(cv.vertical_gradient((page.width, box[3] - box[1]), (255, 214, 90),
                                    (186, 14, 14)), (0, top_edge))
    cv.paint(layer, letters, fill)
    shine = cv.subtract(letters, cv.shifted(letters, 0, 3 * WORK))
    cv.paint(layer, cv.scaled_mask(shine, 0.6), (255, 250, 220))
    layer = layer.rotate(5, Image.BICUBIC, center=(page.width / 2, page.height / 2))
    page.alpha_composite(layer)
    return page.convert("RGB").resize(SIZE, Image.LANCZOS)
