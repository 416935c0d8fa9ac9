"""Video items end to end under wine: films with test-pattern videos (videos.py) between pictures,
built by the native filmtool around player.exe and watched from outside, as a user would.

While a video plays, its rectangle (its frame size, read from the AVI, fitted to the stage) shows
the pattern's blocks in their colours and the bar moving, and the rest of the screen is black; once
it has ended its end picture stands there, the player's own decoding of it stretched to the
rectangle.
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
STAGE = (112, 84, 912, 684)  # the 800 x 600 stage centred on the 1024 x 768 screen


def fit(width, height):
    """The player's fit of a WIDTH x HEIGHT frame into the stage (same doubles, same truncation)."""
    left, top, right, bottom = STAGE
    aspect = width / height
    if aspect > 800 / 600:
        h = int(800 / aspect)
        return left, top + (600 - h) // 2, right, top + (600 - h) // 2 + h
    w = int(aspect * 600)
    return left + (800 - w) // 2, top, left + (800 - w) // 2 + w, bottom


class VideoTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-video-"))
        cls.green = Picture(ARGS.native, work, "green", 800, 600, lambda x, y: (30, 170 + (y // 60) % 2 * 40, 60))
        cls.wide = Video(work, "wide", 192, 108, seconds=3)  # 16:9
        cls.short = Video(work, "short", 160, 120, seconds=2)  # 4:3
        cls.long = Video(work, "long", 160, 120, seconds=8)
        # A 4:3 poster for a 16:9 video: the video's own size must decide its rectangle.
        cls.poster = Picture(ARGS.native, work, "poster", 160, 120, lambda x, y: (150, 120, 40))
        cls.wide_poster = Picture(ARGS.native, work, "wide-poster", 192, 108, lambda x, y: (120, 60, 150))
        cls.end = Picture(ARGS.native, work, "end", 160, 120, lambda x, y: ((x * 8) % 256, 255 * ((y // 20) % 2), 120))
        cls.noise = type("Noise", (), {"path": work / "noise.avi"})
        cls.noise.path.write_bytes(os.urandom(200_000))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def build(self, items, mode="timed"):
        """ITEMS: pictures, or (video, poster, end picture or None, duration) for video items."""
        text = f'[film]\nloop = false\nplay_mode = "{mode}"\n'
        for item in items:
            text += '\n[[item]]\ntransition = "cut"\n'
            if isinstance(item, tuple):
                video, poster, end, duration = item
                text += f'type = "video"\nfile = "{video.path}"\nposter = "{poster.path}"\nduration = {duration}\n'
                text += f'end_picture = "{end.path}"\n' if end else ""
            else:
                text += f'file = "{item.path}"\nduration = 1\n'
        (self.work / "film.toml").write_text(text)
        out = self.work / f"{self.id().split('.')[-1]}.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build", self.work / "film.toml",
                        "-o", out, "--player", ARGS.player], check=True, capture_output=True)
        return out

    @contextlib.contextmanager
    def play(self, program):
        from wineharness import WineSession
        with WineSession(ARGS.root) as session:
            self.session = session
            self.temp = pathlib.Path(session.windows_temp_dir())
            for entry in self.temp.iterdir() if self.temp.exists() else []:
                shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            session.start(str(program))
            session.wait_active("Kestrelon Lumafolio", timeout=60)
            self.shots = 0
            yield session

    def screen(self):
        from wineharness import load_image
        self.shots += 1
        name = f"{self.id().split('.')[-1]}-{self.shots:02d}.png"
        return load_image(self.session.screenshot(pathlib.Path(ARGS.screenshots) / name))

    def wait_until(self, what, check, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            image = self.screen()
            if check(image):
                return image, time.monotonic()
            time.sleep(0.1)
        self.fail(f"never saw {what}")

    def assert_ends(self, within=15):
        self.assertEqual(self.session.wait_exit(timeout=within), 0)
        self.assertEqual(sorted(self.temp.iterdir()), [], "temporary files were left behind")

    @staticmethod
    def shows_video(image, video):
        """Whether the video's fitted rectangle shows the pattern's four blocks, the rest black."""
        left, top, right, bottom = rect = fit(video.width, video.height)
        blocks = all(all(abs(a - b) <= 12 for a, b in zip(image.pixel(int(left + fx * (right - left)),
                                                                     int(top + fy * (bottom - top))), colour))
                     for fx, fy, colour in video.block_points())
        return blocks and VideoTest.black_outside(image, rect)

    @staticmethod
    def black_outside(image, rect):
        left, top, right, bottom = rect
        return all(image.pixel(x, y) == (0, 0, 0) for x in range(0, 1024, 31) for y in range(0, 768, 31)
                   if not (left - 2 <= x < right + 2 and top - 2 <= y < bottom + 2))

    @staticmethod
    def bar_row(image, video):
        """Where the bar is right now: the band's row through its middle, as seen."""
        left, top, right, bottom = fit(video.width, video.height)
        return tuple(image.pixel(x, top + (bottom - top) // 8)[0] > 128 for x in range(left, right, 4))

    @staticmethod
    def shows(image, picture, rect=STAGE):
        """Whether RECT shows PICTURE's decoding stretched to it (give or take a pixel of rounding),
        on black."""
        left, top, right, bottom = rect
        w, h = picture.decoded.width, picture.decoded.height
        for y in range(top + 2, bottom - 2, 17):
            for x in range(left + 2, right - 2, 17):
                sx, sy = (x - left) * w // (right - left), (y - top) * h // (bottom - top)
                if image.pixel(x, y) not in {picture.decoded.pixel(min(max(sx + dx, 0), w - 1), min(max(sy + dy, 0), h - 1))
                                             for dx in (-1, 0, 1) for dy in (-1, 0, 1)}:
                    return False
        return VideoTest.black_outside(image, rect)

    def test_a_timed_film_plays_a_video_in_its_rectangle_and_waits_for_its_end(self):
        # The item's time is 2 s, the video's 3 s: the show must wait for the end.
        program = self.build([self.green, (self.wide, self.poster, None, 2), self.green])
        with self.play(program):
            self.wait_until("the first picture", lambda i: self.shows(i, self.green))
            image, started = self.wait_until("the video", lambda i: self.shows_video(i, self.wide))
            bars = {self.bar_row(image, self.wide)}
            while time.monotonic() < started + 1.5:
                image = self.screen()
                self.assertTrue(self.shows_video(image, self.wide), "the video left its rectangle")
                bars.add(self.bar_row(image, self.wide))
            self.assertGreaterEqual(len(bars), 3, "the video's frames do not change")
            _, stepped = self.wait_until("the picture after the video", lambda i: self.shows(i, self.green))
            self.assertGreater(stepped - started, 2.5, "the show did not wait for the video's end")
            self.assert_ends()

    def test_manual_film_pages_away_from_a_video_at_any_time_and_its_end_picture_stands(self):
        program = self.build([self.green, (self.long, self.poster, None, 1),
                              (self.short, self.poster, self.end, 1)], mode="manual")
        with self.play(program):
            self.wait_until("the first picture", lambda i: self.shows(i, self.green))
            self.session.key("Next")
            self.wait_until("the long video", lambda i: self.shows_video(i, self.long))  # 4:3 fills the stage
            self.session.key("Prior")  # back, and the video stops: nothing plays over the picture
            self.wait_until("the picture before it", lambda i: self.shows(i, self.green), timeout=5)
            time.sleep(1)
            self.assertTrue(self.shows(self.screen(), self.green), "the video came back")
            self.session.key("Next")
            _, started = self.wait_until("the long video again", lambda i: self.shows_video(i, self.long))
            self.session.key("Next")  # 8 s of video left: the show steps on at once
            _, stepped = self.wait_until("the short video", lambda i: self.shows_video(i, self.short), timeout=5)
            self.assertLess(stepped - started, 4)
            self.wait_until("the end picture", lambda i: self.shows(i, self.end))
            time.sleep(1)  # it stays, through a repaint: a manual film waits for the user
            subprocess.run(["xrefresh"], env=self.session.env, check=True, timeout=10)
            time.sleep(0.5)
            self.assertTrue(self.shows(self.screen(), self.end), "the end picture went")
            self.session.key("Escape")
            self.assert_ends()

    def test_escape_or_a_double_click_during_a_video_ends_the_show_cleanly(self):
        # Timed, where a single click does nothing: only the double-click can end the show.
        program = self.build([(self.long, self.poster, None, 1), self.green])
        for end in ("escape", "double-click over the video"):
            with self.subTest(end), self.play(program):
                self.wait_until("the video", lambda i: self.shows_video(i, self.long))
                pressed = time.monotonic()
                self.session.key("Escape") if end == "escape" else self.session.double_click(400, 400)
                self.assert_ends(within=10)
                self.assertLess(time.monotonic() - pressed, 5)

    def test_a_video_that_will_not_render_shows_its_poster_and_the_show_goes_on(self):
        # No frame size in random bytes: the item is fitted as its 16:9 poster.
        program = self.build([(self.noise, self.wide_poster, None, 2), self.green])
        with self.play(program):
            self.wait_until("the poster", lambda i: self.shows(i, self.wide_poster, fit(192, 108)))
            time.sleep(1)  # still there: nothing plays over it
            self.assertTrue(self.shows(self.screen(), self.wide_poster, fit(192, 108)))
            self.wait_until("the picture after it", lambda i: self.shows(i, self.green))
            self.assert_ends()


if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
