"""Background music end to end under wine: what the player plays is heard through the harness's
audio capture (wine's ALSA driver writing into ALSA's file device, no sound card), and compared
sample for sample with the film's wave files.

Films are built by the native filmtool around player.exe (a film filmtool refuses to make is
written raw), pictures by pictures.py so that each item's arrival on the stage can be seen, and
the wave file heard in full is the demo film's own theme, made by demopictures: the capture of
that test is left beside the screenshots, to listen to.

Wine feeds the capture faster than real time (the null device behind it never waits): about four
seconds of sound a second here. So the checks ask for samples in order, not for timing, and let
silence in where the feed ran late on a busy machine (seen: 10 ms in a demo run).
"""
import contextlib
import json
import pathlib
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import wave

from pictures import Picture
from player_args import parse_args

ARGS = None
HOST_TITLE = "Lumafolio Standalone Player"
SCREEN = (1024, 768)
STAGE = ((SCREEN[0] - 800) // 2, (SCREEN[1] - 600) // 2)
RATE, FRAME = 44100, 4  # 16-bit stereo
FILM_MARKER = b"LumafolioFilmDescription"
MEDIA_MARKER = b"LumafolioMediaDescription"


def write_wave(path, pcm):
    with wave.open(str(path), "wb") as out:
        out.setparams((2, 2, RATE, 0, "NONE", "not compressed"))
        out.writeframes(pcm)
    return path


def samples_of(path):
    with wave.open(str(path), "rb") as source:
        assert (source.getnchannels(), source.getsampwidth(), source.getframerate()) == (2, 2, RATE)
        return source.readframes(source.getnframes())


def hiss(seconds):
    """Quiet random sound (high bytes squeezed into -8..7): never silent, never repeating."""
    pcm = bytearray(random.Random(13).randbytes(int(seconds * RATE) * FRAME))
    squeeze = bytes((b & 0x0F) | (0xF0 if b & 0x08 else 0) for b in range(256))
    pcm[1::2] = pcm[1::2].translate(squeeze)
    return bytes(pcm)


def midi_file(path):
    """A standard MIDI file, format 0: a rising C major arpeggio on a piano."""
    events = bytes([0x00, 0xC0, 0x00])  # at once: channel 1 plays program 0, the piano
    for key in (60, 64, 67, 72):
        events += bytes([0x00, 0x90, key, 0x60, 0x60, 0x80, key, 0x40])  # on, 96 ticks, off
    events += bytes([0x00, 0xFF, 0x2F, 0x00])  # end of track
    path.write_bytes(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" +
                     struct.pack(">I", len(events)) + events)
    return path


def first_sound(pcm):
    """Where the first frame that is not silence starts."""
    silent = len(pcm) - len(pcm.lstrip(b"\0"))
    return silent - silent % FRAME


def common_frames(a, b):
    """How many whole frames A and B share at their start."""
    a, b = memoryview(a), memoryview(b)
    low, high = 0, min(len(a), len(b)) // FRAME
    while low < high:  # a and b agree on their first `low` frames
        middle = (low + high + 1) // 2
        if a[low * FRAME:middle * FRAME] == b[low * FRAME:middle * FRAME]:
            low = middle
        else:
            high = middle - 1
    return low


class MusicTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-music-"))
        native = pathlib.Path(ARGS.native)
        cls.filmtool = native / "tools/filmtool/filmtool"
        cls.write_film = native / "tests/film/write_film"
        subprocess.run([native / "tools/demopictures/demopictures", cls.work / "demo"], check=True,
                       capture_output=True)
        cls.theme = cls.work / "demo/theme.wav"
        cls.red, cls.green, cls.blue = (
            Picture(ARGS.native, cls.work, name, 800, 600, pixel) for name, pixel in (
                ("red", lambda x, y: (220, (y * 255) // 600, 40)),
                ("green", lambda x, y: (30, 190, (x * 255) // 800)),
                ("blue", lambda x, y: ((x + y) % 64, 40, 220))))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    # --- films and sessions -----------------------------------------------------------------

    def build(self, items):
        """A timed film without loop of (picture, seconds, more TOML for the item) entries."""
        (self.work / "film.toml").write_text('[film]\nloop = false\nplay_mode = "timed"\n' + "".join(
            f'[[item]]\nfile = "{p.path}"\nduration = {s}\ntransition = "cut"\nsteps = 2\n{more}\n'
            for p, s, more in items))
        program = self.work / f"{self.id().split('.')[-1]}.exe"
        subprocess.run([self.filmtool, "build", self.work / "film.toml", "-o", program, "--player",
                        ARGS.player], check=True, capture_output=True)
        return program

    @contextlib.contextmanager
    def play(self, program):
        """Plays PROGRAM in a session whose sound goes to files: self.heard() lists them."""
        from wineharness import WineSession
        with WineSession(ARGS.root, audio=self.work / "heard.raw") as session:
            self.session = session
            self.temp = pathlib.Path(session.windows_temp_dir())
            if self.temp.exists():
                for entry in self.temp.iterdir():
                    shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
            session.start(str(program))
            session.wait_window(HOST_TITLE, timeout=60)
            yield session

    def heard(self):
        """What the sound device received, one bytes object for each time it was opened."""
        return [capture.read_bytes() for capture in self.session.audio_captures()]

    def wait_for(self, picture, timeout=20):
        from wineharness import load_image
        shot = pathlib.Path(ARGS.screenshots) / f"music-{self.id().split('.')[-1]}.png"
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            image = load_image(self.session.screenshot(shot))
            rows = ((3 * ((STAGE[1] + y) * SCREEN[0] + STAGE[0]), 2400 * y) for y in range(600))
            if all(image.data[at:at + 2400] == picture.decoded.data[row:row + 2400] for at, row in rows):
                return  # the stage shows the picture exactly as the player's decoder makes it
            time.sleep(0.2)
        self.fail(f"the stage never showed {picture.path.name}")

    def assert_ends(self, within=20):
        self.assertEqual(self.session.wait_exit(timeout=within), 0)
        self.assertEqual(sorted(self.temp.iterdir()), [], "temporary files were left behind")

    def assert_heard(self, capture, music):
        """The capture holds the music's samples in order from its first sound on, cut short at
        most (by a stop or the end of the show), with nothing but silence around and between
        them: when its feed of samples runs late (an underrun, on a busy machine), wine fills the
        moment with silence. Returns the number of the music's bytes heard."""
        self.assertTrue(capture.strip(b"\0"), "only silence was heard")
        heard, music = capture[first_sound(capture):], music[first_sound(music):]
        i = j = 0  # what of heard and of music has been matched
        while True:
            n = common_frames(heard[i:], music[j:]) * FRAME
            i, j = i + n, j + n
            if i == len(heard) or j == len(music):
                break
            if heard[i:i + FRAME].strip(b"\0") or not music[j:j + FRAME].strip(b"\0"):
                self.fail(f"what was heard leaves the music {j / FRAME / RATE:.3f} s after its start")
            i += first_sound(heard[i:])  # an underrun: silence where the music sounds
        after = len(heard[i:].strip(b"\0")) // FRAME
        self.assertEqual(after, 0, f"{after} frames of sound after the music's end")
        return j

    # --- tests --------------------------------------------------------------------------------

    def test_a_wave_file_is_heard_sample_for_sample_from_start_to_end(self):
        # The theme lasts under 8 s, the show 9 s after the first item: the whole tune is heard,
        # once (the second item keeps the music going, it does not start it again).
        program = self.build([(self.red, 6, f'music = "{self.theme}"'), (self.green, 3, "")])
        with self.play(program):
            self.wait_for(self.red)
            self.assert_ends(within=30)
            heard = self.heard()
        self.assertEqual(len(heard), 1, f"the sound device was opened {len(heard)} times")
        listen = write_wave(pathlib.Path(ARGS.screenshots) / "music-theme-heard.wav", heard[0])
        print(f"\n  the theme as the player played it: {listen}", file=sys.stderr)
        music = samples_of(self.theme)
        self.assertEqual(self.assert_heard(heard[0], music), len(music) - first_sound(music),
                         "the end of the theme was not heard")

    def test_an_item_with_music_mode_stop_silences_the_music(self):
        long = write_wave(self.work / "long.wav", hiss(60))  # far longer than the show
        program = self.build([(self.red, 2, f'music = "{long}"'),
                              (self.green, 3, 'music_mode = "stop"')])
        with self.play(program):
            self.wait_for(self.red)
            self.wait_for(self.green)
            time.sleep(0.5)  # the music stops as the item settles on the stage, after its transition
            size = sum(map(len, self.heard()))
            self.assertGreater(size, 0, "no music was heard before the stop")
            time.sleep(1.5)
            self.assertEqual(sum(map(len, self.heard())), size, "the music went on after the stop")
            self.assert_ends()
            heard = self.heard()
        self.assertEqual(len(heard), 1, f"the sound device was opened {len(heard)} times")
        self.assertLess(self.assert_heard(heard[0], samples_of(long)), 60 * RATE * FRAME,
                        "the whole file was heard: it was never stopped")

    def test_midi_music_opens_and_closes_and_the_show_goes_on(self):
        # No sequencer sounds on these machines: the MIDI device opens and closes, and that is all.
        program = self.build([(self.red, 1, f'music = "{midi_file(self.work / "tune.mid")}"'),
                              (self.green, 1, "")])
        with self.play(program):
            self.wait_for(self.red)
            self.wait_for(self.green)
            self.assert_ends()

    def test_music_files_that_cannot_play_leave_the_show_going(self):
        # Written raw: filmtool refuses an empty file, which the player is then given by name only
        # ("0-..." means no bytes in the payload). The others: no wave at all, and one whose data
        # chunk announces 10 s but holds 0.1 s, as a copy cut short would.
        pictures = [p.path.read_bytes() for p in (self.red, self.green, self.blue)]
        not_wave = b"this is not a wave file\r\n" * 40
        cut = (self.theme.read_bytes()[:40] + struct.pack("<I", 10 * RATE * FRAME) +
               samples_of(self.theme)[:RATE * FRAME // 10])
        musics = [(f"{len(not_wave)}-noise.wav", not_wave), ("0-empty.wav", b""),
                  (f"{len(cut)}-cut.wav", cut)]
        items = [{"type": 1000, "media_file": str(len(picture)), "music_file": name, "music_mode": 3,
                  "duration_seconds": 1, "transition_steps": 2}
                 for picture, (name, _) in zip(pictures, musics)]
        film = {"loop": 0, "play_mode": 728, "items": items}
        subprocess.run([self.write_film, self.work / "raw.flm"], input=json.dumps(film).encode(),
                       check=True)
        program = self.work / "damaged-music.exe"
        program.write_bytes(pathlib.Path(ARGS.player).read_bytes() + FILM_MARKER +
                            (self.work / "raw.flm").read_bytes() + MEDIA_MARKER +
                            b"".join(picture + data for picture, (_, data) in zip(pictures, musics)))
        with self.play(program):
            for picture in (self.red, self.green, self.blue):
                self.wait_for(picture)
            self.assert_ends()


if __name__ == "__main__":
    ARGS, rest = parse_args()
    pathlib.Path(ARGS.screenshots).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
