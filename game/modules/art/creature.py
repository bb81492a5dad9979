"""The game's creatures: the gremlin and its relatives on the options pane.

All of them share one standing body (big head, little body, short arms and
legs) designed in the 82 x 100 unit box; a Look chooses the colours, the
ears, and what the face wears or does.
"""

from dataclasses import dataclass

import canvas as cv


@dataclass
class Look:
    skin: tuple
    belly: tuple
    ear_inner: tuple
    outline: tuple
    iris: tuple
    sclera: tuple = (255, 250, 225)
    pupil: tuple = (15, 10, 10)
    mouth: tuple = (95, 12, 25)
    teeth: tuple = (255, 255, 240)
    tongue: tuple = (235, 95, 120)
    claws: tuple = (250, 240, 205)
    ears: str = "pointed"
    brows: str = "mean"
    glasses: str = ""
    tongue_out: bool = False
    buck_teeth: bool = False
    tuft: bool = True
    cap: tuple = ()
    gaze: tuple = (0.6, 0.4)


def mirror(points):
    return [(82 - x, y) for x, y in points]


def pointed_ear():
    outer = cv.path([[(30, 23), (21, 15), (10, 7), (2, 4)],
                     [(2, 4), (6, 17), (14, 33), (29, 41)]])
    inner = cv.path([[(28, 27), (21, 20), (13, 13), (7, 10)],
                     [(7, 10), (10, 20), (16, 31), (27, 37)]])
    return outer, inner


def round_ear():
    outer = cv.path([[(30, 22), (22, 10), (6, 12), (8, 26)],
                     [(8, 26), (10, 36), (22, 40), (30, 38)]])
    inner = cv.path([[(28, 25), (22, 16), (11, 16), (12, 26)],
                     [(12, 26), (13, 33), (22, 36), (28, 35)]])
    return outer, inner


def draw_ears(fig, look):
    outer, inner = pointed_ear() if look.ears == "pointed" else round_ear()
    for flip in (lambda p: p, mirror):
        fig.part(fig.polygon(flip(outer)), look.skin, look.outline, 1.0, 2.0)
        fig.part(fig.polygon(flip(inner)), look.ear_inner, None, 0, 1.6)


def draw_legs(fig, look):
    for flip in (lambda p: p, mirror):
        leg = fig.limb(flip([(36, 74), (35, 83), (33, 90)]), 7.5)
        fig.part(leg, look.skin, look.outline)
        foot = fig.ellipse(*flip([(30, 93.5)])[0], 8.5, 4.2)
        fig.part(foot, look.skin, look.outline, 1.0, 1.6)
        for tx, ty in flip([(22.2, 95.5), (25.0, 97.2), (28.4, 97.8)]):
            claw = fig.ellipse(tx, ty, 1.3, 1.0)
            fig.flat(claw, look.claws)


def draw_body(fig, look):
    torso = fig.union(fig.ellipse(41, 64, 14, 15.5), fig.ellipse(41, 51, 9, 6))
    fig.part(torso, look.skin, look.outline, 1.0, 3.2)
    fig.part(fig.ellipse(41, 66.5, 8.5, 10), look.belly, None, 0, 2.6)
    for y in (61, 65, 69, 73):
        fig.stroke([(37.5, y), (41, y + 0.9), (44.5, y)], 0.5, look.belly[2])


def draw_arms(fig, look):
    for flip in (lambda p: p, mirror):
        arm = fig.limb(flip([(31, 55), (25, 60), (21, 67)]), 6)
        fig.part(arm, look.skin, look.outline, 1.0, 1.8)
        hand = fig.ellipse(*flip([(19.5, 70)])[0], 4.0, 3.6)
        fig.part(hand, look.skin, look.outline, 1.0, 1.4)
        for claw in ([(16.5, 72), (14.6, 75.4)], [(19.2, 73.3), (18.4, 77.0)],
                     [(22.0, 73.0), (22.4, 76.6)]):
            fig.stroke(flip(claw), 1.3, look.claws)


def draw_head(fig, look):
    head = fig.union(fig.ellipse(41, 32.5, 16.5, 15), fig.ellipse(41, 38.5, 15, 10.5))
    if look.tuft:
        tuft = fig.polygon([(35, 21), (33, 12), (39, 18), (42, 9), (44, 18),
                            (50, 13), (47, 22)])
        fig.part(tuft, cv.tone_of(cv.mix(look.skin[0], look.skin[2], 0.35)), look.outline, 0.9, 1.2)
    fig.part(head, look.skin, look.outline, 1.0, 3.4)
    fig.part(fig.ellipse(41, 41, 9, 6), look.belly, None, 0, 2.2)
    draw_eyes(fig, look)
    draw_mouth(fig, look)
    for nx in (39.4, 42.6):
        fig.flat(fig.ellipse(nx, 38.6, 0.9, 0.7), look.skin[2])
    if look.glasses:
        draw_glasses(fig, look)
    if look.cap:
        draw_cap(fig, look)


