// The picture side of the show on a real window: pictures decoded out of a "program file" and
// fitted to the stage, the three slots rotating, and panning and zooming by key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "DcPicture.h"
#include "TempDir.h"
#include "core/jpeg/JpegDib.h"
#include "player/show/SlideView.h"

namespace lumafolio {
namespace {

constexpr Rect kStage{0, 0, 800, 600};
constexpr int kLeft = 37;
constexpr int kUp = 38;
constexpr int kRight = 39;
constexpr int kDown = 40;
constexpr int kPlus = 107;
constexpr int kMinus = 109;

// A borderless popup standing in for the presenter's full-screen window.
class OwnerWindow {
 public:
  OwnerWindow(int width, int height, DWORD style = WS_POPUP) {
    static const ATOM windowClass = [] {
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = DefWindowProcA;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "LumafolioSlideViewTest";
      return RegisterClassExA(&wc);
    }();
    window_ = CreateWindowExA(0, MAKEINTATOM(windowClass), "", style, 0, 0, width, height, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  ~OwnerWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

FilmItem PictureItem(int width, int height) {
  FilmItem item;
  item.imageWidth = width;
  item.imageHeight = height;
  return item;
}

class SlideViewTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(window_.get(), nullptr) << "no window: is there a display?"; }

  // A new "program file" with a JPEG of `width` x `height` at offset 1000, one colour all over
  // (shade picks it); returns the file's path.
  std::string Program(int width, int height, int shade = 0) {
    const std::vector<std::uint8_t> jpeg = Jpeg(width, height, shade);
    std::vector<std::uint8_t> bytes(1000 + jpeg.size() + 300, 0x90);
    std::copy(jpeg.begin(), jpeg.end(), bytes.begin() + 1000);
    const std::string path = dir_.File("player" + std::to_string(files_++) + ".exe");
    test::WriteBytes(path, bytes);
    return path;
  }
  static std::vector<std::uint8_t> Jpeg(int width, int height, int shade) {
    test::DcPicture picture;
    picture.width = width;
    picture.height = height;
    picture.components = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    picture.dc = [shade](int c, int, int) { return c == 0 ? shade : (c == 1 ? 40 : -30); };
    return picture.Encode();
  }
  // The colour that the decoder gives the one-colour picture of `shade`.
  static COLORREF Colour(int shade) {
    std::vector<std::uint8_t> dib;
    EXPECT_TRUE(DecodeJpegToDib(Jpeg(16, 16, shade), dib));
    return dib.size() > 56 ? RGB(dib[56], dib[55], dib[54]) : CLR_INVALID;
  }
  static COLORREF WindowPixel(HWND window, int x, int y) {
    const HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
  }

  // Binds `view` and shows a picture declared as `width` x `height`.
  void Show(SlideView& view, const FilmItem& item, int width, int height) {
    ASSERT_TRUE(view.Bind(item, kStage));
    view.SetProgramPath(Program(64, 48));
    SlideImage* out = nullptr;
    ASSERT_EQ(view.PrepareImage("1000", width, height, &out), 1);
    view.ShowPrepared(item, &out);
    ASSERT_NE(view.Current(), nullptr);
  }

  test::TempDir dir_;
  int files_ = 0;
  OwnerWindow window_{1024, 768};
};

TEST_F(SlideViewTest, BindReadsTheWindowAndStartsEmpty) {
  const FilmItem item = PictureItem(640, 480);
  SlideView view(window_.get());
  EXPECT_TRUE(view.Bind(item, kStage));
  EXPECT_EQ(view.WindowRect(), (Rect{0, 0, 1024, 768}));
  EXPECT_EQ(view.StageRect(), kStage);
  EXPECT_EQ(view.Item(), &item);
  EXPECT_EQ(view.Current(), nullptr);
  EXPECT_EQ(view.Previous(), nullptr);
  EXPECT_EQ(view.Next(), nullptr);
  // Keys with no picture on screen do nothing.
  view.HandleKey(kPlus);
  view.HandleKey(kRight);
  EXPECT_EQ(view.ZoomRect(), Rect{});
  EXPECT_EQ(view.VisibleRect(), Rect{});
}

// The item's declared size, not the 64 x 48 that is decoded, decides the fit to the stage.
TEST_F(SlideViewTest, PreparedPicturesFitTheStageByTheirDeclaredSize) {
  const FilmItem same = PictureItem(640, 480);
  SlideView view(window_.get(), Program(64, 48));
  ASSERT_TRUE(view.Bind(same, kStage));

  SlideImage* out = nullptr;
  ASSERT_EQ(view.PrepareImage("1000", 640, 480, &out), 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out, view.Next());
  EXPECT_EQ(out->Width(), 800);
  EXPECT_EQ(out->Height(), 600);
  view.ShowPrepared(same, &out);
  EXPECT_EQ(view.DisplayRect(), (Rect{0, 0, 800, 600}));
  EXPECT_EQ(view.PictureRect(), (Rect{0, 0, 640, 480}));
  EXPECT_EQ(view.ZoomRect(), view.PictureRect());
  EXPECT_EQ(view.VisibleRect(), view.WindowRect());

  const FilmItem wide = PictureItem(1000, 500);
  ASSERT_EQ(view.PrepareImage("1000 trailing text", 1000, 500, &out), 1);
  EXPECT_EQ(out->Width(), 800);
  EXPECT_EQ(out->Height(), 400);
  view.ShowPrepared(wide, &out);
  EXPECT_EQ(view.DisplayRect(), (Rect{0, 100, 800, 500}));
  EXPECT_EQ(view.Item(), &wide);

  // A tall picture on a stage placed inside the window: centred across, in stage coordinates.
  const FilmItem tall = PictureItem(300, 600);
  SlideView placed(window_.get(), Program(64, 48));
  ASSERT_TRUE(placed.Bind(tall, {112, 84, 912, 684}));
  ASSERT_EQ(placed.PrepareImage("1000", 300, 600, &out), 1);
  EXPECT_EQ(out->Width(), 300);
  EXPECT_EQ(out->Height(), 600);
  placed.ShowPrepared(tall, &out);
  EXPECT_EQ(placed.DisplayRect(), (Rect{362, 84, 662, 684}));
}

// The classic stage stretches the decoded bitmap as it draws (no copy); a larger stage gets a copy
// filtered to the fitted size on the worker, while the full picture stays for zooming.
TEST_F(SlideViewTest, ALargerStageGetsAFittedCopyAndKeepsTheFullPicture) {
  const FilmItem item = PictureItem(64, 48);
  SlideImage* out = nullptr;
  SlideView classic(window_.get(), Program(64, 48, 300));
  ASSERT_TRUE(classic.Bind(item, kStage));
  ASSERT_EQ(classic.PrepareImage("1000", 64, 48, &out), 1);
  EXPECT_EQ(out->Fitted().bits, nullptr);

  SlideView view(window_.get(), Program(64, 48, 300));
  ASSERT_TRUE(view.Bind(item, {0, 0, 1920, 1080}));
  ASSERT_EQ(view.PrepareImage("1000", 64, 48, &out), 1);
  EXPECT_EQ(out->Width(), 1440);
  EXPECT_EQ(out->Height(), 1080);
  const PictureView fitted = out->Fitted();
  ASSERT_NE(fitted.bits, nullptr);
  ASSERT_EQ(fitted.width, 1440);
  ASSERT_EQ(fitted.height, 1080);
  const COLORREF colour = Colour(300);
  for (const int line : {0, 539, 1079}) {
    for (const int x : {0, 720, 1439}) {
      const std::uint8_t* pixel = fitted.Line(line) + 3 * x;
      EXPECT_EQ(RGB(pixel[2], pixel[1], pixel[0]), colour) << x << "," << line;
    }
  }
  const HDC screen = GetDC(nullptr);
  GdiObject<HBITMAP> full(out->MakeBitmap(screen));
  ReleaseDC(nullptr, screen);
  BITMAP bitmap{};
  ASSERT_TRUE(GetObjectA(full.get(), sizeof bitmap, &bitmap));
  EXPECT_EQ(bitmap.bmWidth, 64);
  EXPECT_EQ(bitmap.bmHeight, 48);
}

TEST_F(SlideViewTest, FailedDecodeLeavesNoNextImageAndOutUntouched) {
  const FilmItem item = PictureItem(640, 480);
  SlideView view(window_.get(), Program(64, 48));
  ASSERT_TRUE(view.Bind(item, kStage));
  SlideImage* const untouched = reinterpret_cast<SlideImage*>(std::uintptr_t{0x1234});

  for (const char* path : {"-1", "12", "999999", "", "none"}) {
    SCOPED_TRACE(path);
    SlideImage* out = nullptr;
    ASSERT_EQ(view.PrepareImage("1000", 640, 480, &out), 1);  // a next image to be replaced
    out = untouched;
    EXPECT_EQ(view.PrepareImage(path, 640, 480, &out), 0);
    EXPECT_EQ(out, untouched);
    EXPECT_EQ(view.Next(), nullptr);
  }
  // Without the program file nothing decodes.
  SlideView orphan(window_.get(), dir_.File("missing.exe"));
  ASSERT_TRUE(orphan.Bind(item, kStage));
  SlideImage* out = untouched;
  EXPECT_EQ(orphan.PrepareImage("1000", 640, 480, &out), 0);
  EXPECT_EQ(out, untouched);
}

// Each image keeps its program file open until it is dropped (Release, Close, delete); Windows
// refuses to delete an open file, which shows which images are still held.
TEST_F(SlideViewTest, SlotsRotateAndDroppedImagesAreClosed) {
  const FilmItem item = PictureItem(640, 480);
  std::vector<std::string> files;
  {
    SlideView view(window_.get());
    ASSERT_TRUE(view.Bind(item, kStage));
    std::vector<SlideImage*> shown;
    for (int i = 0; i < 3; ++i) {
      files.push_back(Program(64, 48, i * 10));
      view.SetProgramPath(files.back());
      SlideImage* prepared = nullptr;
      ASSERT_EQ(view.PrepareImage("1000", 640, 480, &prepared), 1);
      SlideImage* out = nullptr;
      view.ShowPrepared(item, &out);
      EXPECT_EQ(out, prepared);
      EXPECT_EQ(view.Current(), prepared);
      EXPECT_EQ(view.Next(), nullptr);
      EXPECT_EQ(view.Previous(), shown.empty() ? nullptr : shown.back());
      shown.push_back(prepared);
    }
    EXPECT_TRUE(DeleteFileA(files[0].c_str())) << "the oldest image is still open";
    EXPECT_FALSE(DeleteFileA(files[1].c_str())) << "the previous image was closed";
    EXPECT_FALSE(DeleteFileA(files[2].c_str())) << "the current image was closed";

    // A prepared image replaced before it is shown is dropped; the one replacing it is held.
    files.push_back(Program(64, 48));
    view.SetProgramPath(files.back());
    SlideImage* out = nullptr;
    ASSERT_EQ(view.PrepareImage("1000", 640, 480, &out), 1);
    files.push_back(Program(64, 48));
    view.SetProgramPath(files.back());
    ASSERT_EQ(view.PrepareImage("1000", 640, 480, &out), 1);
    EXPECT_TRUE(DeleteFileA(files[3].c_str()));
    EXPECT_FALSE(DeleteFileA(files[4].c_str()));
  }
  // Destruction closes previous, current and next.
  for (int i : {1, 2, 4}) EXPECT_TRUE(DeleteFileA(files[i].c_str())) << files[i];
}

// Showing with nothing prepared (the decode failed) leaves the window without a picture rather
// than with the one before, and the keys then do nothing.
TEST_F(SlideViewTest, ShowingWithoutAPreparedImageShowsNoPicture) {
  const FilmItem first = PictureItem(640, 480);
  SlideView view(window_.get(), Program(64, 48));
  ASSERT_TRUE(view.Bind(first, kStage));
  SlideImage* out = nullptr;
  ASSERT_EQ(view.PrepareImage("1000", 640, 480, &out), 1);
  view.ShowPrepared(first, &out);
  SlideImage* const firstImage = out;
  ASSERT_NE(firstImage, nullptr);

  const FilmItem broken = PictureItem(1000, 500);
  EXPECT_EQ(view.PrepareImage("-1", 1000, 500, &out), 0);
  view.ShowPrepared(broken, &out);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(view.Current(), nullptr);
  EXPECT_EQ(view.Previous(), firstImage);
  EXPECT_EQ(view.PictureRect(), (Rect{0, 0, 1000, 500}));
  view.HandleKey(kPlus);
  EXPECT_EQ(view.ZoomRect(), view.PictureRect());
}

TEST_F(SlideViewTest, ArrowKeysDoNothingWhenTheDeclaredPictureFitsTheWindow) {
  SlideView view(window_.get());
  const FilmItem item = PictureItem(1024, 768);  // exactly the window
  Show(view, item, 1024, 768);
  const Rect visible = view.VisibleRect();
  for (int key : {kLeft, kUp, kRight, kDown, kLeft, kLeft}) view.HandleKey(key);
  EXPECT_EQ(view.VisibleRect(), visible);
  // Zooming does not change that: the test is on the declared size.
  view.HandleKey(kPlus);
  const Rect zoomedVisible = view.VisibleRect();
  view.HandleKey(kRight);
  view.HandleKey(kDown);
  EXPECT_EQ(view.VisibleRect(), zoomedVisible);
}

// 2000 x 1000 in a 1024 x 768 window, on the stage as 800 x 400 at (0, 100).
TEST_F(SlideViewTest, ArrowKeysMoveTheVisibleRectangleWithinTheZoomedPicture) {
  SlideView view(window_.get());
  const FilmItem item = PictureItem(2000, 1000);
  Show(view, item, 2000, 1000);
  ASSERT_EQ(view.DisplayRect(), (Rect{0, 100, 800, 500}));
  ASSERT_EQ(view.VisibleRect(), (Rect{0, 0, 1024, 768}));

  view.HandleKey(kRight);
  EXPECT_EQ(view.VisibleRect(), (Rect{25, 0, 1049, 768}));
  view.HandleKey(kDown);
  EXPECT_EQ(view.VisibleRect(), (Rect{25, 25, 1049, 793}));
  view.HandleKey(kUp);
  view.HandleKey(kLeft);
  EXPECT_EQ(view.VisibleRect(), (Rect{0, 0, 1024, 768}));
  view.HandleKey(kUp);  // above the top: the display rectangle's rows
  EXPECT_EQ(view.VisibleRect(), (Rect{0, 100, 1024, 500}));
  view.HandleKey(kLeft);  // left of the edge: the display rectangle's columns
  EXPECT_EQ(view.VisibleRect(), (Rect{0, 100, 800, 500}));

  // Past the right edge of the 2000 pixels: right = 2000, left = 0 + 2000 - 800.
  for (int i = 0; i < 49; ++i) view.HandleKey(kRight);
  EXPECT_EQ(view.VisibleRect(), (Rect{1200, 100, 2000, 500}));
  // Past the bottom of the 1000 rows: bottom = 1000, top = 100 + 1000 - 500.
  for (int i = 0; i < 21; ++i) view.HandleKey(kDown);
  EXPECT_EQ(view.VisibleRect(), (Rect{1200, 600, 2000, 1000}));
  view.HandleKey(13);  // not a pan or zoom key
  EXPECT_EQ(view.VisibleRect(), (Rect{1200, 600, 2000, 1000}));
}

TEST_F(SlideViewTest, ZoomInDoublesUpTo4096Squared) {
  SlideView view(window_.get());
  const FilmItem item = PictureItem(1024, 1024);
  Show(view, item, 1024, 1024);
  view.HandleKey(kPlus);
  EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 2048, 2048}));
  // 4 x 2048 x 2048 is exactly the limit: one more doubling.
  view.HandleKey(kPlus);
  EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 4096, 4096}));
  EXPECT_EQ(view.DisplayRect(), (Rect{0, 0, 1024, 768}));
  EXPECT_EQ(view.VisibleRect(), (Rect{0, 0, 1024, 768}));
  view.HandleKey(kPlus);
  EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 4096, 4096}));
}

