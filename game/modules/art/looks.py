"""The colours and features of each creature of the game."""

from canvas import tone_of
from creature import Look

GREMLIN = Look(
    skin=tone_of((74, 160, 52)),
    belly=tone_of((176, 204, 112)),
    ear_inner=tone_of((206, 120, 118)),
    outline=(22, 48, 18),
    iris=(222, 52, 24),
)

# The first frozen picture: the gremlin gone pale under a coat of ice.
ICED = Look(
    skin=tone_of((178, 212, 196), 0.8),
    belly=tone_of((214, 232, 220), 0.7),
    ear_inner=tone_of((206, 196, 214), 0.7),
    outline=(70, 110, 130),
    iris=(120, 170, 200),
    sclera=(240, 250, 255),
    pupil=(60, 90, 120),
    mouth=(110, 130, 160),
    tongue=(200, 190, 220),
    claws=(235, 250, 255),
)

# The second frozen picture: the whole gremlin turned to pale blue ice.
FROZEN = Look(
    skin=tone_of((150, 200, 236), 0.9),
    belly=tone_of((196, 226, 248), 0.8),
    ear_inner=tone_of((170, 196, 236), 0.8),
    outline=(40, 84, 140),
    iris=(90, 140, 210),
    sclera=(230, 244, 255),
    pupil=(30, 60, 110),
    mouth=(70, 110, 170),
    teeth=(240, 250, 255),
    tongue=(150, 170, 230),
    claws=(240, 250, 255),
)

PINK = Look(
    skin=tone_of((236, 124, 170)),
    belly=tone_of((250, 196, 214)),
    ear_inner=tone_of((180, 70, 130)),
    outline=(90, 20, 55),
    iris=(60, 150, 60),
)

# Difficulty 1, "Dummy": a pink creature with glasses and its tongue out.
DUMMY = Look(
    skin=tone_of((242, 150, 186)),
    belly=tone_of((252, 210, 222)),
    ear_inner=tone_of((200, 96, 140)),
    outline=(96, 28, 60),
    iris=(70, 120, 200),
    ears="round",
    brows="raised",
    glasses="round",
    tongue_out=True,
    tuft=False,
    gaze=(-0.9, 0.9),
)

# Difficulty 2, "Beginner": a brown creature with glasses.
BEGINNER = Look(
    skin=tone_of((150, 98, 58)),
    belly=tone_of((214, 176, 128)),
    ear_inner=tone_of((206, 140, 120)),
    outline=(52, 30, 14),
    iris=(70, 140, 70),
    ears="round",
    brows="raised",
    glasses="square",
    buck_teeth=True,
    tuft=True,
    gaze=(0.3, 0.2),
)

# Difficulty 3, "Normal": a purple gremlin.
NORMAL = Look(
    skin=tone_of((130, 74, 170)),
    belly=tone_of((196, 160, 214)),
    ear_inner=tone_of((220, 130, 160)),
    outline=(44, 20, 64),
    iris=(250, 200, 40),
)

# Difficulty 4, "Dominator": a blue gremlin in a cap with a star.
DOMINATOR = Look(
    skin=tone_of((52, 104, 200)),
    belly=tone_of((150, 186, 232)),
    ear_inner=tone_of((210, 120, 150)),
    outline=(14, 28, 70),
    iris=(240, 40, 30),
    tuft=False,
    cap=((200, 30, 36), (150, 20, 26), (255, 214, 40)),
)
