"""Films played from, and into, folders whose names the system's ANSI code page cannot spell.

Wine takes its ANSI code page from the locale, pinned here to C.UTF-8: code page 1252, which has no
spelling for "写真". A player in such a folder must still read its own program file, and a user
whose temporary folder lies under a profile of that name must still get the film's files extracted
there and played: pictures out of the program file, music through MCI (ANSI names only: it is
handed the short form), a video through DirectShow, a PowerPoint show through the viewer's command
line (short form again). Where the temporary folder cannot be written at all, a message says so.
"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from pictures import Picture
from player_args import parse_args
from test_music import hiss, write_wave
from videos import Video

ARGS = None
HOST_TITLE = "Lumafolio Standalone Player"
PRESENTER_TITLE = "Kestrelon Lumafolio"
STAGE = (112, 84)  # the stage's top left corner on the 1024 x 768 screen
LOCALE = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}
PROFILE = r"C:\users\写真"
VIEWER_KEY = r"HKLM\SOFTWARE\MICROSOFT\OFFICE\8.0\POWERPOINT\VIEWER\8.0"


def sound(pcm):
    """The frames that are not silence: wine fills a late feed with silence, never the music."""
    return b"".join(pcm[i:i + 4] for i in range(0, len(pcm), 4) if pcm[i:i + 4] != bytes(4))


class PathsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-paths-"))
        cls.red = Picture(ARGS.native, work, "red", 800, 600, lambda x, y: (220, (y * 255) // 600, 40))
        cls.green = Picture(ARGS.native, work, "green", 800, 600, lambda x, y: (30, 190, (x * 255) // 800))
        cls.amber = Picture(ARGS.native, work, "amber", 160, 120, lambda x, y: (230, 160, 20))
        cls.clip = Video(work, "clip", 160, 120, seconds=2)
        cls.song = write_wave(work / "song.wav", hiss(1))
        cls.deck = work / "deck.pps"
        cls.deck.write_bytes(b"P" * 3000)
        (work / "film.toml").write_text(f"""[film]
