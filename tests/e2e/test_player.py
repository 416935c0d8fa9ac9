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
PRESENTER_TITLE = "Kestrelon Lumafolio"


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

    def start(self, session, program, active=PRESENTER_TITLE):
        """Starts PROGRAM and waits until its window named ACTIVE (the show's, unless no show can
        start) is the active one, where a user's keys go."""
        session.start(str(program))
        window = session.wait_window(HOST_TITLE, timeout=60)
        session.wait_active(active, timeout=30)
        return window

    def temp_entries(self):
        """What is in the wine user's temporary folder."""
        return sorted(p.name for p in self.temp.iterdir())

    def player_folders(self):
        return sorted(p for p in self.temp.iterdir() if p.is_dir() and p.name.startswith("Lumafolio-"))

    def temp_files(self):
        """The files in the one running player's own folder inside the temporary folder."""
        folders = self.player_folders()
        self.assertEqual(len(folders), 1, f"temporary folder holds {self.temp_entries()}")
        self.folder = folders[0]
        return sorted(p.name for p in self.folder.iterdir())

    def assert_black_screen(self, session, name):
        from wineharness import load_image
        shot = session.screenshot(pathlib.Path(ARGS.screenshots) / f"{name}.png")
        image = load_image(shot)
        for x, y in ((0, 0), (image.width // 2, image.height // 2), (image.width - 1, image.height - 1),
                     (37, image.height - 20)):
            self.assertEqual(image.pixel(x, y), (0, 0, 0), f"{name}: pixel {x},{y}")

    def escape(self, session, window):
        session.key("Escape")
        self.assertEqual(session.wait_exit(timeout=30), 0)
        self.assertEqual(self.temp_entries(), [], "temporary files were left behind")

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
            self.assertEqual((self.folder / "Film.flm").read_bytes(), film)
            self.escape(s, window)

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
            extracted = {name: (self.folder / name).read_bytes() for name in files if name != "Film.flm"}
            self.assertEqual(sorted(extracted.values()),
                             sorted(p.read_bytes() for p in (song, clip, theme)))
            for name, data in extracted.items():
                self.assertTrue(name.startswith(f"{len(data)}-"), name)  # the size-coded name
            self.escape(s, window)

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
                    window = self.start(s, program, active=HOST_TITLE)
                    self.assert_black_screen(s, f"no-film-{name}")
                    self.assertEqual(self.temp_entries(), [])
                    s.key("a", "Next")  # ignored: there is no show
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
            s.wait_window("Error", timeout=60)  # a message box without a caption of its own
            s.wait_active("Error")
            s.screenshot(pathlib.Path(ARGS.screenshots) / "powerpoint-message.png")
            self.assertEqual(len(s.find_windows("Error")), 1)
            s.key("Return")
            window = s.wait_window(HOST_TITLE, timeout=30)
            s.wait_active(PRESENTER_TITLE)
            time.sleep(1.5)
            self.assertEqual(s.find_windows("Error"), [], "a second message box appeared")
            self.assertEqual(self.temp_files(), ["Film.flm"])  # the shows were never extracted
            self.escape(s, window)

    def film_with_music(self, mode="manual", name="show.exe", duration=3):
        """Four pictures, the last with music: the same file names whatever the mode."""
        song = self.work / "song.wav"
        if not song.exists():
            song.write_bytes(os.urandom(5000))
        items = "".join(f'[[item]]\nfile = "{p}"\nsteps = 2\nduration = {duration}\n'
                        for p in self.pictures[:3])
        return self.build(f'[film]\nplay_mode = "{mode}"\nloop = false\n{items}[[item]]\n'
                          f'file = "{self.pictures[3]}"\nmusic = "{song}"\n', name)

    def test_a_video_without_poster_never_shows_another_items_picture(self):
        # Page Up on the first item of this looping manual film brings on the video, which has
        # no poster, just after the worker had prepared the second picture.
        from wineharness import load_image
        first, second = (p.read_bytes() for p in self.pictures[:2])
        film = {"loop": 1, "play_mode": 729, "items": [
            {"type": 1000, "media_file": str(len(first)), "transition_steps": 2},
            {"type": 1000, "media_file": str(len(second)), "transition_steps": 2},
            {"type": 1001, "media_file": "12-clip.avi", "transition_steps": 2}]}
        program = self.raw(film, first + second + b"V" * 12)
        with self.session() as s:
            window = self.start(s, program)
            shot = pathlib.Path(ARGS.screenshots) / "video-without-poster.png"
            centre = lambda: load_image(s.screenshot(shot)).pixel(512, 384)
            deadline = time.monotonic() + 20
            while centre() == (0, 0, 0):
                self.assertLess(time.monotonic(), deadline, "the first picture never appeared")
                time.sleep(0.2)
            time.sleep(1)  # the worker prepares the second picture
            s.key("Prior")
            time.sleep(2)
            self.assert_black_screen(s, "video-without-poster")
            self.escape(s, window)

    def test_damaged_captions_are_drawn_clamped_or_not_at_all_and_the_show_goes_on(self):
        # Caption fields filmtool would refuse: effect codes outside the table, fonts of no or
        # absurd height, a face filling its whole field, line spacings of 0, below 0 and huge,
        # places far off the stage, more captions than an animation draws. Each frame of both
        # items must be drawn without a crash, and the show must end cleanly.
        from wineharness import load_image
        first, second = (p.read_bytes() for p in self.pictures[:2])
        lines = "one\r\ntwo\r\nthree"
        captions = [
            {"text_effect": 99, "text": "no such effect"},
            {"text_effect": -3, "text": "nor this"},
            {"text_effect": 5, "text": "no height", "font": {"height": 0}},
            {"text_effect": 18, "text": "huge", "font": {"height": -2000000000}},
            {"text_effect": 6, "text": "F" * 20, "font": {"face": "F" * 32}},
            {"text_effect": 7, "text": lines, "line_spacing": -100, "alignment": 12345},
            {"text_effect": 12, "text": lines, "line_spacing": 0, "alignment": 2},
            {"text_effect": 4, "text": lines, "line_spacing": 2000000000},
            {"text_effect": 18, "text": "far away", "left": 2000000000, "top": -2000000000},
            {"text_effect": 5, "text": "W" * 255, "left": -2000000000},
            {"text_effect": 27, "text": "eleventh"},
            {"text_effect": 27, "text": "twelfth"}]
        film = {"loop": 1, "play_mode": 728, "items": [
            {"type": 1000, "media_file": str(len(first)), "transition_steps": 4,
             "duration_seconds": 1, "captions": captions},
            {"type": 1000, "media_file": str(len(second)), "transition_steps": 4,
             "duration_seconds": 1, "captions": captions[2:]}]}
        program = self.raw(film, first + second)
        with self.session() as s:
            window = self.start(s, program)
            time.sleep(6)  # both items, twice, with their animations
            shot = load_image(s.screenshot(pathlib.Path(ARGS.screenshots) / "damaged-captions.png"))
            self.assertNotEqual(shot.pixel(512, 384), (0, 0, 0), "no picture on the stage")
            self.escape(s, window)

    def test_alt_f4_ends_the_show_like_escape_whichever_window_is_active(self):
        program = self.film_with_music()
        for how in ("at once", "after Page Down", "after a click"):
            with self.subTest(how), self.session() as s:
                window = self.start(s, program)
                time.sleep(1)
                self.assertEqual(len(self.temp_files()), 2)
                if how == "after Page Down":
                    s.key("Next")
                elif how == "after a click":
                    s.click(500, 400)
                time.sleep(1)
                start = time.monotonic()
                s.key("alt+F4")
                # The screen is given back at once: no window of the player stays up.
                while s.find_windows(HOST_TITLE) or s.find_windows("Kestrelon Lumafolio"):
                    self.assertLess(time.monotonic() - start, 0.5, "the player's windows stayed up")
                    time.sleep(0.02)
                self.assertEqual(s.wait_exit(timeout=30), 0)
                self.assertEqual(self.temp_entries(), [])

    def test_two_players_at_once_keep_to_their_own_files(self):
        # Two films whose files have the same names: the second, timed, ends by itself while the
        # first is still on screen, and must leave the first's files as they were.
        first_film = self.film_with_music()
        second_film = self.film_with_music(mode="timed", name="second.exe", duration=1)
        with self.session() as s:
            self.start(s, first_film)
            [folder] = self.player_folders()
            before = {p.name: p.read_bytes() for p in folder.iterdir()}
            second = s.start_another(str(second_film))
            deadline = time.monotonic() + 60
            while len(self.player_folders()) < 2:
                self.assertLess(time.monotonic(), deadline, "the second player made no folder")
                time.sleep(0.05)
            self.assertEqual(second.wait(60), 0)
            self.assertEqual(self.player_folders(), [folder])
            self.assertEqual({p.name: p.read_bytes() for p in folder.iterdir()}, before)
            self.assertIsNone(s.proc.poll(), "the first player ended with the second")
            s.wait_active(PRESENTER_TITLE)
            s.key("Escape")
            self.assertEqual(s.wait_exit(timeout=30), 0)
            self.assertEqual(self.temp_entries(), [])

    def test_a_signed_film_plays_and_is_read(self):
        from wineharness import load_image
        program = self.build(f'[[item]]\nfile = "{self.pictures[0]}"\n')
        key, cert = self.work / "key.pem", self.work / "cert.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                        "-out", cert, "-days", "1", "-subj", "/CN=Lumafolio test"], check=True,
                       capture_output=True)
        signed = self.work / "signed.exe"
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", program, "-out",
                        signed], check=True, capture_output=True)
        self.assertGreater(signed.stat().st_size, program.stat().st_size)
        inspected = subprocess.run([self.filmtool, "inspect", signed, "--json"], check=True,
                                   capture_output=True, text=True).stdout
        self.assertEqual(len(json.loads(inspected)["items"]), 1)
        subprocess.run([self.filmtool, "extract", signed, "-d", self.work / "out"], check=True,
                       capture_output=True)
        extracted = [p for p in (self.work / "out").iterdir() if p.suffix == ".jpg"]
        self.assertEqual([p.read_bytes() for p in extracted], [self.pictures[0].read_bytes()])
        with self.session() as s:
            window = self.start(s, signed)
            shot = pathlib.Path(ARGS.screenshots) / "signed.png"
            deadline = time.monotonic() + 20
            while load_image(s.screenshot(shot)).pixel(512, 384) == (0, 0, 0):
                self.assertLess(time.monotonic(), deadline, "the signed film showed nothing")
                time.sleep(0.2)
            self.escape(s, window)

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
            s.wait_active(PRESENTER_TITLE)
            self.escape(s, window)


if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
