"""filmtool render against the player: the frame the renderer writes once an item's captions have
settled is what the player shows at that moment under wine. The picture must be the same byte for
byte; caption pixels may differ only as two font rasterisers differ (GDI under wine hints and
smooths glyph edges its own way, FreeType another), within the bound below.
"""
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

ARGS = None
HOST_TITLE = "Lumafolio Standalone Player"
STEPS = 2
HOLD = 3  # seconds
# Of the pixels near the captions, the share that may differ by more than FAR levels in a channel.
# FreeType 2.12 and wine's GDI on this system agree on every pixel of the faces used here (Liberation
# Sans, Serif and Mono under the Windows names); the margin is for another FreeType version on one
# side only, whose hinting may move an edge by a pixel here and there.
FAR = 64
FAR_SHARE = 0.005

CAPTIONS = [
    [('"Arial, shadowed"', "appear", 40, 40, "FFFFFF", 'face = "Arial", height = -36', True),
     ('"Times New Roman bold"', "wipe-right", 360, 200, "FFD700",
      'face = "Times New Roman", height = -48, weight = 700', False),
     ('["Courier New", "two lines, centred"]', "box", 60, 420, "00FFFF",
      'face = "Courier New", height = -28', True)],
    [('"Italic, right"', "slide-down", 420, 60, "FFFFFF",
      'face = "Arial", height = -40, italic = true', True),
     ('"Underlined cell height"', "iris", 80, 330, "FF80FF",
      'face = "Times New Roman", height = 44, underline = true', False)],
]


def ink_boxes(expected, bare, margin=4, width=800, height=600):
    """The boxes around every pixel where the rendered frame differs from the bare picture, as
    (top, bottom, left, right), grown by MARGIN and merged where rows touch."""
    row = 3 * width
    spans = []
    for y in range(height):
        a, b = expected[y * row:(y + 1) * row], bare[y * row:(y + 1) * row]
        if a == b:
            continue
        xs = [x for x in range(width) if a[3 * x:3 * x + 3] != b[3 * x:3 * x + 3]]
        spans.append((y, min(xs), max(xs)))
    boxes = []
    for y, left, right in spans:
        if boxes and y <= boxes[-1][1] + 2 * margin and left <= boxes[-1][3] + 40 and right >= boxes[-1][2] - 40:
            top, bottom, l, r = boxes[-1]
            boxes[-1] = (top, y, min(l, left), max(r, right))
        else:
            boxes.append((y, y, left, right))
    return [(max(0, t - margin), min(height - 1, b + margin), max(0, l - margin),
             min(width - 1, r + margin)) for t, b, l, r in boxes]


def compare(shown, expected, boxes, width=800, height=600):
    """(rows outside the boxes that differ, pixels in the boxes, pixels in them that differ by more
    than FAR in a channel)."""
    row = 3 * width
    inside = [[] for _ in range(height)]
    for t, b, l, r in boxes:
        for y in range(t, b + 1):
            inside[y].append((l, r))
    outside_rows = 0
    near = far = 0
    for y in range(height):
        s, e = shown[y * row:(y + 1) * row], expected[y * row:(y + 1) * row]
        if s == e:
            near += sum(r - l + 1 for l, r in inside[y])
            continue
        covered = bytearray(width)
        for l, r in inside[y]:
            covered[l:r + 1] = b"\1" * (r - l + 1)
        for x in range(width):
            p, q = s[3 * x:3 * x + 3], e[3 * x:3 * x + 3]
            if covered[x]:
                near += 1
                far += max(abs(u - v) for u, v in zip(p, q)) > FAR
            elif p != q:
                outside_rows += 1
                break
    return outside_rows, near, far