TEST_F(SlideViewTest, ZoomInCentresTheDisplayInTheWindow) {
  {
    SlideView view(window_.get());
    const FilmItem item = PictureItem(400, 300);
    Show(view, item, 400, 300);
    view.HandleKey(kPlus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 800, 600}));
    EXPECT_EQ(view.DisplayRect(), (Rect{112, 84, 912, 684}));
    EXPECT_EQ(view.VisibleRect(), (Rect{0, 0, 1024, 768}));
  }
  {
    // Wider than the window only: the visible rectangle becomes the display's band.
    SlideView view(window_.get());
    const FilmItem item = PictureItem(600, 200);
    Show(view, item, 600, 200);
    view.HandleKey(kPlus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 1200, 400}));
    EXPECT_EQ(view.DisplayRect(), (Rect{0, 184, 1024, 584}));
    EXPECT_EQ(view.VisibleRect(), view.DisplayRect());
  }
  {
    // Taller only, with an odd overflow: centred by truncation, then clipped.
    SlideView view(window_.get());
    const FilmItem item = PictureItem(101, 401);
    Show(view, item, 101, 401);
    view.HandleKey(kPlus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 202, 802}));
    EXPECT_EQ(view.DisplayRect(), (Rect{411, 0, 613, 768}));
    EXPECT_EQ(view.VisibleRect(), view.DisplayRect());
  }
}

