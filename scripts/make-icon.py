"""Writes the player's icon (32x32, 32 bits per pixel): a film frame with sprocket holes.

Drawn here rather than stored, so that the project holds no binary files.
Usage: make-icon.py OUT.ico
"""
import struct
import sys

SIZE = 32


def pixel(x, y):
    """BGRA of the pixel at (x, y), y counted from the top."""
    if x < 2 or x > 29 or y < 4 or y > 27:
        return (0, 0, 0, 0)  # transparent margin
    if x < 6 or x > 25:  # the film's edges with their holes
        hole = (y - 4) % 5 in (1, 2) and (x in (3, 4) or x in (27, 28))
        return (240, 240, 240, 255) if hole else (30, 30, 30, 255)
    # the picture in the frame: a sky over a hill
    if y > 20 - (x - 16) ** 2 // 16:
        return (60, 160, 70, 255)
    return (230, 170, 60, 255)


def main(path):
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up, as bitmaps are stored
        rows.append(b"".join(struct.pack("4B", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask = bytes(SIZE * 4)  # 1 bit per pixel, rows padded to 4 bytes; alpha does the work
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + image)


if __name__ == "__main__":
    main(sys.argv[1])
