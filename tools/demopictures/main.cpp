// Writes the pictures of the demo film: distinct, easily told apart JPEGs of several sizes and
// kinds (colour subsampling 4:4:4, 4:2:2 and 4:2:0, greyscale, one progressive picture that
// filmtool must rewrite), each with its number drawn large in the top-left corner; and the
// film's theme music (Theme.h).
#include <turbojpeg.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "Theme.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
};

class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), pixels_(width * height * 3) {}

  int width() const { return width_; }
  int height() const { return height_; }
  const uint8_t* data() const { return pixels_.data(); }

  void Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 3];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }

  void Fill(const std::function<Rgb(int, int)>& shade) {
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) Set(x, y, shade(x, y));
    }
  }

  void Rect(int x0, int y0, int w, int h, Rgb c) {
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) Set(x, y, c);
    }
  }

  void Disc(int cx, int cy, int r, Rgb c) {
    for (int y = cy - r; y <= cy + r; ++y) {
      for (int x = cx - r; x <= cx + r; ++x) {
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Set(x, y, c);
      }
    }
  }

  // A seven-segment digit, `size` pixels high, with a dark outline so it reads on any picture.
  void Digit(int x0, int y0, int digit, int size, Rgb c) {
    static const int kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const int w = size / 2;
    const int t = size / 8;
    const int half = size / 2;
    struct Segment {
      int x, y, w, h;
    };
    const Segment segments[7] = {
        {0, 0, w, t},       {w - t, 0, t, half}, {w - t, half, t, half}, {0, size - t, w, t},
        {0, half, t, half}, {0, 0, t, half},     {0, half - t / 2, w, t}};
    for (int pass = 0; pass < 2; ++pass) {
      for (int s = 0; s < 7; ++s) {
        if (!(kSegments[digit] >> s & 1)) continue;
        const Segment& g = segments[s];
        const int grow = pass == 0 ? 3 : 0;
        Rect(x0 + g.x - grow, y0 + g.y - grow, g.w + 2 * grow, g.h + 2 * grow,
             pass == 0 ? Rgb{20, 20, 20} : c);
      }
    }
  }

  void Number(int n, Rgb c) {
    const int size = height_ / 5;
    Digit(24, 24, n / 10, size, c);
    Digit(24 + size * 2 / 3, 24, n % 10, size, c);
  }

 private:
  int width_;
  int height_;
  std::vector<uint8_t> pixels_;
};

uint8_t Clamp(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

bool Save(const Canvas& canvas, const std::filesystem::path& path, int subsampling, int flags) {
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int status = tjCompress2(handle, canvas.data(), canvas.width(), 0, canvas.height(),
                                 TJPF_RGB, &jpeg, &size, subsampling, 90, flags);
  bool ok = status == 0;
  if (ok) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ok = out && std::fwrite(jpeg, 1, size, out) == size;
    if (out) ok = std::fclose(out) == 0 && ok;
  } else {
    std::cerr << "demopictures: " << tjGetErrorStr2(handle) << "\n";
  }
  tjFree(jpeg);
  tjDestroy(handle);
  if (ok) std::cout << path.string() << "\n";
  return ok;
}

Canvas Sunset() {
  Canvas c(800, 600);
  c.Fill([](int, int y) {
    const double t = y / 599.0;
    return Rgb{Clamp(255 - 60 * t), Clamp(200 - 170 * t), Clamp(60 + 120 * t)};
  });
  c.Disc(400, 380, 110, {255, 240, 120});
  c.Rect(0, 450, 800, 150, {20, 40, 90});
  for (int i = 0; i < 12; ++i)
    c.Rect(330 + (i % 3) * 10, 460 + i * 11, 140 - (i % 3) * 20, 4, {255, 200, 90});
  c.Number(1, {255, 255, 255});
  return c;
}

Canvas Stripes() {
  Canvas c(800, 600);
  const Rgb bars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
  c.Fill([&](int x, int y) {
    if (y > 450) return Rgb{Clamp(x * 255.0 / 799), Clamp(x * 255.0 / 799), Clamp(x * 255.0 / 799)};
    return bars[x / 100];
  });
  c.Number(2, {255, 255, 255});
  return c;
}

