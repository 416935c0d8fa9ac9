"""A film made for today's screens under wine on a 1920x1080 screen: the stage is the whole screen,
an 800x600 picture is fitted to its height from full resolution, captions grow with the stage, a
transition runs at the stage's size from the two pictures, and a fine pattern shrinks without
moire. The player's stage must be the frame `filmtool render --size 1920x1080` writes for the same
film: the picture exact, the captions within two font rasterisers' bound (see test_render)."""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from pictures import Picture
from player_args import parse_args
from test_captions import grab
from test_render import FAR, FAR_SHARE, compare, ink_boxes

ARGS = None
HOST_TITLE = "Lumafolio Standalone Player"
WIDTH, HEIGHT = 1920, 1080
ROW = 3 * WIDTH
PHOTO_LEFT = (WIDTH - 1440) // 2  # an 800x600 picture fitted to the stage's height
CLOCK_STEPS = 480  # eight seconds: time to look at the stage in the middle of it
STRIPES = (2400, 1800)  # one-pixel stripes, shrunk 1.67 times onto the stage

CAPTIONS = [
    ('"Arial, shadowed"', "appear", 40, 40, "FFFFFF", 'face = "Arial", height = -36', True),
    ('"Times New Roman bold"', "wipe-right", 360, 480, "FFD700",
     'face = "Times New Roman", height = -48, weight = 700', False),
]


def block_swing(row, left, count, block=8):
    """How far apart the brightest and darkest 8-pixel blocks of COUNT pixels from LEFT are, in
    levels of the green channel: a beat between a fine pattern and the sampling grid shows as
    wide bands of light and dark, which averaging over the blocks keeps and plain noise does not."""
    means = []
    for x in range(left, left + count - block + 1, block):
        means.append(sum(row[3 * (x + i) + 1] for i in range(block)) / block)
    return max(means) - min(means)


