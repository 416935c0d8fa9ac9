"""filmtool render as a user runs it: PNG frames that are the player's pictures, a repeatable
timeline, an MP4 that holds them and the film's music, and bad input refused without leftovers.
"""
import argparse
import hashlib
import json
import math
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

ARGS = None
FPS = 60


def filmtool(*arguments, check=True):
    run = subprocess.run([ARGS.filmtool, *map(str, arguments)], capture_output=True, text=True)
    if check and run.returncode != 0:
        raise AssertionError(f"filmtool {' '.join(map(str, arguments))} failed:\n{run.stderr}")
    return run


def png_rgb(path):
    """A PNG's pixels as raw RGB bytes, read back through ImageMagick."""
    return subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout


def pixels(path):
    """A digest of a PNG's pixels: frames are compared whole, and a failure must not print them."""
    return hashlib.sha256(png_rgb(path)).hexdigest()


def write_sine(path, seconds, rate=44100, hz=440.0):
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * hz * i / rate)))
                                 for i in range(int(seconds * rate))))


class RenderTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="lumafolio-render-"))
        subprocess.run([ARGS.demopictures, cls.work / "pictures"], check=True, capture_output=True)
        # Any Windows program will do as the player: an MS-DOS header that leads to "PE".
        player = bytearray(4096)
        player[0:2] = b"MZ"
        player[0x3C] = 0x80
        player[0x80:0x84] = b"PE\0\0"
        cls.player = cls.work / "player.exe"
        cls.player.write_bytes(player)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def describe(self, name, items, header='[film]\nloop = true\nplay_mode = "timed"\n'):
        path = self.work / name
        path.write_text(header + "".join(items))
        return path

    def frames(self, folder):
        return sorted(folder.glob("frame-*.png"))

    def test_frames_are_the_players_pictures_and_repeat_exactly(self):
        # Two 800x600 pictures (the second without captions, so its held frames are the bare
        # picture) and a smaller one brought on by a random transition.
        items = [
            '[[item]]\nfile = "pictures/01-sunset.jpg"\nduration = 1\ntransition = "fade"\nsteps = 10\n'
            '[[item.caption]]\ntext = "Sunset"\neffect = "wipe-right"\nleft = 40\ntop = 40\n'
            'font = { face = "Arial", height = -40 }\n',
            '[[item]]\nfile = "pictures/02-stripes.jpg"\nduration = 1\ntransition = "push-left"\nsteps = 6\n',
            '[[item]]\nfile = "pictures/04-checker.jpg"\nduration = 1\ntransition = "random"\nsteps = 5\n',
        ]
        film = self.describe("frames.toml", items)
        first, again, other = (self.work / n for n in ("first", "again", "other"))
        filmtool("render", film, "-o", first, "--quiet")
        filmtool("render", film, "-o", again, "--quiet")
        filmtool("render", film, "-o", other, "--quiet", "--seed", "12345")

        steps = [10, 6, 5]
        frames = self.frames(first)
        self.assertEqual(len(frames), sum(s + 1 + 33 + FPS for s in steps))
        for name in ("01-sunset", "02-stripes"):
            filmtool("decode", self.work / "pictures" / f"{name}.jpg", "--fitted", "-o", self.work / f"{name}.png")
        sunset, stripes = (pixels(self.work / f"{n}.png") for n in ("01-sunset", "02-stripes"))
        end_of_first = steps[0]
        second_start = steps[0] + 1 + 33 + FPS
        end_of_second = second_start + steps[1]
        self.assertEqual(pixels(frames[end_of_first]), sunset, "the first transition's last frame")
        self.assertNotEqual(pixels(frames[end_of_first + 33]), sunset, "no caption drawn")
        self.assertEqual(pixels(frames[end_of_second]), stripes, "the second transition's last frame")
        for held in (end_of_second + 1, end_of_second + 33, second_start + steps[1] + 33 + FPS):
            self.assertEqual(pixels(frames[held]), stripes, f"held frame {held}")

        # The same seed draws the same frames; another seed another random transition (the
        # generator's first number after seeds below a few hundred picks the first effect).
        def digests(files):
            return [hashlib.sha256(f.read_bytes()).hexdigest() for f in files]
        self.assertEqual(digests(frames), digests(self.frames(again)))
        third = end_of_second + 1 + 33 + FPS
        self.assertNotEqual(digests(frames[third:third + 5]), digests(self.frames(other)[third:third + 5]))

    def test_a_larger_stage_letterboxes_pictures_and_scales_captions(self):
        # A magenta caption over the stripes' grey ramp, where nothing else is magenta.
        film = self.describe("large.toml", [
            '[[item]]\nfile = "pictures/02-stripes.jpg"\nduration = 1\ntransition = "cut"\nsteps = 1\n'
            '[[item.caption]]\ntext = "Scaled"\neffect = "appear"\nleft = 100\ntop = 450\n'
            'colour = "#FF00FF"\nfont = { face = "Arial", height = -40 }\n'])

        def settled(size):
            folder = self.work / f"large-{size}"
            filmtool("render", film, "-o", folder, "--size", size, "--fps", "25", "--quiet")
            width, height = map(int, size.split("x"))
            return png_rgb(self.frames(folder)[-1]), width, height

        def magenta_box(image, width):
            spots = [(i // 3 % width, i // 3 // width) for i in range(0, len(image), 3)
                     if image[i] > 200 and image[i + 1] < 80 and image[i + 2] > 200]
            xs, ys = [x for x, _ in spots], [y for _, y in spots]
            return min(xs), min(ys), max(xs), max(ys)

        small, _, _ = settled("800x600")
        large, width, height = settled("1920x1080")
        # 800x600 grows 1.8 times to 1440x1080, centred: black bars of 240 columns each side.
        for y in (0, 540, 1079):
            row = large[y * width * 3:(y + 1) * width * 3]
            self.assertEqual(set(row[:240 * 3]) | set(row[-240 * 3:]), {0}, f"bars of row {y}")
            self.assertNotEqual(set(row[300 * 3:1600 * 3]), {0}, f"picture of row {y}")
        box = magenta_box(small, 800)
        want = (240 + box[0] * 1.8, box[1] * 1.8, 240 + box[2] * 1.8, box[3] * 1.8)
        for got, expected in zip(magenta_box(large, width), want):
            self.assertAlmostEqual(got, expected, delta=6)

    def test_mp4_holds_the_frames_and_the_music(self):
        write_sine(self.work / "tone.wav", 1.5)
        items = [
            '[[item]]\nfile = "pictures/03-shapes.jpg"\nduration = 1\ntransition = "fade"\nsteps = 20\n'
            'music = "tone.wav"\n',
            '[[item]]\nfile = "pictures/05-rings.jpg"\nduration = 1\ntransition = "cut"\nsteps = 1\n',
        ]
        film = self.describe("music.toml", items)
        video, frames = self.work / "music.mp4", self.work / "music-frames"
        filmtool("render", film, "-o", video, "--fps", "30", "--quiet")
        filmtool("render", film, "-o", frames, "--fps", "30", "--quiet")
        count = len(self.frames(frames))
        self.assertEqual(count, 11 + 17 + 30 + 1 + 17 + 30)  # 21 and 34 frames' worth at half rate

        probe = json.loads(subprocess.run(
            ["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", video],
            capture_output=True, check=True, text=True).stdout)
        codecs = sorted(s["codec_name"] for s in probe["streams"])
        self.assertEqual(codecs, ["aac", "h264"])
        self.assertAlmostEqual(float(probe["format"]["duration"]), count / 30, delta=1 / 30 + 0.03)

        psnr = subprocess.run(["ffmpeg", "-v", "info", "-i", video, "-framerate", "30", "-i",
                               frames / "frame-%06d.png", "-lavfi", "psnr", "-f", "null", "-"],
                              capture_output=True, text=True).stderr
        average = float(psnr.split("average:")[1].split()[0])
        self.assertGreaterEqual(average, 40.0, psnr[-400:])

        # The sound: the tone from the end of the first transition (11 frames), then silence once
        # its 1.5 s have played.
        pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", video, "-ac", "1", "-ar", "48000",
                              "-f", "s16le", "-"], capture_output=True, check=True).stdout
        samples = struct.unpack(f"<{len(pcm) // 2}h", pcm)
        window = samples[24000:72000]
        energy = math.sqrt(sum(s * s for s in window)) or 1
        best = 0.0
        for lag in range(0, 110, 2):  # one period of 440 Hz, in steps of 2 samples
            ref = [math.sin(2 * math.pi * 440 * (i + lag) / 48000) for i in range(len(window))]
            best = max(best, sum(a * b for a, b in zip(window, ref)) / energy / math.sqrt(len(ref) / 2))
        self.assertGreater(best, 0.95)
        tail = samples[int(1.95 * 48000):]
        self.assertLess(max(abs(s) for s in tail), 200, "music after its end")

    def test_bad_input_is_refused_and_leaves_nothing(self):
        film = self.describe("bad.toml", [
            '[[item]]\nfile = "pictures/01-sunset.jpg"\nduration = 1\ntransition = "cut"\nsteps = 1\n',
            '[[item]]\nfile = "pictures/02-stripes.jpg"\nduration = 1\ntransition = "cut"\nsteps = 1\n'])
        program = self.work / "bad.exe"
        filmtool("build", film, "-o", program, "--player", self.player)
        bare = self.work / "bare"
        filmtool("extract", program, "-d", bare)

        # A picture that does not decode shows black, as in the player, and is named.
        media = sorted(p for p in bare.iterdir() if p.suffix == ".jpg")
        damaged = self.work / "damaged"
        shutil.copytree(bare, damaged)
        (damaged / media[1].name).write_bytes(b"\xff\xd8" + b"\0" * (media[1].stat().st_size - 2))
        run = filmtool("render", damaged / "Film.flm", "-o", self.work / "black", "--quiet")
        self.assertIn("item 2", run.stderr)
        held = self.frames(self.work / "black")[-1]
        self.assertEqual(set(png_rgb(held)), {0}, "the undecodable picture's held frame is not black")

        cut = self.work / "cut.exe"
        cut.write_bytes(program.read_bytes()[:-20000])
        missing = self.work / "missing"
        shutil.copytree(bare, missing)
        (missing / media[0].name).unlink()
        readonly = self.work / "readonly"
        readonly.mkdir()
        readonly.chmod(0o555)
        unwritable = [] if os.geteuid() == 0 else [  # root writes anywhere
            ([program, "-o", readonly / "film.mp4"], "film.mp4"),
            ([program, "-o", readonly / "frames"], "frames")]
        cases = unwritable + [
            ([cut, "-o", self.work / "cut.mp4"], "runs past the end"),
            ([missing / "Film.flm", "-o", self.work / "missing.mp4"], media[0].name),
            ([self.work / "nothing.exe", "-o", self.work / "nothing.mp4"], "nothing.exe"),
            ([program, "-o", self.work / "no" / "such" / "folder.mp4"], "does not exist"),
        ]
        for arguments, named in cases:
            with self.subTest(arguments=arguments):
                before = sorted(os.listdir(self.work)) + sorted(os.listdir(readonly))
                run = filmtool("render", *arguments, "--quiet", check=False)
                self.assertEqual(run.returncode, 1, run.stderr[-2000:])
                self.assertIn(named, run.stderr)
                self.assertEqual(before, sorted(os.listdir(self.work)) + sorted(os.listdir(readonly)))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--filmtool", required=True)
    parser.add_argument("--demopictures", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
