"""Captions end to end under wine: a timed film whose pictures carry captions in every caption
motion, watched from outside.

Once an item's captions have settled, the stage must show exactly what caption_oracle.exe draws
in the same wine session: the picture, then each caption one character at a time with plain GDI
(same fonts, same text rendering, none of the player's caption code). A line cascade may leave
its last line one pixel short of its place, and "random" may pick one, so their captions are also
accepted with that line one pixel off. While the second item's captions move in, the screen is
read as often as X allows, and at least one frame must show them on their way.
"""
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from pictures import Picture
from player_args import parse_args

ARGS = None
HOST_TITLE = "Lumafolio Standalone Player"
STAGE = (112, 84)  # the 800 x 600 stage centred on the 1024 x 768 screen
ROW = 800 * 3
ONE_PIXEL_SHORT = [(0, 1), (0, -1), (1, 0), (-1, 0)]


class Caption:
    def __init__(self, effect, lines, left, top, colour, face="Arial", height=-36, weight=400,
                 italic=False, shadow=False, alignment="left", spacing=100):
        self.effect, self.lines, self.left, self.top, self.colour = effect, lines, left, top, colour
        self.face, self.height, self.weight, self.italic = face, height, weight, italic
        self.shadow, self.alignment, self.spacing = shadow, alignment, spacing

    def toml(self):
        italic = str(self.italic).lower()
        return f"""
[[item.caption]]
text = {self.lines!r}
effect = "{self.effect}"
left = {self.left}
top = {self.top}
colour = "#{self.colour}"
shadow = {str(self.shadow).lower()}
alignment = "{self.alignment}"
line_spacing = {self.spacing}
font = {{ face = "{self.face}", height = {self.height}, weight = {self.weight}, italic = {italic} }}
"""

    def job(self, shift=(0, 0)):
        align = {"left": 0, "centre": 1, "right": 2}[self.alignment]
        return (f"caption {self.left} {self.top} {self.colour} {int(self.shadow)} {align} "
                f"{self.spacing} {self.height} {self.weight} {int(self.italic)} {shift[0]} {shift[1]} "
                f"{len(self.lines)} {self.face}\n" + "".join(line + "\n" for line in self.lines))

    def may_end_short(self):
        return self.effect.startswith("lines-") or self.effect == "random"


# Every motion once at least: appear, wipe, slide, box, iris, sweep, scatter, whirl, the letter and
# the line cascades, and random; in the three faces of the harness, regular, bold and italic, with
# and without shadow, one and two lines, left, centred and right.
FIRST = [
    Caption("appear", ["Appear at once"], 30, 20, "FFFFFF", shadow=True),
    Caption("wipe-right", ["Wiped right"], 430, 20, "FFD700", face="Times New Roman", weight=700),
    Caption("slide-down", ["Slides down"], 30, 130, "00FFFF", face="Courier New", shadow=True),
    Caption("box", ["Boxed in"], 430, 130, "FFFFFF", weight=700, height=-44),
    Caption("iris", ["Iris opens"], 30, 240, "FF80FF", face="Times New Roman", shadow=True),
    Caption("sweep-up", ["Sweeps up"], 430, 240, "101010", italic=True, shadow=True),
    Caption("scatter", ["Scattered"], 30, 350, "FFFFFF", face="Courier New", weight=700),
    Caption("whirl", ["Whirled in"], 430, 350, "C0FFC0", face="Times New Roman", italic=True),
    Caption("letters-down", ["Letters drop", "one by one"], 30, 440, "FFFFFF", shadow=True,
            alignment="centre", spacing=110, height=-32),
    Caption("random", ["Random"], 430, 480, "FFFF00", face="Courier New", weight=700),
]
SECOND = [
    Caption("lines-up", ["Lines rise", "one after the other"], 40, 30, "FFFFFF",
            face="Times New Roman", height=-40, shadow=True, alignment="centre", spacing=120),
    Caption("slide-right", ["Slides right"], 430, 60, "FFD700", weight=700, shadow=True),
    Caption("box-vertical", ["Right aligned,", "boxed"], 40, 250, "00FFFF", face="Courier New",
            alignment="right", shadow=True),
    Caption("wipe-up", ["Wiped up"], 480, 300, "FFFFFF", italic=True),
    Caption("sweep-left", ["Sweeps left"], 60, 470, "FF8080", weight=700, shadow=True),
    Caption("box-horizontal", ["Band"], 560, 470, "FFFFFF", face="Times New Roman"),
    Caption("letters-right", ["Letters"], 330, 180, "80FFFF", height=-28),
]


def grab(session, left=STAGE[0], top=STAGE[1], width=800, height=600):
    """The stage (or the given area of the screen) as RGB rows, read straight from the X server:
    xwd takes a few milliseconds, so a caption animation of half a second is seen several times
    over."""
    for attempt in range(3):
        # xwd looks at every window on the screen and fails when one goes away while it looks.
        dump = subprocess.run(["xwd", "-root", "-silent"], env=session.env, stdin=subprocess.DEVNULL,
                              capture_output=True, check=attempt == 2, timeout=10)
        if dump.returncode == 0:
            break
    dump = dump.stdout
    field = struct.unpack(">20I", dump[:80])  # the XWDFileHeader's first fields
    header, byte_order, bits, stride, colours = field[0], field[7], field[11], field[12], field[19]
    assert bits == 32 and byte_order == 0 and field[14:17] == (0xFF0000, 0xFF00, 0xFF), field
    start = header + 12 * colours + top * stride + 4 * left
    bgrx = b"".join(dump[start + y * stride:start + y * stride + 4 * width] for y in range(height))
    rgb = bytearray(3 * width * height)
    rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
    return bytes(rgb)