Canvas Shapes() {
  Canvas c(800, 600);
  c.Fill([](int x, int y) { return Rgb{20, Clamp(60 + y / 8.0), Clamp(140 + x / 10.0)}; });
  c.Disc(220, 330, 120, {230, 60, 50});
  c.Rect(420, 200, 260, 180, {250, 210, 40});
  for (int y = 0; y < 200; ++y) c.Rect(560 - y / 2, 380 + y, y, 1, {60, 200, 90});
  c.Disc(650, 120, 50, {255, 255, 255});
  c.Number(3, {255, 255, 255});
  return c;
}

Canvas Checker() {
  Canvas c(640, 480);
  c.Fill([](int x, int y) {
    const bool dark = ((x / 40) + (y / 40)) % 2 == 0;
    const double t = x / 639.0;
    return dark ? Rgb{Clamp(40 + 60 * t), 30, Clamp(100 - 60 * t)}
                : Rgb{Clamp(200 + 55 * t), Clamp(220 - 80 * t), 150};
  });
  c.Number(4, {255, 255, 0});
  return c;
}

Canvas Rings() {
  Canvas c(1024, 768);
  c.Fill([](int x, int y) {
    const double d = std::hypot(x - 512.0, y - 384.0);
    const double s = std::sin(d / 18.0);
    return Rgb{Clamp(128 + 120 * s), Clamp(128 + 120 * std::sin(d / 18.0 + 2.1)),
               Clamp(128 + 120 * std::sin(d / 18.0 + 4.2))};
  });
  c.Number(5, {255, 255, 255});
  return c;
}

Canvas Portrait() {
  Canvas c(600, 800);
  c.Fill([](int x, int y) {
    const uint8_t v = Clamp(30 + y * 200.0 / 799 + ((x / 60) % 2 ? 25 : 0));
    return Rgb{v, v, v};
  });
  c.Disc(300, 500, 160, {240, 240, 240});
  c.Disc(300, 500, 100, {40, 40, 40});
  c.Number(6, {255, 255, 255});
  return c;
}

Canvas Waves() {
  Canvas c(800, 600);
  c.Fill([](int x, int y) {
    const double w = std::sin((x + y) / 40.0) * 0.5 + 0.5;
    const double v = std::sin((x - y) / 55.0) * 0.5 + 0.5;
    return Rgb{Clamp(40 + 180 * v), Clamp(90 + 150 * w), Clamp(160 + 90 * (1 - v))};
  });
  c.Number(7, {20, 20, 120});
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::cerr << "usage: demopictures FOLDER\n"
                 "Writes the demo film's pictures and its theme (theme.wav) into FOLDER (created\n"
                 "when missing).\n";
    return argc == 2 ? 0 : 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "demopictures: cannot create " << folder.string() << ": " << error.message()
              << "\n";
    return 1;
  }
  const bool ok =
      Save(Sunset(), folder / "01-sunset.jpg", TJSAMP_420, 0) &&
      Save(Stripes(), folder / "02-stripes.jpg", TJSAMP_444, 0) &&
      Save(Shapes(), folder / "03-shapes.jpg", TJSAMP_422, 0) &&
      Save(Checker(), folder / "04-checker.jpg", TJSAMP_420, 0) &&
      Save(Rings(), folder / "05-rings.jpg", TJSAMP_420, 0) &&
      Save(Portrait(), folder / "06-portrait-grey.jpg", TJSAMP_GRAY, 0) &&
      Save(Waves(), folder / "07-waves-progressive.jpg", TJSAMP_420, TJFLAG_PROGRESSIVE);
  if (!ok) return 1;
  if (!demo::WriteTheme(folder / "theme.wav")) {
    std::cerr << "demopictures: cannot write " << (folder / "theme.wav").string() << "\n";
    return 1;
  }
  std::cout << (folder / "theme.wav").string() << "\n";
  return 0;
}
