// Writes the pictures of the demo film: distinct, easily told apart JPEGs of several sizes and
// kinds (colour subsampling 4:4:4, 4:2:2 and 4:2:0, greyscale, one progressive picture that
// filmtool must rewrite), each with its number drawn large in the top-left corner; its video, a
// short uncompressed AVI with its first and last frames as poster and end picture; and the film's
// theme music (Theme.h).
#include <turbojpeg.h>

#include <algorithm>
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

// A picture drawn in design pixels: at scale 1 one pixel each; at a larger scale every shape and
// shade is drawn at that many times the size, as finely as the larger picture allows (the demo's
// screen-sized film wants its pictures sharp on a large stage).
class Canvas {
 public:
  Canvas(int width, int height, int scale = 1)
      : width_(width * scale),
        height_(height * scale),
        scale_(scale),
        pixels_(static_cast<size_t>(width_) * height_ * 3) {}

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

  // `shade` is given each pixel's centre in design pixels (whole numbers at scale 1).
  void Fill(const std::function<Rgb(double, double)>& shade) {
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) Set(x, y, shade(Design(x), Design(y)));
    }
  }

  void Rect(int x0, int y0, int w, int h, Rgb c) {
    for (int y = y0 * scale_; y < (y0 + h) * scale_; ++y) {
      for (int x = x0 * scale_; x < (x0 + w) * scale_; ++x) Set(x, y, c);
    }
  }

  void Disc(int cx, int cy, int r, Rgb c) {
    const double radius = (r + 0.5) * scale_;
    for (int y = (cy - r) * scale_; y < (cy + r + 1) * scale_; ++y) {
      for (int x = (cx - r) * scale_; x < (cx + r + 1) * scale_; ++x) {
        const double dx = x + 0.5 - (cx + 0.5) * scale_;
        const double dy = y + 0.5 - (cy + 0.5) * scale_;
        if (scale_ == 1 ? (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r
                        : dx * dx + dy * dy <= radius * radius) {
          Set(x, y, c);
        }
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
    const int size = height_ / scale_ / 5;
    Digit(24, 24, n / 10, size, c);
    Digit(24 + size * 2 / 3, 24, n % 10, size, c);
  }

 private:
  double Design(int pixel) const { return (pixel + 0.5) / scale_ - 0.5; }

  int width_;
  int height_;
  int scale_;
  std::vector<uint8_t> pixels_;
};

// The design pixel a position falls in: bands and cells keep their edges at any scale.
int Whole(double v) { return static_cast<int>(std::floor(v)); }

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

Canvas Sunset(int scale) {
  Canvas c(800, 600, scale);
  c.Fill([](double, double y) {
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

Canvas Stripes(int scale) {
  Canvas c(800, 600, scale);
  const Rgb bars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
  c.Fill([&](double x, double y) {
    if (y > 450) return Rgb{Clamp(x * 255.0 / 799), Clamp(x * 255.0 / 799), Clamp(x * 255.0 / 799)};
    return bars[std::clamp(Whole(x) / 100, 0, 7)];
  });
  c.Number(2, {255, 255, 255});
  return c;
}

Canvas Shapes(int scale) {
  Canvas c(800, 600, scale);
  c.Fill([](double x, double y) { return Rgb{20, Clamp(60 + y / 8.0), Clamp(140 + x / 10.0)}; });
  c.Disc(220, 330, 120, {230, 60, 50});
  c.Rect(420, 200, 260, 180, {250, 210, 40});
  for (int y = 0; y < 200; ++y) c.Rect(560 - y / 2, 380 + y, y, 1, {60, 200, 90});
  c.Disc(650, 120, 50, {255, 255, 255});
  c.Number(3, {255, 255, 255});
  return c;
}

Canvas Checker(int scale) {
  Canvas c(640, 480, scale);
  c.Fill([](double x, double y) {
    const bool dark = (Whole(x) / 40 + Whole(y) / 40) % 2 == 0;
    const double t = x / 639.0;
    return dark ? Rgb{Clamp(40 + 60 * t), 30, Clamp(100 - 60 * t)}
                : Rgb{Clamp(200 + 55 * t), Clamp(220 - 80 * t), 150};
  });
  c.Number(4, {255, 255, 0});
  return c;
}

Canvas Rings(int scale) {
  Canvas c(1024, 768, scale);
  c.Fill([](double x, double y) {
    const double d = std::hypot(x - 512.0, y - 384.0);
    const double s = std::sin(d / 18.0);
    return Rgb{Clamp(128 + 120 * s), Clamp(128 + 120 * std::sin(d / 18.0 + 2.1)),
               Clamp(128 + 120 * std::sin(d / 18.0 + 4.2))};
  });
  c.Number(5, {255, 255, 255});
  return c;
}

Canvas Portrait(int scale) {
  Canvas c(600, 800, scale);
  c.Fill([](double x, double y) {
    const uint8_t v = Clamp(30 + y * 200.0 / 799 + (Whole(x) / 60 % 2 ? 25 : 0));
    return Rgb{v, v, v};
  });
  c.Disc(300, 500, 160, {240, 240, 240});
  c.Disc(300, 500, 100, {40, 40, 40});
  c.Number(6, {255, 255, 255});
  return c;
}

Canvas Waves(int scale) {
  Canvas c(800, 600, scale);
  c.Fill([](double x, double y) {
    const double w = std::sin((x + y) / 40.0) * 0.5 + 0.5;
    const double v = std::sin((x - y) / 55.0) * 0.5 + 0.5;
    return Rgb{Clamp(40 + 180 * v), Clamp(90 + 150 * w), Clamp(160 + 90 * (1 - v))};
  });
  c.Number(7, {20, 20, 120});
  return c;
}

// One frame of the demo's video: the sun rising over the harbour while the sky brightens.
Canvas Sunrise(int frame, int frames) {
  const double t = frame / (frames - 1.0);
  Canvas c(256, 144);
  c.Fill([t](double, double y) {
    const double h = y / 143.0;
    return Rgb{Clamp(40 + 200 * t - 30 * h), Clamp(30 + 150 * t - 20 * h), Clamp(90 + 100 * t)};
  });
  c.Disc(60 + static_cast<int>(136 * t), 110 - static_cast<int>(80 * std::sin(t * 3.1416 / 2)), 16,
         {255, 230, 120});
  c.Rect(0, 108, 256, 36, {20, 40, 90});
  for (int i = 0; i < 6; ++i)
    c.Rect(40 + i * 30 + frame % 10, 114 + (i % 3) * 8, 18, 2, {255, 200, 90});
  return c;  // no number: a moving picture is told apart without one
}

// The frames as an uncompressed 24-bit AVI (bottom-up BGR rows, 10 frames a second), a format
// wine's DirectShow plays through GStreamer's AVI demuxer without any codec.
bool SaveAvi(const std::vector<Canvas>& frames, const std::filesystem::path& path) {
  const uint32_t w = static_cast<uint32_t>(frames[0].width());
  const uint32_t h = static_cast<uint32_t>(frames[0].height());
  const uint32_t n = static_cast<uint32_t>(frames.size());
  const uint32_t size = ((3 * w + 3) & ~3u) * h;  // every chunk stays even: w is a multiple of 4
  std::string out;
  const auto put = [&out](std::initializer_list<uint32_t> words) {
    for (uint32_t v : words) {
      for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
    }
  };
  const auto id = [](const char* f) {
    return uint32_t(uint8_t(f[0])) | uint32_t(uint8_t(f[1])) << 8 | uint32_t(uint8_t(f[2])) << 16 |
           uint32_t(uint8_t(f[3])) << 24;
  };
  const uint32_t movi = 4 + n * (8 + size);
  const uint32_t hdrl = 4 + 64 + 12 + 64 + 48;
  put({id("RIFF"), 4 + 8 + hdrl + 8 + movi + 8 + 16 * n, id("AVI "), id("LIST"), hdrl, id("hdrl")});
  put({id("avih"), 56, 100000, size * 10, 0, 0x10, n, 0, 1, size, w, h, 0, 0, 0, 0});
  put({id("LIST"), 4 + 64 + 48, id("strl"), id("strh"), 56, id("vids"), id("DIB "), 0, 0, 0, 1, 10,
       0, n, size, 0xFFFFFFFF, 0, 0, w | h << 16});
  put({id("strf"), 40, 40, w, h, 1 | 24 << 16, 0, size, 0, 0, 0, 0});
  put({id("LIST"), movi, id("movi")});
  for (const Canvas& frame : frames) {
    put({id("00db"), size});
    for (uint32_t y = h; y-- > 0;) {
      const uint8_t* row = frame.data() + y * w * 3;
      for (uint32_t x = 0; x < w; ++x) {
        out += static_cast<char>(row[3 * x + 2]);
        out += static_cast<char>(row[3 * x + 1]);
        out += static_cast<char>(row[3 * x]);
      }
      out.append(size / h - 3 * w, '\0');
    }
  }
  put({id("idx1"), 16 * n});
  for (uint32_t i = 0; i < n; ++i) put({id("00db"), 0x10, 4 + i * (8 + size), size});
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  bool ok = file && std::fwrite(out.data(), 1, out.size(), file) == out.size();
  if (file) ok = std::fclose(file) == 0 && ok;
  if (ok) std::cout << path.string() << "\n";
  return ok;
}

// The demo's video item: four seconds of sunrise, its first frame as its poster and its last as
// the picture that stands once it has played.
bool SaveVideo(const std::filesystem::path& folder) {
  std::vector<Canvas> frames;
  for (int i = 0; i < 40; ++i) frames.push_back(Sunrise(i, 40));
  return SaveAvi(frames, folder / "08-sunrise.avi") &&
         Save(frames.front(), folder / "08-sunrise-poster.jpg", TJSAMP_420, 0) &&
         Save(frames.back(), folder / "08-sunrise-end.jpg", TJSAMP_420, 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int scale = 1;
  if (args.size() == 3 && args[0] == "--scale") {
    try {
      scale = std::stoi(args[1]);
    } catch (const std::exception&) {
      scale = 0;
    }
    if (scale < 1 || scale > 8) {
      std::cerr << "demopictures: --scale takes a whole number from 1 to 8, not " << args[1]
                << "\n";
      return 2;
    }
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
    std::cerr << "usage: demopictures [--scale N] FOLDER\n"
                 "Writes the demo film's pictures, its video and its theme (theme.wav) into\n"
                 "FOLDER (created when missing). --scale draws the pictures N times larger\n"
                 "(the same pictures, finer), for a film on a screen-sized stage.\n";
    return args.size() == 1 ? 0 : 2;
  }
  const std::filesystem::path folder(args[0]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "demopictures: cannot create " << folder.string() << ": " << error.message()
              << "\n";
    return 1;
  }
  const bool ok =
      Save(Sunset(scale), folder / "01-sunset.jpg", TJSAMP_420, 0) &&
      Save(Stripes(scale), folder / "02-stripes.jpg", TJSAMP_444, 0) &&
      Save(Shapes(scale), folder / "03-shapes.jpg", TJSAMP_422, 0) &&
      Save(Checker(scale), folder / "04-checker.jpg", TJSAMP_420, 0) &&
      Save(Rings(scale), folder / "05-rings.jpg", TJSAMP_420, 0) &&
      Save(Portrait(scale), folder / "06-portrait-grey.jpg", TJSAMP_GRAY, 0) &&
      Save(Waves(scale), folder / "07-waves-progressive.jpg", TJSAMP_420, TJFLAG_PROGRESSIVE) &&
      SaveVideo(folder);
  if (!ok) return 1;
  if (!demo::WriteTheme(folder / "theme.wav")) {
    std::cerr << "demopictures: cannot write " << (folder / "theme.wav").string() << "\n";
    return 1;
  }
  std::cout << (folder / "theme.wav").string() << "\n";
  return 0;
}