def rows(image):
    return [image[y * ROW:(y + 1) * ROW] for y in range(600)]


class CaptionTest(unittest.TestCase):
    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-captions-"))
        self.shots = pathlib.Path(ARGS.screenshots)
        # Two pictures that differ in every row, so that a frame tells which item is on the stage.
        self.first = Picture(ARGS.native, self.work, "first", 800, 600,
                             lambda x, y: (60 + x * 120 // 800, 40 + y // 6, 120))
        self.second = Picture(ARGS.native, self.work, "second", 800, 600,
                              lambda x, y: (180, 110 + (x // 50) % 2 * 30, 200 - y // 4))

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def film(self):
        item = '\n[[item]]\nfile = "{}"\nduration = 2\ntransition = "cut"\nsteps = 2\n'
        items = "".join(item.format(picture.path) + "".join(c.toml() for c in captions)
                        for picture, captions in ((self.first, FIRST), (self.second, SECOND)))
        (self.work / "film.toml").write_text('[film]\nloop = false\nplay_mode = "timed"\n' + items)
        program = self.work / "captions.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build",
                        self.work / "film.toml", "-o", program, "--player", ARGS.player],
                       check=True, capture_output=True)
        return program

    def settled(self, session, picture, captions):
        """What the stage may show once CAPTIONS have settled on PICTURE: the oracle's image, and
        for a caption that may end short, the same with its last line one pixel off."""
        from wineharness import load_image
        variants = [{}] + [{i: shift} for i, c in enumerate(captions) if c.may_end_short()
                           for shift in ONE_PIXEL_SHORT]
        jobs = []
        for n, variant in enumerate(variants):
            job = self.work / f"{picture.path.stem}-{n}.job"
            job.write_text(f"{session.windows_path(picture.bmp)}\n"
                           f"{session.windows_path(self.work / job.stem)}.ppm\n"
                           + "".join(c.job(variant.get(i, (0, 0))) for i, c in enumerate(captions)))
            jobs.append(session.windows_path(job))
        session.run_wine([ARGS.oracle] + jobs)
        images = [load_image(self.work / f"{picture.path.stem}-{n}.ppm").data for n in range(len(variants))]
        # An oracle that drew nothing would pass a player that draws nothing.
        bare = picture.decoded.data
        for c in captions:
            spans = [(y * ROW + 3 * c.left, y * ROW + 3 * (c.left + 100))
                     for y in range(c.top, c.top - c.height)]
            self.assertTrue(any(images[0][a:b] != bare[a:b] for a, b in spans), f"no {c.lines[0]!r} drawn")
        return images

    def save(self, name, image):
        subprocess.run(["/usr/bin/convert", "-size", "800x600", "-depth", "8", "rgb:-",
                        self.shots / f"captions-{name}.png"], input=image, check=True)

    def watch(self, session, picture, settled, timeout):
        """Reads the stage until it shows PICTURE with its captions SETTLED (one of the oracle's
        images); returns how many frames on the way showed the captions moving: a row that is
        neither the bare picture's nor a settled image's, on a stage that is otherwise PICTURE."""
        bare = rows(picture.decoded.data)
        settled_rows = [rows(image) for image in settled]
        moving, best, best_rows = 0, None, -1
        deadline = time.monotonic() + timeout
        while True:
            frame = grab(session)
            if frame in settled:
                return moving
            image = rows(frame)
            if sum(row == bare_row for row, bare_row in zip(image, bare)) >= 100:
                moving += any(row != bare[y] and all(row != s[y] for s in settled_rows)
                              for y, row in enumerate(image))
            matching = sum(row == want for row, want in zip(image, settled_rows[0]))
            if matching > best_rows:
                best, best_rows = frame, matching
            if time.monotonic() > deadline:
                break
        self.save(f"{picture.path.stem}-expected", settled[0])
        self.save(f"{picture.path.stem}-actual", best)
        bad = [y for y, (got, want) in enumerate(zip(rows(best), settled_rows[0])) if got != want]
        self.fail(f"{picture.path.stem}: the stage never showed the settled captions; at best rows "
                  f"{bad[0]}..{bad[-1]} ({len(bad)} rows) differed from the oracle's image: see "
                  f"captions-{picture.path.stem}-*.png in {self.shots}")

    def test_captions_move_in_and_settle_where_gdi_draws_them(self):
        from wineharness import WineSession
        program = self.film()
        with WineSession(ARGS.root) as session:
            first = self.settled(session, self.first, FIRST)
            second = self.settled(session, self.second, SECOND)
            session.start(str(program))
            session.wait_window(HOST_TITLE, timeout=60)
            self.watch(session, self.first, first, timeout=15)
            # The first item is held for 2 s: the second one's animation is watched from its start.
            self.assertGreater(self.watch(session, self.second, second, timeout=10), 0,
                               "no frame showed the second item's captions on their way")
            session.key("Escape")
            self.assertEqual(session.wait_exit(timeout=15), 0)


if __name__ == "__main__":
    ARGS, rest = parse_args("oracle")
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