loop = false
play_mode = "manual"
[[item]]
file = "{cls.red.path}"
music = "{cls.song}"
[[item]]
type = "video"
file = "{cls.clip.path}"
poster = "{cls.amber.path}"
end_picture = "{cls.amber.path}"
[[item]]
type = "powerpoint"
file = "{cls.deck}"
[[item]]
file = "{cls.green.path}"
""")
        cls.program = work / "show.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build", work / "film.toml",
                        "-o", cls.program, "--player", ARGS.player], check=True, capture_output=True)
        (work / "写真").mkdir()
        cls.unspelled_program = shutil.copy(cls.program, work / "写真" / "show.exe")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    # --- watching -------------------------------------------------------------------------------

    def wait_until(self, what, check, timeout=20):
        from wineharness import load_image
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            image = load_image(self.s.screenshot(pathlib.Path(ARGS.screenshots) / "paths.png"))
            if check(image):
                return
            time.sleep(0.1)
        self.fail(f"never saw {what}")

    @staticmethod
    def shows(image, picture):
        """Whether the stage shows the 800 x 600 picture exactly as the player's decoder made it."""
        return all(image.data[3 * ((STAGE[1] + y) * 1024 + STAGE[0]):][:2400] ==
                   picture.decoded.data[2400 * y:2400 * (y + 1)] for y in range(600))

    def shows_video(self, image):
        """The pattern's four blocks where the 4:3 video fills the stage."""
        return all(max(abs(a - b) for a, b in zip(image.pixel(STAGE[0] + int(fx * 800), STAGE[1] + int(fy * 600)),
                                                  colour)) <= 12 for fx, fy, colour in self.clip.block_points())

    def shows_amber(self, image):
        """The end picture, one colour, stretched over the stage."""
        return all(image.pixel(x, y) == self.amber.decoded.pixel(80, 60) for x, y in ((200, 150), (800, 600)))

    def start(self, program):
        """Starts PROGRAM, after stopping one that a failed case left running."""
        if self.s.proc is not None and self.s.proc.poll() is None:
            self.s.proc.kill()
            self.s.proc.wait()
        self.s.start(str(program), env=LOCALE)

    def set_temp(self, folder, kind="REG_SZ"):
        for name in ("TEMP", "TMP"):
            self.s.run_wine(["reg", "add", r"HKCU\Environment", "/v", name, "/t", kind, "/d", folder, "/f"],
                            env=LOCALE)

    # --- the show -----------------------------------------------------------------------------

    def play_through(self, program, temp):
        """Plays the film from PROGRAM, with the temporary folder at TEMP (a Linux path), item by
        item, and ends it."""
        self.start(program)
        self.s.wait_window(HOST_TITLE, timeout=60)
        self.s.wait_active(PRESENTER_TITLE, timeout=30)
        self.wait_until("the first picture", lambda i: self.shows(i, self.red))
        # Every extracted file is seen in use: the music heard, the video played, the show read.
        music = sound(self.song.read_bytes()[44:])
        deadline = time.monotonic() + 15
        while sound(self.s.audio_captures()[-1].read_bytes() if self.s.audio_captures() else b"") != music:
            self.assertLess(time.monotonic(), deadline, "the music was not heard from start to end")
            time.sleep(0.2)

        self.s.key("Next")
        self.wait_until("the video", self.shows_video)
        self.wait_until("its end picture", self.shows_amber)

        args = self.viewer.parent / "viewer-args.txt"
        args.unlink(missing_ok=True)
        self.s.key("Next")
        self.s.wait_window("Stand-in Viewer", timeout=30)
        viewer, switch, show = args.read_text(encoding="latin-1").split()
        self.assertEqual(switch, "/A")
        long_path = pathlib.Path(self.s.run_wine(["winepath", "-u", show], env=LOCALE).stdout.strip())
        self.assertEqual(long_path.read_bytes(), self.deck.read_bytes())
        (self.viewer.parent / "viewer-close").touch()
        self.s.wait_active(PRESENTER_TITLE, timeout=30)

        self.s.key("Next")
        self.wait_until("the last picture", lambda i: self.shows(i, self.green))
        self.s.key("Escape")
        self.assertEqual(self.s.wait_exit(timeout=30), 0)
        self.assertEqual(list(temp.iterdir()), [], "temporary files were left behind")

    def test_films_play_from_and_into_folders_the_ansi_code_page_cannot_spell(self):
        from wineharness import WineSession, load_image
        with WineSession(ARGS.root, audio=self.work / "heard.raw") as self.s:
            usual_temp = self.s.windows_temp_dir()
            # A prefix that wine has only just made may not have the key yet: then there is nothing
            # to restore, and the values this test sets are deleted afterwards.
            usual = dict(re.findall(r"^\s*(TEMP|TMP)\s+(REG_\w+\s+.*?)\s*$",
                                    self.s.run_wine(["reg", "query", r"HKCU\Environment"],
                                                    check=False).stdout, re.M))
            for entry in usual_temp.iterdir():
                shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            self.viewer = self.s.linux_path(r"C:\Program Files\Stand-in Viewer\PowerPoint Viewer.exe")
            self.viewer.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(ARGS.viewer, self.viewer)
            self.s.run_wine(["reg", "add", VIEWER_KEY, "/v", "Path", "/d", self.s.windows_path(self.viewer), "/f"])
            profile = self.s.prefix / "drive_c/users/写真"
            shutil.rmtree(profile, ignore_errors=True)  # slots are reused
            try:
                with self.subTest("a program in a folder named 写真"):
                    self.play_through(self.unspelled_program, usual_temp)
                with self.subTest("a temporary folder under a profile named 写真"):
                    (profile / "Temp").mkdir(parents=True)
                    self.set_temp(PROFILE + r"\Temp")
                    self.play_through(self.program, profile / "Temp")
                with self.subTest("a temporary folder that cannot be written"):
                    self.set_temp(PROFILE + r"\Gone")
                    self.start(self.program)
                    self.s.wait_window("Error", timeout=30)  # said, not left black
                    self.s.screenshot(pathlib.Path(ARGS.screenshots) / "paths-message.png")
                    self.s.wait_active("Error")
                    self.s.key("Return")
                    self.s.wait_active(HOST_TITLE)
                    image = load_image(self.s.screenshot(pathlib.Path(ARGS.screenshots) / "paths.png"))
                    self.assertEqual(image.pixel(512, 384), (0, 0, 0))
                    self.s.key("Escape")
                    self.assertEqual(self.s.wait_exit(timeout=30), 0)
                    self.assertEqual(sorted(p.name for p in profile.iterdir()), ["Temp"])
            finally:
                for name in ("TEMP", "TMP"):
                    if name in usual:
                        kind, folder = usual[name].split(None, 1)
                        self.s.run_wine(["reg", "add", r"HKCU\Environment", "/v", name, "/t", kind, "/d",
                                         folder, "/f"])
                    else:
                        self.s.run_wine(["reg", "delete", r"HKCU\Environment", "/v", name, "/f"],
                                        check=False)
                self.s.run_wine(["reg", "delete", VIEWER_KEY, "/f"], check=False)
                shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    ARGS, rest = parse_args("viewer")
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
