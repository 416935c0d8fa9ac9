"""Plays a film program under wine, the way a user would start it.

With an X display (DISPLAY set) the player opens on that desktop in a prefix of its own and runs
until you press Escape; its music plays on your sound device. Without one it runs under the
harness's virtual display: screenshots are taken once a second for --seconds, then Escape ends
the show and the exit code is reported. The music it played is kept beside the screenshots, to
listen to: music.wav, and music-2.wav, music-3.wav... when music was started again.

Usage: play-film.py PROGRAM --root WINE_ROOT [--screenshots DIR] [--seconds N] [--headless]
"""
import argparse
import os
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
with WineSession(args.root, audio=shots / "music.wav", audio_format="wav") as session:
    session.start(args.program)
    window = session.wait_window("Lumafolio Standalone Player", timeout=120)
    for second in range(args.seconds):
        session.screenshot(shots / f"second-{second:02d}.png")
        time.sleep(1)
    session.key("Escape")
    code = session.wait_exit(timeout=60)
    music = session.audio_captures()
# Each start of music after the first went to music.wav.0001, .0002...: give them names to open.
music = music[:1] + [capture.rename(capture.with_name(f"music-{n}.wav"))
                     for n, capture in enumerate(music[1:], start=2)]
print(f"screenshots in {shots}; the player exited with code {code}")
print(f"music it played: {', '.join(str(m) for m in music)}" if music else "no music was played")
sys.exit(code)