def draw_eyes(fig, look):
    gx, gy = look.gaze
    for ex in (34.8, 47.2):
        fig.part(fig.ellipse(ex, 31, 5.6, 6.4), cv.tone_of_light(look.sclera),
                 look.outline, 0.8, 1.8)
        fig.flat(fig.ellipse(ex + gx, 31.8 + gy, 3.7, 4.2), look.iris)
        fig.flat(fig.ellipse(ex + gx, 32.0 + gy, 1.9, 2.5), look.pupil)
        fig.flat(fig.ellipse(ex + gx - 1.2, 30.2 + gy, 1.0, 1.0), (255, 255, 255))
    if look.brows == "mean":
        fig.stroke([(28.5, 23.8), (33, 24.6), (38.6, 27.0)], 1.9, look.outline)
        fig.stroke(mirror([(28.5, 23.8), (33, 24.6), (38.6, 27.0)]), 1.9, look.outline)
    elif look.brows == "raised":
        fig.stroke([(29.5, 23.0), (34, 21.6), (38.5, 23.0)], 1.6, look.outline)
        fig.stroke(mirror([(29.5, 23.0), (34, 21.6), (38.5, 23.0)]), 1.6, look.outline)


def draw_mouth(fig, look):
    mouth = fig.polygon(cv.path([[(31.5, 41.5), (36, 44.2), (46, 44.2), (50.5, 41.5)],
                                 [(50.5, 41.5), (47, 50), (35, 50), (31.5, 41.5)]]))
    fig.part(mouth, cv.tone_of(look.mouth, 1.0), look.outline, 0.7, 1.2)
    if look.buck_teeth:
        for tx in (39.3, 42.7):
            fig.part(fig.polygon([(tx - 1.6, 43.6), (tx + 1.6, 43.6), (tx + 1.5, 47.8),
                                  (tx - 1.5, 47.8)]), cv.tone_of_light(look.teeth),
                     look.outline, 0.35, 0.6)
    else:
        for tx in (34.8, 38.6, 43.4, 47.2):
            fig.flat(fig.polygon([(tx - 1.5, 43.0), (tx + 1.5, 43.0), (tx, 46.3)]),
                     look.teeth)
        for tx in (37.0, 45.0):
            fig.flat(fig.polygon([(tx - 1.2, 49.2), (tx + 1.2, 49.2), (tx, 46.6)]),
                     look.teeth)
    if look.tongue_out:
        tongue = fig.polygon(cv.path([[(37.5, 46.5), (36.5, 54), (40, 57.5), (42.5, 55)],
                                      [(42.5, 55), (45.5, 53), (45, 48), (44, 46.5)]]))
        fig.part(tongue, cv.tone_of(look.tongue, 1.0), look.outline, 0.6, 1.3)
        fig.stroke([(41.2, 48.5), (41.3, 53.5)], 0.5, cv.tone_of(look.tongue, 1.0)[2])


def draw_glasses(fig, look):
    frame = (25, 20, 25)
    for ex in (34.8, 47.2):
        lens = fig.ellipse(ex, 31, 7.2, 6.8)
        glass = cv.scaled_mask(lens, 0.28)
        fig.flat(glass, (210, 235, 255))
        fig.flat(fig.ellipse(ex - 3, 28.5, 1.8, 1.2), (255, 255, 255))
    if look.glasses == "round":
        for ex in (34.8, 47.2):
            ring = cv.subtract(fig.ellipse(ex, 31, 7.6, 7.2), fig.ellipse(ex, 31, 6.4, 6.0))
            fig.flat(ring, frame)
    else:
        for ex in (34.8, 47.2):
            outer = fig.polygon([(ex - 7.6, 25), (ex + 7.6, 25), (ex + 7, 37.2), (ex - 7, 37.2)])
            inner = fig.polygon([(ex - 6.3, 26.3), (ex + 6.3, 26.3), (ex + 5.8, 36),
                                 (ex - 5.8, 36)])
            fig.flat(cv.subtract(outer, inner), frame)
    fig.stroke([(40.5, 30), (41, 29.2), (41.5, 30)], 1.1, frame)
    fig.stroke([(27.4, 29.5), (24.8, 28.5)], 1.1, frame)
    fig.stroke(mirror([(27.4, 29.5), (24.8, 28.5)]), 1.1, frame)


def draw_cap(fig, look):
    crown_colour, peak_colour, star_colour = look.cap
    crown = fig.polygon(cv.path([[(25.5, 25), (25, 9), (57, 9), (56.5, 25)],
                                 [(56.5, 25), (48, 22), (34, 22), (25.5, 25)]]))
    fig.part(crown, cv.tone_of(crown_colour, 1.0), look.outline, 0.9, 2.6)
    peak = fig.polygon(cv.path([[(23, 24.5), (32, 20), (50, 20), (59, 24.5)],
                                [(59, 24.5), (54, 28.6), (28, 28.6), (23, 24.5)]]))
    fig.part(peak, cv.tone_of(peak_colour, 1.0), look.outline, 0.9, 1.4)
    fig.part(fig.polygon(cv.star((41, 14.8), 5.4, 2.3)), cv.tone_of(star_colour, 1.0),
             look.outline, 0.45, 0.8)


def draw_creature(fig, look):
    """Draws the whole standing creature, back parts first."""
    draw_ears(fig, look)
    draw_legs(fig, look)
    draw_body(fig, look)
    draw_arms(fig, look)
    draw_head(fig, look)
