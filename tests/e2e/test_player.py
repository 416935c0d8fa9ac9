"""The player program end to end under wine: payload, preparation, clean-up, closing.

Films are built with the native filmtool (or, for films filmtool refuses to make, written raw)
around the Windows player.exe, run under the harness and observed from outside: windows,
screenshots, files in the wine user's temporary folder, exit codes.
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

from player_args import parse_args

ARGS = None
FILM_MARKER = b"LumafolioFilmDescription"
MEDIA_MARKER = b"LumafolioMediaDescription"
HOST_TITLE = "Lumafolio Standalone Player"


class PlayerTest(unittest.TestCase):
    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-e2e-"))
        native = pathlib.Path(ARGS.native)
        self.filmtool = native / "tools/filmtool/filmtool"
        self.write_film = native / "tests/film/write_film"
        pictures = self.work / "pictures"
        subprocess.run([native / "tools/demopictures/demopictures", pictures], check=True,
                       capture_output=True)
        self.pictures = sorted(pictures.glob("*.jpg"))

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    # --- making films -------------------------------------------------------------------------

    def build(self, description, name="show.exe"):
        """A player program from a filmtool description (paths relative to the work folder)."""
        (self.work / "film.toml").write_text(description)
        out = self.work / name
        subprocess.run([self.filmtool, "build", self.work / "film.toml", "-o", out, "--player",
                        ARGS.player], check=True, capture_output=True)
        return out

    def raw(self, film, media=b"", name="raw.exe"):
        """A player program around a film written field by field, media bytes appended as given."""
        film_path = self.work / "raw.flm"
        subprocess.run([self.write_film, film_path], input=json.dumps(film).encode(), check=True)
        film = film_path
        out = self.work / name
        out.write_bytes(pathlib.Path(ARGS.player).read_bytes() + FILM_MARKER + film.read_bytes() +
                        MEDIA_MARKER + media)
        return out

    def random_file(self, name, size):
        path = self.work / name
        path.write_bytes(os.urandom(size))
        return path

    # --- running ------------------------------------------------------------------------------

    @contextlib.contextmanager
    def session(self):
        from wineharness import WineSession
        with WineSession(ARGS.root) as session:
            self.temp = pathlib.Path(session.windows_temp_dir())
            # Slots are reused: start from an empty temporary folder so that what we see is ours.
            if self.temp.exists():
                for entry in self.temp.iterdir():
                    shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            yield session

    def start(self, session, program):
        session.start(str(program))
        return session.wait_window(HOST_TITLE, timeout=60)

    def temp_files(self):
        return sorted(p.name for p in self.temp.iterdir())

    def assert_black_screen(self, session, name):
        from wineharness import load_image
        shot = session.screenshot(pathlib.Path(ARGS.screenshots) / f"{name}.png")
        image = load_image(shot)
        for x, y in ((0, 0), (image.width // 2, image.height // 2), (image.width - 1, image.height - 1),
                     (37, image.height - 20)):
            self.assertEqual(image.pixel(x, y), (0, 0, 0), f"{name}: pixel {x},{y}")

    def escape(self, session, window):
        session.key("Escape", window=window)
        self.assertEqual(session.wait_exit(timeout=30), 0)

    # --- tests --------------------------------------------------------------------------------

    def test_player_program_holds_no_marker_text(self):
        # The player searches its own file for the markers: one in its code would end the search.
        code = pathlib.Path(ARGS.player).read_bytes()
        self.assertNotIn(FILM_MARKER, code)
        self.assertNotIn(MEDIA_MARKER, code)

    def test_pictures_only(self):
        program = self.build(f"""
[[item]]
file = "{self.pictures[0]}"
[[item]]
file = "{self.pictures[1]}"
""")
        data = program.read_bytes()
        film_start = data.index(FILM_MARKER) + len(FILM_MARKER)
        film = data[film_start:data.index(MEDIA_MARKER)]
        with self.session() as s:
            window = self.start(s, program)
            self.assertEqual(s.window_geometry(window), (0, 0, 1024, 768))  # covers the screen
            self.assertEqual(self.temp_files(), ["Film.flm"])
            self.assertEqual((self.temp / "Film.flm").read_bytes(), film)
            self.escape(s, window)
            self.assertEqual(self.temp_files(), [])

    def test_video_and_music_are_extracted_and_deleted(self):
        song = self.random_file("song.wav", 70000)
        clip = self.random_file("clip.avi", 4096 * 3)
        theme = self.random_file("theme.mid", 2048 * 5)
        program = self.build(f"""
