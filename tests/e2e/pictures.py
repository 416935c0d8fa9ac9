"""Test pictures whose stage image is known: made here as PPM, encoded by cjpeg as baseline JPEG,
and decoded by filmtool exactly as the player's own decoder does."""
import pathlib
import subprocess


def write_ppm(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            rows += bytes(pixel(x, y))
    path.write_bytes(b"P6 %d %d 255\n" % (width, height) + bytes(rows))


class Picture:
    """A test JPEG, its decoded BMP and the stage picture the player's decoder makes of it (RGB rows)."""

    def __init__(self, native, work, name, width, height, pixel):
        ppm = work / f"{name}.ppm"
        write_ppm(ppm, width, height, pixel)
        self.path = work / f"{name}.jpg"
        with open(self.path, "wb") as out:
            subprocess.run(["cjpeg", "-quality", "92", "-baseline", str(ppm)], stdout=out, check=True)
        self.bmp = work / f"{name}.bmp"
        subprocess.run([pathlib.Path(native) / "tools/filmtool/filmtool", "decode", self.path,
                        "-o", self.bmp], check=True, capture_output=True)
        from wineharness import load_image
        self.decoded = load_image(self.bmp)
        self.width, self.height = width, height