class ScreenStageTest(unittest.TestCase):
    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-screen-stage-"))
        self.shots = pathlib.Path(ARGS.screenshots)
        self.photo = Picture(ARGS.native, self.work, "photo", 800, 600,
                             lambda x, y: (40 + x * 150 // 800, 60 + (x * y) % 97, 200 - y // 4))
        white, black = (235, 235, 235), (20, 20, 20)
        self.stripes = Picture(ARGS.native, self.work, "stripes", *STRIPES,
                               lambda x, y: white if x % 2 else black)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def description(self, mode, clock_steps):
        text = f'[film]\nloop = false\nplay_mode = "{mode}"\nstage = "screen"\nduration = 1\n'
        text += f'\n[[item]]\nfile = "{self.photo.path}"\ntransition = "cut"\nsteps = 2\n'
        for words, effect, left, top, colour, font, shadow in CAPTIONS:
            text += (f'[[item.caption]]\ntext = {words}\neffect = "{effect}"\nleft = {left}\n'
                     f'top = {top}\ncolour = "#{colour}"\nshadow = {str(shadow).lower()}\n'
                     f'alignment = "centre"\nfont = {{ {font} }}\n')
        text += f'\n[[item]]\nfile = "{self.stripes.path}"\ntransition = "clock"\nsteps = {clock_steps}\n'
        return text

    def build(self, name, text):
        (self.work / f"{name}.toml").write_text(text)
        program = self.work / f"{name}.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build",
                        self.work / f"{name}.toml", "-o", program, "--player", ARGS.player],
                       check=True, capture_output=True)
        return program

    def rendered(self, program):
        """The renderer's frames of the film at the screen's size: the first item without and
        with its captions, and the second item."""
        frames = self.work / "frames"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "render", program,
                        "-o", frames, "--size", f"{WIDTH}x{HEIGHT}", "--quiet"],
                       check=True, capture_output=True)
        item = 3 + 33 + 60  # two steps, the caption frames, one second
        return [subprocess.run(["convert", frames / f"frame-{index + 1:06d}.png", "-depth", "8",
                                "rgb:-"], capture_output=True, check=True).stdout
                for index in (2, 35, 2 * item - 1)]

    def save(self, name, image):
        subprocess.run(["convert", "-size", f"{WIDTH}x{HEIGHT}", "-depth", "8", "rgb:-",
                        self.shots / f"screen-{name}.png"], input=image, check=True)

    def wait_for(self, session, name, expected, boxes, timeout):
        """Waits until the screen stands still on the expected stage, within the caption bound."""
        deadline = time.monotonic() + timeout
        previous = best = None
        while time.monotonic() < deadline:
            shown = grab(session, 0, 0, WIDTH, HEIGHT)
            if shown != previous:
                previous = shown
                continue
            if shown == expected:
                print(f"{name}: the whole stage is identical", file=sys.stderr)
                return shown
            outside, near, far = compare(shown, expected, boxes, WIDTH, HEIGHT)
            best = shown
            if boxes and outside == 0 and far <= FAR_SHARE * near:
                print(f"{name}: {far} of {near} pixels near the captions differ by more than "
                      f"{FAR}", file=sys.stderr)
                return shown
        self.save(f"{name}-expected", expected)
        if best is not None:
            self.save(f"{name}-player", best)
        self.fail(f"{name}: the player never showed the rendered stage; see screen-{name}-*.png "
                  f"in {self.shots}")

    def test_a_screen_film_fills_the_screen_as_rendered(self):
        from wineharness import WineSession
        bare, first, second = self.rendered(self.build("reference", self.description("timed", 2)))
        program = self.build("show", self.description("manual", CLOCK_STEPS))
        boxes = ink_boxes(first, bare, width=WIDTH, height=HEIGHT)
        self.assertTrue(boxes, "the renderer drew no captions")

        # The picture fills the stage's height and nothing beside it.
        middle = HEIGHT // 2 * ROW
        self.assertEqual(bare[middle + 3 * (PHOTO_LEFT - 1):middle + 3 * PHOTO_LEFT], b"\0\0\0")
        self.assertNotEqual(bare[middle + 3 * PHOTO_LEFT:middle + 3 * PHOTO_LEFT + 3], b"\0\0\0")
        self.assertNotEqual(bare[3 * (WIDTH // 2):3 * (WIDTH // 2) + 3], b"\0\0\0")
        self.assertNotEqual(bare[(HEIGHT - 1) * ROW + 3 * (WIDTH // 2):][:3], b"\0\0\0")
        # The captions grew with the stage: the first one's ink starts near 40 * 1.8 from the
        # picture's left edge and its box is much taller than 36 pixels.
        top, bottom, left, _ = boxes[0]
        self.assertLess(abs(left + 4 - (PHOTO_LEFT + 72)), 40, boxes)
        self.assertGreater(bottom - top, 50, boxes)

        with WineSession(ARGS.root, screen=f"{WIDTH}x{HEIGHT}x24") as session:
            session.start(str(program))
            session.wait_window(HOST_TITLE, timeout=60)
            self.wait_for(session, "captions", first, boxes, timeout=15)

            session.move_pointer(WIDTH // 2, HEIGHT // 2)
            session.key("Next")
            time.sleep(3)
            middle_frame = grab(session, 0, 0, WIDTH, HEIGHT)
            time.sleep(0.2)
            # Mid-way through the clock every pixel is the first stage's or the second picture's,
            # and both are there (the hand sweeps round the stage's centre).
            from_first = from_second = strangers = 0
            for y in range(HEIGHT):
                row = middle_frame[y * ROW:(y + 1) * ROW]
                a, b = first[y * ROW:(y + 1) * ROW], second[y * ROW:(y + 1) * ROW]
                if row == a:
                    from_first += WIDTH
                    continue
                if row == b:
                    from_second += WIDTH
                    continue
                for x in range(0, ROW, 3):
                    pixel = row[x:x + 3]
                    if pixel == a[x:x + 3]:
                        from_first += 1
                    elif pixel == b[x:x + 3]:
                        from_second += 1
                    else:
                        strangers += 1
            share = WIDTH * HEIGHT / 20
            if strangers or from_first < share or from_second < share:
                self.save("clock-player", middle_frame)
            self.assertEqual(strangers, 0, "pixels from neither picture mid-transition")
            self.assertGreater(from_first, share)
            self.assertGreater(from_second, share)

            shown = self.wait_for(session, "stripes", second, [], timeout=20)
            session.key("Escape")
            self.assertEqual(session.wait_exit(timeout=15), 0)

        # No moire: across the shrunk stripes the 8-pixel blocks are all the same grey, where a
        # nearest-pixel reduction of the same picture swings between light and dark bands.
        line = HEIGHT // 2
        swing = block_swing(shown[line * ROW:(line + 1) * ROW], PHOTO_LEFT + 8, 1424)
        decoded = self.stripes.decoded
        source_line = line * decoded.height // HEIGHT
        nearest = b"".join(bytes(decoded.pixel(x * decoded.width // 1440, source_line))
                           for x in range(1440))
        nearest_swing = block_swing(nearest, 8, 1424)
        print(f"stripes: 8-pixel blocks swing {swing:.1f} levels on the stage, {nearest_swing:.1f} "
              f"in a nearest-pixel reduction", file=sys.stderr)
        self.assertLess(swing, 12)
        self.assertGreater(nearest_swing, 30)

if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
