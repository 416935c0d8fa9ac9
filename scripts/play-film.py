"""Plays a film program under wine, the way a user would start it.

With an X display (DISPLAY set) the player opens on that desktop in a prefix of its own and runs
until you press Escape; its music plays on your sound device. Without one it runs under the
harness's virtual display: screenshots are taken once a second for --seconds, then Escape ends
the show and the exit code is reported. A film that ends by itself (a timed film without loop)
ends the watching early; its exit code is reported the same way. --keys types keys at given times
(seconds from the player's window), e.g. --keys 2:Right,4:Right,6:Escape; watching lasts until
the last key when that comes later than --seconds. --screen sets the virtual display's size. The
music it played is kept beside the screenshots, to listen to: music.wav, and music-2.wav,
music-3.wav... when music was started again.

Usage: play-film.py PROGRAM --root WINE_ROOT [--screenshots DIR] [--seconds N] [--headless]
                    [--keys T:KEY,...] [--screen WxH]
"""
import argparse
import os
import re
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from wineharness import WineSession, ensure_template  # noqa: E402

parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
parser.add_argument("program")
parser.add_argument("--root", required=True, help="folder for wine prefixes")
parser.add_argument("--screenshots", default=None, help="folder for the screenshots (headless)")
parser.add_argument("--seconds", type=int, default=5, help="how long to watch (headless)")
parser.add_argument("--headless", action="store_true", help="use a virtual display even when DISPLAY is set")


def key_list(text):
    """"2:Right,4.5:space" -> [(2.0, "Right"), (4.5, "space")], in time order."""
    keys = []
    for entry in filter(None, text.split(",")):
        match = re.fullmatch(r"\s*(\d+(?:\.\d+)?)\s*:\s*(\S+)\s*", entry)
        if not match:
            raise argparse.ArgumentTypeError(f"{entry!r} is not SECONDS:KEY (e.g. 2:Right)")
        keys.append((float(match[1]), match[2]))
    return sorted(keys, key=lambda k: k[0])


def screen_size(text):
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match or not (320 <= int(match[1]) <= 8192 and 200 <= int(match[2]) <= 8192):
        raise argparse.ArgumentTypeError(f"{text!r} is not a screen size WxH such as 1024x768")
    return f"{match[1]}x{match[2]}x24"


parser.add_argument("--keys", type=key_list, default=[],
                    help="keys to type at seconds after the window opens (headless), e.g. 2:Right,6:Escape")
parser.add_argument("--screen", type=screen_size, default=None,
                    help="size of the virtual display (headless), e.g. 800x600; default 1024x768")
args = parser.parse_args()

if os.environ.get("DISPLAY") and not args.headless:
    # A prefix of its own, copied once from the harness's template, which must stay untouched.
    prefix = pathlib.Path(args.root) / "desktop"
    if not prefix.exists():
        shutil.copytree(ensure_template(pathlib.Path(args.root), 600), prefix, symlinks=True)
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all")
    sys.exit(subprocess.run(["/usr/lib/wine/wine64", args.program], env=env).returncode)

shots = pathlib.Path(args.screenshots or pathlib.Path(args.program).with_suffix(".screenshots"))
shots.mkdir(parents=True, exist_ok=True)
for old in shots.glob("music-*.wav"):
    old.unlink()


def type_key(session, key):
    """Types KEY; the player may have ended just before, leaving no window to type in."""
    try:
        session.key(key)
    except subprocess.CalledProcessError:
        if session.proc.poll() is None:
            raise


screen = {"screen": args.screen} if args.screen else {}
ended = None  # the second at which the film ended by itself
stopped_by_key = False
with WineSession(args.root, audio=shots / "music.wav", audio_format="wav", **screen) as session:
    session.start(args.program)
    window = session.wait_window("Lumafolio Standalone Player", timeout=120)
    start = time.monotonic()
    # A screenshot every second and each key at its time, until the last of them or the film's end.
    events = [(second, "shot", second) for second in range(args.seconds)]
    events += [(at, "key", key) for at, key in args.keys]
    for at, kind, what in sorted(events, key=lambda e: (e[0], e[1] == "shot")):
        time.sleep(max(0.0, start + at - time.monotonic()))
        if session.proc.poll() is not None:
            ended = time.monotonic() - start
            break
        if kind == "shot":
            session.screenshot(shots / f"second-{what:02d}.png")
        else:
            type_key(session, what)
            stopped_by_key = stopped_by_key or what == "Escape"
    if session.proc.poll() is None:
        type_key(session, "Escape")
    elif ended is None:
        ended = time.monotonic() - start
    if stopped_by_key:
        ended = None
    code = session.wait_exit(timeout=60)
    music = session.audio_captures()
# Each start of music after the first went to music.wav.0001, .0002...: give them names to open.
music = music[:1] + [capture.rename(capture.with_name(f"music-{n}.wav"))
                     for n, capture in enumerate(music[1:], start=2)]
if ended is not None:
    print(f"the film ended by itself after about {ended:.0f} s")
print(f"screenshots in {shots}; the player exited with code {code}")
print(f"music it played: {', '.join(str(m) for m in music)}" if music else "no music was played")
sys.exit(code)