TEST_F(SlideViewTest, ZoomOutNeedsAreaOrAnEnlargedPicture) {
  {
    // 256 x 256: a quarter of its area is exactly 16,384, so it halves once, then stops.
    SlideView view(window_.get());
    const FilmItem item = PictureItem(256, 256);
    Show(view, item, 256, 256);
    view.HandleKey(kMinus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 128, 128}));
    EXPECT_EQ(view.VisibleRect(), view.PictureRect());  // both sides below the picture's
    EXPECT_EQ(view.DisplayRect(), (Rect{448, 320, 576, 448}));
    view.HandleKey(kMinus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 128, 128}));
  }
  {
    // 255 x 256 is just too small to shrink, unless it has been enlarged first.
    SlideView view(window_.get());
    const FilmItem item = PictureItem(255, 256);
    Show(view, item, 255, 256);
    view.HandleKey(kMinus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 255, 256}));
    view.HandleKey(kPlus);
    view.HandleKey(kPlus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 1020, 1024}));
    view.HandleKey(kMinus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 510, 512}));
    EXPECT_EQ(view.VisibleRect(), view.ZoomRect());  // not below the picture
    EXPECT_EQ(view.DisplayRect(), (Rect{257, 128, 767, 640}));
    view.HandleKey(kMinus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 255, 256}));
    view.HandleKey(kMinus);
    EXPECT_EQ(view.ZoomRect(), (Rect{0, 0, 255, 256}));
  }
}

