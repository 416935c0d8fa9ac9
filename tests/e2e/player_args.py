"""Command-line arguments shared by the whole-program tests of the player."""
import argparse
import pathlib
import sys


def parse_args(*programs):
    """The harness root, player.exe, the native build with filmtool, a screenshot folder and one
    --NAME option for each further program in PROGRAMS; anything else is left for unittest.
    Makes the harness module importable."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="wine root of the harness")
    parser.add_argument("--player", required=True)
    parser.add_argument("--native", required=True, help="native build folder with filmtool")
    parser.add_argument("--screenshots", required=True, help="folder for screenshots to look at")
    for name in programs:
        parser.add_argument(f"--{name}", required=True)
    args, rest = parser.parse_known_args()
    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts"))
    return args, rest
