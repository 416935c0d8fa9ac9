"""Films written on Linux (libgsf) must read on Windows (ole32) exactly as on Linux.

Writes the sample films natively, prints each with `filmtool inspect --json` and with the Windows
program film_dump.exe under wine, and compares the two documents.
"""
import argparse
import json
import pathlib
import subprocess
import sys
import tempfile

parser = argparse.ArgumentParser()
parser.add_argument("--writer", required=True, help="native write_sample_films")
parser.add_argument("--filmtool", required=True, help="native filmtool")
parser.add_argument("--dump", required=True, help="film_dump.exe")
parser.add_argument("--harness", required=True, help="wineharness.py")
parser.add_argument("--root", required=True, help="wine root of the harness")
args = parser.parse_args()

for tool in (args.writer, args.filmtool):
    if not pathlib.Path(tool).exists():
        sys.exit(f"{tool} is missing: build the native preset first")

with tempfile.TemporaryDirectory(prefix="lumafolio-cross-") as folder:
    subprocess.run([args.writer, folder], check=True)
    films = sorted(pathlib.Path(folder).glob("*.flm"))
    if len(films) < 5:
        sys.exit(f"expected the sample films in {folder}, found {len(films)}")
    failures = 0
    for film in films:
        native = json.loads(subprocess.run([args.filmtool, "inspect", "--json", str(film)],
                                           check=False, capture_output=True, text=True).stdout)
        windows = subprocess.run(
            [sys.executable, args.harness, "run", "--root", args.root, "--", args.dump,
             "Z:" + str(film).replace("/", "\\")],
            check=True, capture_output=True, text=True).stdout
        windows = json.loads(windows)
        if native != windows:
            failures += 1
            print(f"{film.name}: Linux and Windows read different films")
            print("  linux:  ", json.dumps(native)[:2000])
            print("  windows:", json.dumps(windows)[:2000])
        else:
            print(f"{film.name}: same film, read_ok={native['read_ok']}, "
                  f"{len(native['items'])} items")
    sys.exit(1 if failures else 0)
