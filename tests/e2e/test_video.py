"""Video items end to end under wine: films with test-pattern videos (videos.py) between pictures,
built by the native filmtool around player.exe and watched from outside, as a user would.

While a video plays, its rectangle (the video's frame size fitted to the stage) shows the pattern's
blocks in their colours and the bar moving over time, and the rest of the screen is black; once it
has ended its end picture stands there, the player's own decoding of it stretched to the rectangle.
"""
import contextlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from pictures import Picture
from player_args import parse_args
from videos import Video

ARGS = None
HOST_TITLE = "Lumafolio Standalone Player"
PRESENTER_TITLE = "Kestrelon Lumafolio"
SCREEN = (1024, 768)
STAGE = (112, 84, 912, 684)  # the 800 x 600 stage centred on the screen
TOLERANCE = 12  # per channel: the video reaches the screen through a colour conversion


def fit(width, height):
    """The player's fit of a WIDTH x HEIGHT frame into the stage (same doubles, same truncation)."""
    left, top, right, bottom = STAGE
    wd, hd = right - left, bottom - top
    aspect = width / height
    if aspect > wd / hd:
        h = int(wd / aspect)
        y = top + (hd - h) // 2
        return left, y, right, y + h
    w = int(aspect * hd)
    x = left + (wd - w) // 2
    return x, top, x + w, bottom


def near(got, expected, tolerance=TOLERANCE):
    return all(abs(a - b) <= tolerance for a, b in zip(got, expected))


class VideoTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-video-"))
        native = ARGS.native
        cls.green = Picture(native, cls.work, "green", 800, 600, lambda x, y: (30, 170 + (y // 60) % 2 * 40, 60))
        cls.wide = Video(cls.work, "wide", 192, 108, seconds=3)  # 16:9
        cls.short = Video(cls.work, "short", 160, 120, seconds=2)  # 4:3
        cls.long = Video(cls.work, "long", 160, 120, seconds=8)
        cls.wide_poster = Picture(native, cls.work, "wide-poster", 192, 108, lambda x, y: (120, 60, 150))
        cls.poster = Picture(native, cls.work, "poster", 160, 120, lambda x, y: (150, 120, 40))
        # The end picture has structure, so that a picture misplaced or stretched wrongly shows.
        cls.end = Picture(native, cls.work, "end", 160, 120,
                          lambda x, y: ((x * 8) % 256, 255 * ((y // 20) % 2), 120))
        cls.noise = cls.work / "noise.avi"
        cls.noise.write_bytes(os.urandom(200_000))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    # --- films and sessions -----------------------------------------------------------------

    def build(self, items, mode="timed"):
        """ITEMS are TOML item tables without their [[item]] line."""
        text = f'[film]\nloop = false\nplay_mode = "{mode}"\n' + "".join(
            f"\n[[item]]\ntransition = \"cut\"\n{item}" for item in items)
        (self.work / "film.toml").write_text(text)
        out = self.work / f"{self.id().split('.')[-1]}.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build",
                        self.work / "film.toml", "-o", out, "--player", ARGS.player],
                       check=True, capture_output=True)
        return out

    @staticmethod
    def picture_item(picture, duration=1):
        return f'file = "{picture.path}"\nduration = {duration}\n'

    @staticmethod
    def video_item(video, poster, end=None, duration=1):
        item = f'type = "video"\nfile = "{video.path}"\nposter = "{poster.path}"\nduration = {duration}\n'
        return item + (f'end_picture = "{end.path}"\n' if end else "")

    @contextlib.contextmanager
    def play(self, program):
        from wineharness import WineSession
        with WineSession(ARGS.root) as session:
            self.session = session
            self.temp = pathlib.Path(session.windows_temp_dir())
            if self.temp.exists():
                for entry in self.temp.iterdir():
                    shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            session.start(str(program))
            session.wait_window(HOST_TITLE, timeout=60)
            session.wait_active(PRESENTER_TITLE, timeout=30)
            self.shots = 0
            yield session

    def screen(self):
        from wineharness import load_image
        self.shots += 1
        name = f"{self.id().split('.')[-1]}-{self.shots:02d}.png"
        return load_image(self.session.screenshot(pathlib.Path(ARGS.screenshots) / name))

    def assert_ends(self, within=15):
        self.assertEqual(self.session.wait_exit(timeout=within), 0)
        self.assertEqual(sorted(self.temp.iterdir()), [], "temporary files were left behind")

    # --- what the screen shows --------------------------------------------------------------

    @staticmethod
    def shows_video(image, video):
        """Whether the video's fitted rectangle shows the pattern's four blocks."""
        left, top, right, bottom = fit(video.width, video.height)
        return all(near(image.pixel(int(left + fx * (right - left)), int(top + fy * (bottom - top))), colour)
                   for fx, fy, colour in video.block_points())

    @staticmethod
    def bar_row(image, video):
        """The band's row through the middle of the bar, as seen: where the bar is right now."""
        left, top, right, bottom = fit(video.width, video.height)
        y = top + (bottom - top) // 8
        return tuple(image.pixel(x, y)[0] > 128 for x in range(left, right, 4))

    @staticmethod
    def black_outside(image, rect):
        left, top, right, bottom = rect
        points = [(x, y) for x in range(0, SCREEN[0], 31) for y in range(0, SCREEN[1], 31)
                  if not (left - 2 <= x < right + 2 and top - 2 <= y < bottom + 2)]
        return [p for p in points if image.pixel(*p) != (0, 0, 0)][:5]

    def shows_picture(self, image, picture, rect):
        """Whether RECT shows PICTURE's decoding stretched to it, give or take a pixel of rounding."""
        left, top, right, bottom = rect
        w, h = picture.decoded.width, picture.decoded.height
        for y in range(top + 2, bottom - 2, 17):
            for x in range(left + 2, right - 2, 17):
                sx, sy = (x - left) * w // (right - left), (y - top) * h // (bottom - top)
                candidates = {picture.decoded.pixel(min(max(sx + dx, 0), w - 1), min(max(sy + dy, 0), h - 1))
                              for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
                if image.pixel(x, y) not in candidates:
                    return False
        return True

    def wait_until(self, what, check, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            image = self.screen()
            if check(image):
                return image, time.monotonic()
            time.sleep(0.1)
        self.fail(f"never saw {what}")

    # --- tests --------------------------------------------------------------------------------

    def test_a_timed_film_plays_a_video_in_its_rectangle_and_waits_for_its_end(self):
        # The item's time is 2 s, the video's 3 s: the show must wait for the end.
        program = self.build([self.picture_item(self.green),
                              self.video_item(self.wide, self.wide_poster, duration=2),
                              self.picture_item(self.green)])
        rect = fit(192, 108)
        self.assertEqual(rect, (112, 159, 912, 609))
        with self.play(program):
            self.wait_until("the first picture", lambda i: self.shows_picture(i, self.green, STAGE))
            image, started = self.wait_until("the video", lambda i: self.shows_video(i, self.wide))
            bars = {self.bar_row(image, self.wide)}
            self.assertEqual(self.black_outside(image, rect), [], "the stage around the video is not black")
            while time.monotonic() < started + 1.5:
                image = self.screen()
                if self.shows_video(image, self.wide):
                    bars.add(self.bar_row(image, self.wide))
                    self.assertEqual(self.black_outside(image, rect), [])
                time.sleep(0.1)
            self.assertGreaterEqual(len(bars), 3, "the video's frames do not change")
            _, stepped = self.wait_until("the picture after the video",
                                         lambda i: self.shows_picture(i, self.green, STAGE))
            self.assertGreater(stepped - started, 2.5, "the show did not wait for the video's end")
            self.assert_ends()

    def test_manual_film_pages_away_from_a_video_at_any_time_and_its_end_picture_stands(self):
        program = self.build([self.picture_item(self.green),
                              self.video_item(self.long, self.poster),
                              self.video_item(self.short, self.poster, end=self.end)], mode="manual")
        with self.play(program):
            self.wait_until("the first picture", lambda i: self.shows_picture(i, self.green, STAGE))
            self.session.key("Next")
            self.wait_until("the long video", lambda i: self.shows_video(i, self.long))  # 4:3 fills the stage
            self.session.key("Prior")  # back, and the video stops: nothing plays over the picture
            self.wait_until("the picture before it", lambda i: self.shows_picture(i, self.green, STAGE), timeout=5)
            time.sleep(1)
            self.assertTrue(self.shows_picture(self.screen(), self.green, STAGE), "the video came back")
            self.session.key("Next")
            _, started = self.wait_until("the long video again", lambda i: self.shows_video(i, self.long))
            self.session.key("Next")  # 8 s of video left: the show steps on at once
            _, stepped = self.wait_until("the short video", lambda i: self.shows_video(i, self.short), timeout=5)
            self.assertLess(stepped - started, 4)
            self.wait_until("the end picture", lambda i: self.shows_picture(i, self.end, STAGE))
            time.sleep(1)  # and it stays: a manual film waits for the user
            self.assertTrue(self.shows_picture(self.screen(), self.end, STAGE), "the end picture went")
            subprocess.run(["xrefresh"], env=self.session.env, check=True, timeout=10)
            time.sleep(0.5)
            self.assertTrue(self.shows_picture(self.screen(), self.end, STAGE), "a repaint lost the end picture")
            self.session.key("Escape")
            self.assert_ends()

    def test_escape_or_a_double_click_during_a_video_ends_the_show_cleanly(self):
        # Timed, where a single click does nothing: only the double-click can end the show.
        program = self.build([self.video_item(self.long, self.poster), self.picture_item(self.green)])
        for end in ("escape", "double-click over the video"):
            with self.subTest(end), self.play(program):
                self.wait_until("the video", lambda i: self.shows_video(i, self.long))
                pressed = time.monotonic()
                if end == "escape":
                    self.session.key("Escape")
                else:
                    self.session.double_click(400, 400)
                self.assert_ends(within=10)
                self.assertLess(time.monotonic() - pressed, 5)

    def test_a_video_that_will_not_render_shows_its_poster_and_the_show_goes_on(self):
        noise = type("Noise", (), {"path": self.noise})
        program = self.build([self.video_item(noise, self.poster, duration=2), self.picture_item(self.green)])
        with self.play(program):
            self.wait_until("the poster", lambda i: self.shows_picture(i, self.poster, STAGE))
            time.sleep(1)  # still there: nothing plays over it
            self.assertTrue(self.shows_picture(self.screen(), self.poster, STAGE))
            self.wait_until("the picture after it", lambda i: self.shows_picture(i, self.green, STAGE))
            self.assert_ends()


if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