// Panning copies the zoomed picture to the window; after a new picture it must be that picture,
// never the zoomed bitmap left from the one before.
TEST_F(SlideViewTest, PanningDrawsTheCurrentPictureOnly) {
  OwnerWindow small(320, 240, WS_POPUP | WS_VISIBLE);  // a hidden window has no pixels
  ASSERT_NE(small.get(), nullptr);
  const FilmItem first = PictureItem(640, 480);
  SlideView view(small.get(), Program(640, 480, 60));
  ASSERT_TRUE(view.Bind(first, kStage));
  SlideImage* out = nullptr;
  ASSERT_EQ(view.PrepareImage("1000", 640, 480, &out), 1);
  view.ShowPrepared(first, &out);
  view.HandleKey(kPlus);
  view.HandleKey(kRight);
  const COLORREF firstColour = Colour(60);
  EXPECT_EQ(WindowPixel(small.get(), 10, 10), firstColour);

  const FilmItem second = PictureItem(640, 480);
  view.SetProgramPath(Program(640, 480, -60));
  ASSERT_EQ(view.PrepareImage("1000", 640, 480, &out), 1);
  view.ShowPrepared(second, &out);
  view.HandleKey(kRight);
  const COLORREF secondColour = Colour(-60);
  ASSERT_NE(secondColour, firstColour);
  EXPECT_EQ(WindowPixel(small.get(), 10, 10), secondColour);
  EXPECT_EQ(WindowPixel(small.get(), 319, 239), secondColour);
}

}  // namespace
}  // namespace lumafolio