class RenderAgreesWithPlayerTest(unittest.TestCase):
    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-render-e2e-"))
        self.shots = pathlib.Path(ARGS.screenshots)
        self.pictures = [
            Picture(ARGS.native, self.work, "first", 800, 600,
                    lambda x, y: (40 + x * 100 // 800, 60 + y // 8, 110)),
            Picture(ARGS.native, self.work, "second", 800, 600,
                    lambda x, y: (150, 90 + (x // 40) % 2 * 40, 190 - y // 5)),
        ]

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def film(self):
        text = '[film]\nloop = false\nplay_mode = "timed"\n'
        for picture, captions in zip(self.pictures, CAPTIONS):
            text += (f'\n[[item]]\nfile = "{picture.path}"\nduration = {HOLD}\ntransition = "cut"\n'
                     f'steps = {STEPS}\n')
            for words, effect, left, top, colour, font, shadow in captions:
                text += (f'[[item.caption]]\ntext = {words}\neffect = "{effect}"\nleft = {left}\n'
                         f'top = {top}\ncolour = "#{colour}"\nshadow = {str(shadow).lower()}\n'
                         f'alignment = "centre"\nfont = {{ {font} }}\n')
        (self.work / "film.toml").write_text(text)
        program = self.work / "render.exe"
        filmtool = pathlib.Path(ARGS.native) / "tools/filmtool/filmtool"
        subprocess.run([filmtool, "build", self.work / "film.toml", "-o", program, "--player",
                        ARGS.player], check=True, capture_output=True)
        subprocess.run([filmtool, "render", program, "-o", self.work / "frames", "--quiet"],
                       check=True, capture_output=True)
        return program

    def rendered(self, index):
        frame = self.work / "frames" / f"frame-{index + 1:06d}.png"
        return subprocess.run(["convert", frame, "-depth", "8", "rgb:-"], capture_output=True,
                              check=True).stdout

    def save(self, name, image):
        subprocess.run(["convert", "-size", "800x600", "-depth", "8", "rgb:-",
                        self.shots / f"render-{name}.png"], input=image, check=True)

    def watch(self, session, name, expected, bare, timeout):
        """Reads the stage until it shows the rendered frame within the bound; fails with the
        closest frame seen."""
        boxes = ink_boxes(expected, bare)
        self.assertTrue(boxes, f"{name}: the renderer drew no captions")
        best, best_score = None, None
        deadline = time.monotonic() + timeout
        previous = None
        while time.monotonic() < deadline:
            shown = grab(session)
            # Only a stage that stands still is compared: a caption may pass close to its place
            # on its way there.
            if shown != previous:
                previous = shown
                continue
            outside, near, far = compare(shown, expected, boxes)
            score = (outside, far)
            if best_score is None or score < best_score:
                best, best_score, share = shown, score, far / max(near, 1)
            if outside == 0 and far <= FAR_SHARE * near:
                print(f"{name}: {far} of {near} pixels near the captions differ by more than {FAR} "
                      f"({100 * far / max(near, 1):.2f} %); the whole stage "
                      f"{'is identical' if shown == expected else 'differs'}", file=sys.stderr)
                return
        self.save(f"{name}-expected", expected)
        self.save(f"{name}-player", best)
        self.fail(f"{name}: the player never showed the rendered frame: at best {best_score[0]} rows "
                  f"differed outside the captions and {100 * share:.2f} % of the pixels near them "
                  f"by more than {FAR} levels; see render-{name}-*.png in {self.shots}")

    def test_settled_captions_match_the_players(self):
        from wineharness import WineSession
        program = self.film()
        settled = [STEPS + 33, 2 * (STEPS + 1 + 33) + 60 * HOLD - 1]
        with WineSession(ARGS.root) as session:
            session.start(str(program))
            session.wait_window(HOST_TITLE, timeout=60)
            for n, (picture, index) in enumerate(zip(self.pictures, settled)):
                self.watch(session, f"item{n + 1}", self.rendered(index), picture.decoded.data,
                           timeout=HOLD + 12 if n == 0 else HOLD + 2)
            session.key("Escape")
            self.assertEqual(session.wait_exit(timeout=15), 0)


if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
