"""The demo film, extracted, builds again into the very same program: the description extract
writes says everything the film holds, and the media keep their names.
"""
import argparse
import pathlib
import shutil
import subprocess
import sys
import tempfile

parser = argparse.ArgumentParser()
parser.add_argument("--filmtool", required=True)
parser.add_argument("--demopictures", required=True)
parser.add_argument("--description", required=True, help="demo/film.toml")
args = parser.parse_args()


def filmtool(*arguments):
    run = subprocess.run([args.filmtool, *map(str, arguments)], capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"filmtool {' '.join(map(str, arguments))} failed:\n{run.stderr}")
    return run


with tempfile.TemporaryDirectory(prefix="lumafolio-demo-trip-") as folder:
    work = pathlib.Path(folder)
    subprocess.run([args.demopictures, work / "demo" / "pictures"], check=True, capture_output=True)
    shutil.copy(args.description, work / "demo" / "film.toml")
    # Any Windows program will do as the player: an MS-DOS header that leads to "PE".
    player = bytearray(4096)
    player[0:2] = b"MZ"
    player[0x3C] = 0x80
    player[0x80:0x84] = b"PE\0\0"
    (work / "player.exe").write_bytes(player)

    filmtool("build", work / "demo" / "film.toml", "-o", work / "demo.exe", "--player", work / "player.exe")
    extract = filmtool("extract", work / "demo.exe", "-d", work / "out")
    if extract.stderr:
        sys.exit(f"extract reported:\n{extract.stderr}")
    filmtool("build", work / "out" / "film.toml", "-o", work / "again.exe", "--player", work / "player.exe")
    first = filmtool("inspect", "--json", work / "demo.exe").stdout
    again = filmtool("inspect", "--json", work / "again.exe").stdout
    if first != again:
        sys.exit(f"the rebuilt film differs:\n{first}\n---\n{again}")
    if (work / "demo.exe").read_bytes() != (work / "again.exe").read_bytes():
        sys.exit("the rebuilt program differs, though inspect shows the same film")
    listing = filmtool("inspect", work / "demo.exe").stdout
    if "running time 0:23 (the durations of 7 pictures; not counted: transitions, and 1 video" not in listing:
        sys.exit(f"no running time of 23 s in the listing:\n{listing}")
print("the demo film came back the same")
