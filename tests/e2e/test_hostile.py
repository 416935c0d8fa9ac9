"""Hostile films end to end under wine: films written field by field by write_film (filmtool build
refuses such input), each played in turn in one session. Every one plays what it can, black where
nothing can be shown, ends on Escape with exit code 0, and leaves nothing behind: not in the
temporary folder, not in the prefix's drive C:, not beside the program.
"""
import contextlib
import json
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

ARGS = None
FILM_MARKER = b"LumafolioFilmDescription"
MEDIA_MARKER = b"LumafolioMediaDescription"
HOST_TITLE = "Lumafolio Standalone Player"
PRESENTER_TITLE = "Kestrelon Lumafolio"
STAGE = (112, 84)  # the stage's top left corner on the 1024 x 768 screen
MANUAL, TIMED = 729, 728
INT_MAX = 2**31 - 1


def files_under(folder):
    return {os.path.join(top, name) for top, folders, files in os.walk(folder) for name in folders + files}


class HostileFilmTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-hostile-"))
        cls.red = Picture(ARGS.native, work, "red", 800, 600, lambda x, y: (220, (y * 255) // 600, 40))
        cls.green = Picture(ARGS.native, work, "green", 800, 600,
                            lambda x, y: (20, 180 + (y // 50) % 2 * 50, (x * 255) // 800))
        cls.blue = Picture(ARGS.native, work, "blue", 800, 600, lambda x, y: ((x + y) % 64, 40, 220))
        cls.tiny = [Picture(ARGS.native, work, f"tiny{i}", 8, 8, lambda x, y, c=c: c)
                    for i, c in enumerate(((250, 40, 40), (40, 40, 250)))]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    # --- films ----------------------------------------------------------------------------------

    def film(self, items, mode=MANUAL, loop=0):
        """A film file's bytes, every field as given; pictures (Picture objects) become their
        size-coded names."""
        for item in items:
            if isinstance(item.get("media_file"), Picture):
                item["media_file"] = str(len(item["media_file"].path.read_bytes()))
        path = self.work / "raw.flm"
        subprocess.run([pathlib.Path(ARGS.native) / "tests/film/write_film", path],
                       input=json.dumps({"loop": loop, "play_mode": mode, "items": items}).encode(), check=True)
        return path.read_bytes()

    def program(self, payload):
        out = self.work / "films" / "hostile.exe"
        out.parent.mkdir(exist_ok=True)
        out.write_bytes(pathlib.Path(ARGS.player).read_bytes() + payload)
        return out

    def raw(self, items, media, **settings):
        return self.program(FILM_MARKER + self.film(items, **settings) + MEDIA_MARKER + media)

    # --- playing --------------------------------------------------------------------------------

    @contextlib.contextmanager
    def play(self, program, active=PRESENTER_TITLE):
        """Plays PROGRAM until the case has done with it, then ends it with Escape and checks that
        it left nothing behind."""
        self.s.start(str(program))
        try:
            self.s.wait_window(HOST_TITLE, timeout=120)
            self.s.wait_active(active, timeout=120)
            yield
            self.s.key("Escape")
            self.assertEqual(self.s.wait_exit(timeout=10), 0)
        finally:
            if self.s.proc.poll() is None:
                self.s.proc.kill()
                self.s.proc.wait()
        self.assertEqual(list(self.temp.iterdir()), [], "temporary files were left behind")
        self.assertEqual(files_under(self.drive_c), self.drive_c_files, "files changed on drive C:")
        self.assertEqual(sorted(p.name for p in program.parent.iterdir()), [program.name])
        program.unlink()

    def screen(self):
        from wineharness import load_image
        return load_image(self.s.screenshot(pathlib.Path(ARGS.screenshots) / "hostile.png"))

    @staticmethod
    def rows_equal(image, picture, rows=range(600)):
        """Whether the stage's ROWS show the picture's exactly as the player's decoder made them."""
        return all(image.data[3 * ((STAGE[1] + y) * 1024 + STAGE[0]):][:2400] ==
                   picture.decoded.data[2400 * y:2400 * (y + 1)] for y in rows)

    def wait_for(self, what, check, timeout=20):
        deadline = time.monotonic() + timeout
        while not check(self.screen()):
            self.assertLess(time.monotonic(), deadline, f"never saw {what}")
            time.sleep(0.1)

    def wait_for_picture(self, picture, rows=range(600)):
        self.wait_for(picture.path.name, lambda image: self.rows_equal(image, picture, rows))

    def assert_black(self):
        image = self.screen()
        self.assertEqual({image.pixel(x, y) for x in range(0, 1024, 64) for y in range(0, 768, 64)}, {(0, 0, 0)})

    # --- the films ------------------------------------------------------------------------------

    def test_hostile_films_play_what_they_can_and_end_cleanly(self):
        from wineharness import WineSession
        pictures = [p.path.read_bytes() for p in (self.red, self.green, self.blue)]
        red, green, blue = pictures
        with WineSession(ARGS.root) as self.s:
            self.temp = pathlib.Path(self.s.windows_temp_dir())
            for entry in self.temp.iterdir():
                shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            self.drive_c = self.s.prefix / "drive_c"
            self.drive_c_files = files_under(self.drive_c)

            with self.subTest("transition indexes and step counts out of range"):
                items = [{"media_file": self.red, "transition_effect": 200},
                         {"media_file": self.green, "transition_effect": -1, "transition_steps": 0},
                         {"media_file": self.blue, "transition_effect": 3, "transition_steps": -5},
                         {"media_file": self.red, "transition_effect": 3, "transition_steps": INT_MAX}]
                with self.play(self.raw(items, red + green + blue + red)):
                    for picture in (self.red, self.green, self.blue):
                        self.wait_for_picture(picture)
                        self.s.key("Next")
                    time.sleep(1)  # a transition of 2^31 - 1 steps runs until Escape cuts it short

            with self.subTest("the longest duration and a caption effect of 99"):
                items = [{"media_file": self.red, "duration_seconds": INT_MAX, "transition_steps": 2,
                          "captions": [{"text_effect": 99, "text": "no such effect"}]},
                         {"media_file": self.green, "duration_seconds": 1}]
                with self.play(self.raw(items, red + green, mode=TIMED)):
                    self.wait_for_picture(self.red)  # no caption is drawn over it
                    time.sleep(3)
                    self.assertTrue(self.rows_equal(self.screen(), self.red), "the show stepped on")

            with self.subTest("10,000 items"):
                sizes = [len(p.path.read_bytes()) for p in self.tiny]
                items = [{"media_file": str(sizes[k % 2]), "transition_steps": 1, "image_width": 8,
                          "image_height": 8} for k in range(10_000)]
                media = b"".join(self.tiny[k % 2].path.read_bytes() for k in range(10_000))
                with self.play(self.raw(items, media, loop=1)):
                    colour = lambda c: lambda image: image.pixel(512, 384) == c
                    self.wait_for("the first item", colour(self.tiny[0].decoded.pixel(4, 4)))
                    self.s.key("Prior")  # round to the last
                    self.wait_for("the last item", colour(self.tiny[1].decoded.pixel(4, 4)))

            with self.subTest("a media blob cut short in the middle of a picture"):
                items = [{"media_file": p} for p in (self.red, self.green, self.blue)]
                with self.play(self.raw(items, red + green[:len(green) // 2])):
                    self.wait_for_picture(self.red)
                    self.s.key("Next")
                    self.wait_for_picture(self.green, rows=range(64))  # its first rows, as stored
                    self.s.key("Next")
                    time.sleep(1.5)
                    self.assert_black()  # no byte of the third picture is there

            film = self.film([{"media_file": p} for p in (self.red, self.green)])
            for name, payload in (("a film stream cut short", FILM_MARKER + film[:len(film) // 2] +
                                   MEDIA_MARKER + red + green),
                                  ("a program that ends inside its film", FILM_MARKER + film[:len(film) // 2])):
                with self.subTest(name), self.play(self.program(payload), active=HOST_TITLE):
                    time.sleep(1)
                    self.assert_black()

            for name in (r"..\..\12-evil.avi", r"C:\12-evil.avi", r"sub\..\..\12-evil.avi",
                         r"\\?\C:\12-evil.avi", "..\\12-evil.wav"):
                with self.subTest(f"a name that leaves the temporary folder: {name}"):
                    video = {"type": 1001, "media_file": name}
                    music = {"media_file": self.red, "music_file": name, "music_mode": 3}
                    items = [{"media_file": self.red}, music if name.endswith(".wav") else video]
                    with self.play(self.raw(items, red + red + b"E" * 12), active=HOST_TITLE):
                        [folder] = self.temp.iterdir()  # preparation stopped: no show
                        self.assertEqual([p.name for p in folder.iterdir()], ["Film.flm"])
                        self.assertEqual(list(self.drive_c.rglob("12-evil.*")), [])


if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