[[item]]
file = "{self.pictures[0]}"
music = "{song}"
[[item]]
type = "video"
file = "{clip}"
poster = "{self.pictures[1]}"
music = "{theme}"
""")
        with self.session() as s:
            window = self.start(s, program)
            files = self.temp_files()
            self.assertIn("Film.flm", files)
            extracted = {name: (self.temp / name).read_bytes() for name in files if name != "Film.flm"}
            self.assertEqual(sorted(extracted.values()),
                             sorted(p.read_bytes() for p in (song, clip, theme)))
            for name, data in extracted.items():
                self.assertTrue(name.startswith(f"{len(data)}-"), name)  # the size-coded name
            self.escape(s, window)
            self.assertEqual(self.temp_files(), [])

    def test_programs_without_a_film_stay_black(self):
        player = pathlib.Path(ARGS.player).read_bytes()
        variants = {
            "bare": player,
            "film-marker-only": player + FILM_MARKER + b"film bytes",
            "media-marker-only": player + MEDIA_MARKER + b"media bytes",
            "markers-reversed": player + MEDIA_MARKER + b"x" * 100 + FILM_MARKER + b"y" * 100,
        }
        for name, data in variants.items():
            with self.subTest(name):
                program = self.work / f"{name}.exe"
                program.write_bytes(data)
                with self.session() as s:
                    window = self.start(s, program)
                    self.assert_black_screen(s, f"no-film-{name}")
                    self.assertEqual(self.temp_files(), [])
                    s.key("a", "Next", window=window)  # ignored: there is no show
                    s.click(500, 300)
                    self.escape(s, window)

    def test_powerpoint_without_the_viewer_is_announced_once(self):
        deck = self.random_file("deck.pps", 3000)
        deck2 = self.random_file("deck2.pps", 1000)
        program = self.build(f"""
[[item]]
type = "powerpoint"
file = "{deck}"
[[item]]
file = "{self.pictures[0]}"
[[item]]
type = "powerpoint"
file = "{deck2}"
""")
        with self.session() as s:
            # Slots are reused: make sure no earlier test left a viewer registered.
            s.run_wine(["reg", "delete", r"HKLM\SOFTWARE\MICROSOFT\OFFICE\8.0\POWERPOINT\VIEWER\8.0",
                        "/f"], check=False)
            s.start(str(program))
            box = s.wait_window("Error", timeout=60)  # a message box without a caption of its own
            s.screenshot(pathlib.Path(ARGS.screenshots) / "powerpoint-message.png")
            self.assertEqual(len(s.find_windows("Error")), 1)
            s.key("Return", window=box)
            window = s.wait_window(HOST_TITLE, timeout=30)
            time.sleep(1.5)
            self.assertEqual(s.find_windows("Error"), [], "a second message box appeared")
            self.assertEqual(self.temp_files(), ["Film.flm"])  # the shows were never extracted
            self.escape(s, window)
            self.assertEqual(self.temp_files(), [])

    def test_hostile_names_write_nothing_outside_the_temporary_folder(self):
        picture = self.pictures[0].read_bytes()
        names = [r"..\..\12-evil.avi", r"C:\12-evil.avi", r"sub\..\..\12-evil.avi"]
        for name in names:
            with self.subTest(name):
                film = {"items": [{"type": 1000, "media_file": str(len(picture))},
                                  {"type": 1001, "media_file": name}]}
                program = self.raw(film, picture + b"E" * 12, name="hostile.exe")
                with self.session() as s:
                    window = self.start(s, program)
                    drive_c = s.prefix / "drive_c"
                    self.assertEqual(list(drive_c.rglob("12-evil.avi")), [])
                    self.assertEqual(list(self.work.rglob("12-evil.avi")), [])
                    self.assertEqual(self.temp_files(), ["Film.flm"])  # preparation stopped
                    self.escape(s, window)
                    self.assertEqual(self.temp_files(), [])

    def test_alt_f4_cleans_up_like_escape(self):
        song = self.random_file("song.wav", 5000)
        program = self.build(f"""
[[item]]
file = "{self.pictures[0]}"
music = "{song}"
""")
        with self.session() as s:
            window = self.start(s, program)
            self.assertEqual(len(self.temp_files()), 2)
            s.key("alt+F4", window=window)
            self.assertEqual(s.wait_exit(timeout=30), 0)
            self.assertEqual(self.temp_files(), [])

    def test_progress_window_during_a_long_extraction(self):
        from wineharness import load_image
        big = self.work / "big.wav"
        with open(big, "wb") as out:
            out.truncate(400 * 1024 * 1024)
        # Three pictures first, so the window shows 75 % while the fourth item's music is copied.
        pictures = "".join(f'[[item]]\nfile = "{p}"\n' for p in self.pictures[:3])
        program = self.build(pictures + f"""
[[item]]
file = "{self.pictures[3]}"
music = "{big}"
""")
        with self.session() as s:
            s.start(str(program))
            shot = pathlib.Path(ARGS.screenshots) / "progress-dialog.png"
            deadline = time.monotonic() + 60
            seen = False
            while time.monotonic() < deadline and not seen:
                image = load_image(s.screenshot(shot))
                # The dialog is centred on the screen; the backdrop is not shown yet.
                seen = image.pixel(image.width // 2, image.height // 2) != (0, 0, 0)
            self.assertTrue(seen, "no progress window appeared during the extraction")
            window = s.wait_window(HOST_TITLE, timeout=120)
            self.escape(s, window)
            self.assertEqual(self.temp_files(), [])


if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
