"""Test videos whose frames are known, written here as uncompressed 24-bit AVI files.

Uncompressed frames need no encoder on the test machine and keep their colours exactly up to the
screen, where a codec would blur the regions the tests compare; wine's DirectShow plays them
through GStreamer's AVI demuxer (gstreamer1.0-plugins-good) and raw-video converter (-base).

Every frame is the same test pattern: a black band across the top quarter with a white bar that
moves from left to right over the video's length, and below it four blocks of known colours.
"""
import struct

BLOCKS = ((210, 40, 40), (40, 200, 60), (50, 70, 220), (230, 210, 40))  # red, green, blue, yellow
WHITE, BLACK = (255, 255, 255), (0, 0, 0)


def _chunk(fourcc, data):
    return fourcc + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def _list(kind, data):
    return _chunk(b"LIST", kind + data)


def write_avi(path, width, height, fps, frames):
    """FRAMES are bottom-up BGR rows, each padded to 4 bytes, as a BI_RGB DIB holds them."""
    size = len(frames[0])
    avih = struct.pack("<14I", 1_000_000 // fps, size * fps, 0, 0x10, len(frames), 0, 1, size,
                       width, height, 0, 0, 0, 0)  # AVIF_HASINDEX
    strh = (b"vids" + b"DIB " + struct.pack("<IHHIIIIIIiI", 0, 0, 0, 0, 1, fps, 0, len(frames),
                                              size, -1, 0)
            + struct.pack("<4h", 0, 0, width, height))
    strf = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, size, 0, 0, 0, 0)
    header = _list(b"hdrl", _chunk(b"avih", avih) + _list(b"strl", _chunk(b"strh", strh) + _chunk(b"strf", strf)))
    movi, index, offset = b"", b"", 4  # index offsets count from the 'movi' fourcc
    for frame in frames:
        index += b"00db" + struct.pack("<III", 0x10, offset, len(frame))  # AVIIF_KEYFRAME
        piece = _chunk(b"00db", frame)
        movi += piece
        offset += len(piece)
    body = b"AVI " + header + _list(b"movi", movi) + _chunk(b"idx1", index)
    path.write_bytes(b"RIFF" + struct.pack("<I", len(body)) + body)


class Video:
    """A WIDTH x HEIGHT test-pattern video of SECONDS at FPS frames a second."""

    def __init__(self, work, name, width, height, seconds, fps=10):
        self.path = work / f"{name}.avi"
        self.width, self.height, self.fps = width, height, fps
        self.frame_count = int(seconds * fps)
        frames = [self._frame(i) for i in range(self.frame_count)]
        write_avi(self.path, width, height, fps, frames)

    def bar(self, frame):
        """Left and right edge of the white bar on FRAME."""
        left = frame * (self.width - self.width // 8) // max(self.frame_count - 1, 1)
        return left, left + self.width // 8

    def pixel(self, frame, x, y):
        if y < self.height // 4:
            left, right = self.bar(frame)
            return WHITE if left <= x < right else BLACK
        return BLOCKS[(2 if y >= self.height * 5 // 8 else 0) + (1 if x >= self.width // 2 else 0)]

    def block_points(self):
        """(fx, fy, colour): the centres of the four blocks, as fractions of the frame."""
        return [(fx, fy, BLOCKS[(2 if fy > 0.6 else 0) + (1 if fx > 0.5 else 0)])
                for fy in (0.4375, 0.8125) for fx in (0.25, 0.75)]

    def _frame(self, i):
        pad = b"\0" * (-3 * self.width % 4)
        rows = []
        for y in range(self.height - 1, -1, -1):  # bottom-up
            rows.append(b"".join(bytes(self.pixel(i, x, y)[::-1]) for x in range(self.width)) + pad)
        return b"".join(rows)
