"""The show end to end under wine: films built by the native filmtool around player.exe, played
and watched from outside (screenshots, exit codes, files), never through a hook in the player.

Pictures are made by pictures.py (PPM -> cjpeg, baseline) so that what the screen must show is
known: a picture of exactly 800 x 600 must appear on the stage bit for bit as the player's own
decoder (filmtool decode) gives it; other sizes fitted to the stage within a nearest-pixel stretch.
"""
import contextlib
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
HOST_TITLE = "Lumafolio Standalone Player"
PRESENTER_TITLE = "Kestrelon Lumafolio"
SCREEN = (1024, 768)
STAGE = ((SCREEN[0] - 800) // 2, (SCREEN[1] - 600) // 2)  # (112, 84)


class ShowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-show-"))
        # Three stage-sized pictures that differ everywhere, a wide one and a large one.
        cls.red = Picture(ARGS.native, cls.work, "red", 800, 600,
                          lambda x, y: (200 + (x // 40) % 2 * 40, (y * 255) // 600, 30))
        cls.green = Picture(ARGS.native, cls.work, "green", 800, 600,
                            lambda x, y: (20, 180 + (y // 50) % 2 * 50, (x * 255) // 800))
        cls.blue = Picture(ARGS.native, cls.work, "blue", 800, 600,
                           lambda x, y: ((x + y) % 64, 40, 220 - (x // 100) * 10))
        cls.wide = Picture(ARGS.native, cls.work, "wide", 1000, 500,
                           lambda x, y: (255 * ((x // 100) % 2), 128, 255 * ((y // 100) % 2)))
        cls.large = Picture(ARGS.native, cls.work, "large", 1600, 1200,
                            lambda x, y: ((x * 7) % 256, (y * 5) % 256, ((x // 200 + y // 200) % 2) * 255))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    # --- films and sessions -----------------------------------------------------------------

    def build(self, pictures, mode="timed", loop=False, duration=1, transition="cut", steps=2):
        """A film of PICTURES; an entry may also be (picture, transition, steps) of its own."""
        entries = [p if isinstance(p, tuple) else (p, transition, steps) for p in pictures]
        items = "".join(f"""
[[item]]
file = "{p.path}"
duration = {duration}
transition = "{t}"
steps = {n}
""" for p, t, n in entries)
        (self.work / "film.toml").write_text(
            f'[film]\nloop = {"true" if loop else "false"}\nplay_mode = "{mode}"\n' + items)
        out = self.work / f"{self.id().split('.')[-1]}.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build",
                        self.work / "film.toml", "-o", out, "--player", ARGS.player],
                       check=True, capture_output=True)
        return out

    @contextlib.contextmanager
    def play(self, program, prepare=lambda session: None):
        """Plays PROGRAM in a fresh session, after PREPARE(session) has set the prefix up."""
        from wineharness import WineSession
        with WineSession(ARGS.root) as session:
            prepare(session)
            self.session = session
            self.temp = pathlib.Path(session.windows_temp_dir())
            if self.temp.exists():
                for entry in self.temp.iterdir():
                    shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            session.start(str(program))
            self.host = session.wait_window(HOST_TITLE, timeout=60)
            # A user's keys go to the show once it is the active window, a moment after it appears.
            self.presenter = session.wait_active(PRESENTER_TITLE, timeout=30)
            self.shots = 0
            yield session

    def screen(self):
        from wineharness import load_image
        self.shots += 1
        name = f"{self.id().split('.')[-1]}-{self.shots:02d}.png"
        return load_image(self.session.screenshot(pathlib.Path(ARGS.screenshots) / name))

    # --- what the stage shows ---------------------------------------------------------------

    @staticmethod
    def stage_equals(image, picture):
        """Whether the stage shows the 800 x 600 picture exactly as the player's decoder made it."""
        if image.width != SCREEN[0] or image.height != SCREEN[1]:
            return False
        for y in range(600):
            row = 3 * ((STAGE[1] + y) * image.width + STAGE[0])
            expected = 3 * (y * picture.decoded.width)
            if image.data[row:row + 2400] != picture.decoded.data[expected:expected + 2400]:
                return False
        return True

    def wait_for(self, picture, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.stage_equals(self.screen(), picture):
                return
            time.sleep(0.2)
        self.fail(f"the stage never showed {picture.path.name}")

    def keep_showing(self, picture, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.assertTrue(self.stage_equals(self.screen(), picture),
                            f"the stage stopped showing {picture.path.name}")
            time.sleep(0.3)

    def key(self, *keys):
        self.session.key(*keys)  # to the active window, as a user's keys go

    def repaint(self):
        """Makes every window on the screen paint itself again, as uncovering it would."""
        subprocess.run(["xrefresh"], env=self.session.env, check=True, timeout=10)
        time.sleep(0.5)

    def stage_is_black(self, image):
        return all(image.pixel(STAGE[0] + x, STAGE[1] + y) == (0, 0, 0)
                   for x in range(0, 800, 50) for y in range(0, 600, 50))

    def assert_ends(self, within=15):
        self.assertEqual(self.session.wait_exit(timeout=within), 0)
        self.assertEqual(sorted(self.temp.iterdir()), [], "temporary files were left behind")

    # --- tests --------------------------------------------------------------------------------

    def test_timed_film_plays_through_and_ends_by_itself(self):
        program = self.build([self.red, self.green, self.blue], duration=1)
        with self.play(program):
            self.wait_for(self.red)
            self.wait_for(self.green)
            self.wait_for(self.blue)
            self.assert_ends()

    def test_timed_mode_ignores_paging_and_clicks(self):
        program = self.build([self.red, self.green], duration=4, loop=True)
        with self.play(program):
            self.wait_for(self.red)
            self.key("Next", "Prior")
            self.session.click(500, 400)
            self.keep_showing(self.red, 2)
            self.key("Escape")
            self.assert_ends()

    def test_manual_paging_forward_and_back(self):
        program = self.build([self.red, self.green, self.blue], mode="manual")
        with self.play(program):
            self.wait_for(self.red, timeout=20)
            self.key("Prior")  # the first item, no loop: ignored
            self.keep_showing(self.red, 1.5)
            self.key("Next")
            self.wait_for(self.green)
            self.key("Prior")  # back by way of "before the first item"
            self.wait_for(self.red)
            self.session.click(500, 400)
            self.wait_for(self.green)
            self.key("Next")
            self.wait_for(self.blue)
            self.key("Prior")
            self.wait_for(self.green)
            self.key("Next")
            self.wait_for(self.blue)
            self.key("Next")  # past the last item without loop: the show ends
            self.assert_ends()

    def test_manual_loop_wraps_both_ways(self):
        program = self.build([self.red, self.green, self.blue], mode="manual", loop=True)
        with self.play(program):
            self.wait_for(self.red)
            self.key("Prior")  # the first item with loop: the last one
            self.wait_for(self.blue)
            self.key("Next")
            self.wait_for(self.red)
            self.key("Escape")
            self.assert_ends()

    def test_escape_cuts_a_long_transition_short(self):
        # 900 steps take 15 s at 60 frames a second; Escape must end the show at once.
        program = self.build([self.red, self.green], duration=1, loop=True, transition="fade",
                             steps=900)
        with self.play(program):
            self.wait_for(self.red)
            time.sleep(2.5)  # well inside the fade into green
            self.assertFalse(self.stage_equals(self.screen(), self.green))
            start = time.monotonic()
            self.key("Escape")
            self.assert_ends(within=10)
            self.assertLess(time.monotonic() - start, 5)

    def test_double_click_ends_the_show_even_during_a_transition(self):
        program = self.build([self.red, self.green], mode="manual", loop=True)
        with self.play(program):
            self.wait_for(self.red)
            self.session.double_click(400, 300)
            self.assert_ends()
        program = self.build([self.red, self.green], duration=1, loop=True, transition="fade",
                             steps=900)
        with self.play(program):
            self.wait_for(self.red)
            time.sleep(2.5)  # inside the 15-second fade into green
            start = time.monotonic()
            self.session.double_click(400, 300)
            self.assert_ends(within=10)
            self.assertLess(time.monotonic() - start, 5)

    def test_other_sizes_are_fitted_to_the_stage(self):
        program = self.build([self.wide], mode="manual")
        with self.play(program):
            deadline = time.monotonic() + 20
            while True:
                image = self.screen()
                # 1000 x 500 fits as 800 x 400, 100 lines below the stage top, on black.
                if image.pixel(STAGE[0] + 400, STAGE[1] + 300) != (0, 0, 0):
                    break
                self.assertLess(time.monotonic(), deadline, "the picture never appeared")
                time.sleep(0.2)
            time.sleep(0.5)
            image = self.screen()
            for x in range(0, 800, 7):
                for y in list(range(0, 100, 9)) + list(range(500, 600, 9)):
                    self.assertEqual(image.pixel(STAGE[0] + x, STAGE[1] + y), (0, 0, 0), (x, y))
            mismatches = 0
            for y in range(100, 500, 5):
                for x in range(0, 800, 5):
                    got = image.pixel(STAGE[0] + x, STAGE[1] + y)
                    # Nearest pixel of the stretch, give or take one source pixel of rounding.
                    sx, sy = x * 1000 // 800, (y - 100) * 500 // 400
                    near = {self.wide.decoded.pixel(min(max(sx + dx, 0), 999), min(max(sy + dy, 0), 499))
                            for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
                    mismatches += got not in near
            self.assertEqual(mismatches, 0)
            self.key("Escape")
            self.assert_ends()

    def assert_view(self, image, source, what):
        """The whole screen shows the decoded large picture with screen (x, y) taken from its
        pixel source(x, y), give or take one pixel of the stretch's rounding."""
        bad = []
        for y in range(0, SCREEN[1], 23):
            for x in range(0, SCREEN[0], 23):
                sx, sy = source(x, y)
                near = {self.large.decoded.pixel(min(max(sx + dx, 0), 1599), min(max(sy + dy, 0), 1199))
                        for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
                if image.pixel(x, y) not in near:
                    bad.append((x, y))
        self.assertEqual(bad[:5], [], f"{what}: {len(bad)} points show the wrong part of the picture")

    def test_zoom_and_pan_show_the_right_part_at_once_and_on_repaint(self):
        program = self.build([self.large], mode="manual", loop=True)
        with self.play(program):
            deadline = time.monotonic() + 20
            while self.screen().pixel(STAGE[0] + 400, STAGE[1] + 300) == (0, 0, 0):
                self.assertLess(time.monotonic(), deadline, "the picture never appeared")
                time.sleep(0.2)
            time.sleep(0.5)
            # Zoomed in, the 1600 x 1200 picture is drawn at 3200 x 2400 from its top-left corner
            # over the whole screen; each arrow key moves the view 25 pixels of the zoomed picture.
            self.key("KP_Add")
            time.sleep(0.5)
            self.assert_view(self.screen(), lambda x, y: (x // 2, y // 2), "zoomed in")
            self.key("Right", "Down")
            time.sleep(0.5)
            panned = lambda x, y: ((x + 25) // 2, (y + 25) // 2)
            self.assert_view(self.screen(), panned, "panned")
            self.repaint()
            self.assert_view(self.screen(), panned, "panned, after a repaint")
            # Zoomed out again: the picture at its own size, from its top-left corner.
            self.key("KP_Subtract")
            time.sleep(0.5)
            self.assert_view(self.screen(), lambda x, y: (x, y), "zoomed out")
            # The next step (the same picture again: the film loops) shows it fitted to the stage.
            self.key("Next")
            deadline = time.monotonic() + 20
            while self.screen().pixel(20, 20) != (0, 0, 0):
                self.assertLess(time.monotonic(), deadline, "the next step kept the zoomed view")
                time.sleep(0.2)
            self.assertNotEqual(self.screen().pixel(STAGE[0] + 400, STAGE[1] + 300), (0, 0, 0))
            self.key("Escape")
            self.assert_ends()

    def test_first_transition_is_seen_and_a_cut_leaves_the_new_picture(self):
        # 600 steps take 10 s at 60 frames a second.
        for mode in ("timed", "manual"):
            with self.subTest(mode):
                program = self.build([self.red, self.green], mode=mode, transition="fade", steps=600)
                with self.play(program):
                    time.sleep(2.5)  # the fade from black into the first picture is under way
                    image = self.screen()
                    self.assertFalse(self.stage_is_black(image), "the first fade was not seen")
                    self.assertFalse(self.stage_equals(image, self.red), "the first fade was not seen")
                    self.key("Escape")
                    self.assert_ends()
        # Manual, no loop: Page Up on the first item cuts its fade short and is otherwise ignored;
        # Page Down during the fade into green cuts it and starts the step into blue, a "cut"
        # transition that shows where it starts from (the stage as it was left) for 5 s.
        program = self.build([self.red, self.green, (self.blue, "cut", 600)], mode="manual",
                             transition="fade", steps=600)
        with self.play(program):
            time.sleep(1.5)
            self.key("Prior")
            self.wait_for(self.red, timeout=3)
            self.repaint()
            self.assertTrue(self.stage_equals(self.screen(), self.red), "a repaint lost the picture")
            self.key("Next")
            time.sleep(1.5)
            self.key("Next")
            self.wait_for(self.green, timeout=4)
            self.wait_for(self.blue, timeout=10)
            self.repaint()
            self.assertTrue(self.stage_equals(self.screen(), self.blue), "a repaint lost the picture")
            self.key("Escape")
            self.assert_ends()

    def test_a_picture_that_never_decodes_shows_black_not_another_picture(self):
        program = self.build([self.red, self.green, self.blue], mode="manual")
        # Damage the green picture inside the program: its start-of-image marker goes.
        data = bytearray(program.read_bytes())
        start = data.index(self.green.path.read_bytes())
        data[start:start + 2] = b"\0\0"
        program.write_bytes(bytes(data))
        with self.play(program):
            self.wait_for(self.red)
            self.key("Next")
            deadline = time.monotonic() + 20
            while True:
                image = self.screen()
                if all(image.pixel(STAGE[0] + x, STAGE[1] + y) == (0, 0, 0)
                       for x in range(0, 800, 50) for y in range(0, 600, 50)):
                    break
                self.assertLess(time.monotonic(), deadline, "the damaged item did not show black")
                time.sleep(0.2)
            self.key("Next")  # the show goes on past it
            self.wait_for(self.blue)
            self.key("Escape")
            self.assert_ends()

    def test_page_up_on_the_last_item_of_a_film_without_loop(self):
        # Manual film without loop on its last item: the worker has nothing left to prepare.
        program = self.build([self.red, self.green], mode="manual")
        with self.play(program):
            self.wait_for(self.red)
            self.key("Next")
            self.wait_for(self.green)
            time.sleep(0.5)  # the worker finds nothing after the last item
            self.key("Prior")
            self.wait_for(self.red)
            self.key("Escape")
            self.assert_ends()

    def test_a_film_left_without_items_ends_at_once(self):
        from wineharness import WineSession
        deck = self.work / "deck.pps"
        deck.write_bytes(b"P" * 500)
        (self.work / "film.toml").write_text(f'[[item]]\ntype = "powerpoint"\nfile = "{deck}"\n')
        program = self.work / "empty.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build",
                        self.work / "film.toml", "-o", program, "--player", ARGS.player],
                       check=True, capture_output=True)
        with WineSession(ARGS.root) as session:
            self.session = session
            session.run_wine(["reg", "delete",
                              r"HKLM\SOFTWARE\MICROSOFT\OFFICE\8.0\POWERPOINT\VIEWER\8.0", "/f"],
                             check=False)
            self.temp = pathlib.Path(session.windows_temp_dir())
            if self.temp.exists():
                for entry in self.temp.iterdir():
                    shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            session.start(str(program))
            session.wait_window("Error", timeout=60)  # no viewer: the item is dropped
            session.wait_active("Error")
            session.key("Return")
            self.assert_ends()

    def test_a_powerpoint_item_holds_the_show_until_the_viewer_is_closed(self):
        deck = self.work / "Quarterly review deck.pps"  # spaces and a long name
        deck.write_bytes(b"P" * 700)
        show = f'type = "powerpoint"\nfile = "{deck}"\nduration = 1'
        items = [f'file = "{self.red.path}"\nduration = 1', show,
                 f'file = "{self.green.path}"\nduration = 2', show,
                 f'file = "{self.blue.path}"\nduration = 2']
        (self.work / "film.toml").write_text('[film]\nloop = false\n' + "".join(
            f'[[item]]\n{item}\ntransition = "cut"\nsteps = 2\n' for item in items))
        program = self.work / "powerpoint.exe"
        subprocess.run([pathlib.Path(ARGS.native) / "tools/filmtool/filmtool", "build",
                        self.work / "film.toml", "-o", program, "--player", ARGS.player],
                       check=True, capture_output=True)
        viewer = None

        def register_viewer(session):
            nonlocal viewer
            viewer = session.linux_path(r"C:\Program Files\Stand-in Viewer\PowerPoint Viewer.exe")
            viewer.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(ARGS.viewer, viewer)
            (viewer.parent / "viewer-args.txt").unlink(missing_ok=True)
            session.run_wine(["reg", "add", r"HKLM\SOFTWARE\MICROSOFT\OFFICE\8.0\POWERPOINT\VIEWER\8.0",
                              "/v", "Path", "/d", session.windows_path(viewer), "/f"])

        with self.play(program, register_viewer) as session:
            args_file = viewer.parent / "viewer-args.txt"
            session.wait_window("Stand-in Viewer", timeout=60)
            # Short paths that exist, no quotes: the viewer's own path, /A, the show file.
            [line] = args_file.read_text().splitlines()
            self.assertNotIn('"', line)
            shown_viewer, switch, show = line.split(" ")
            self.assertEqual(switch, "/A")
            # Wine makes short names up; it finds the files they stand for.
            long_path = lambda short: pathlib.Path(session.run_wine(["winepath", "-u", short]).stdout.strip())
            self.assertTrue(long_path(shown_viewer).samefile(viewer))
            self.assertEqual(long_path(show).read_bytes(), deck.read_bytes())
            # The show stands still while the viewer runs: a show that went on would have started
            # the second viewer by now.
            time.sleep(4)
            self.assertIsNone(session.proc.poll())
            self.assertEqual(len(args_file.read_text().splitlines()), 1)
            (viewer.parent / "viewer-close").touch()
            self.wait_for(self.green)
            # The viewer had the keyboard; the show has it back and can be ended.
            session.wait_active(PRESENTER_TITLE, timeout=10)
            # The viewer is gone for the second show: it shows nothing and the show goes on.
            viewer.unlink()
            self.wait_for(self.blue, timeout=10)
            self.assert_ends(within=10)
            self.assertEqual(len(args_file.read_text().splitlines()), 1)

if __name__ == "__main__":
    ARGS, rest = parse_args("viewer")
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
