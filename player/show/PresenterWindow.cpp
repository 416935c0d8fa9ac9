#include "player/show/PresenterWindow.h"

#include <utility>

#include "core/show/ShowSequence.h"
#include "core/show/StageGeometry.h"
#include "player/media/SlideImage.h"
#include "player/win32/MonitorArea.h"

namespace lumafolio {
namespace {

constexpr char kClassName[] = "LumafolioPresenter";
constexpr char kTitle[] = "Kestrelon Lumafolio";
// Vertical and horizontal redraw, double-clicks, own DC, parent DC, byte-aligned client and
// window.
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_PARENTDC |
                             CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;

bool RegisterPresenterClass() {
  WNDCLASSA windowClass{};
  windowClass.style = kClassStyle;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  return Window::RegisterWindowClass(windowClass);
}

}  // namespace

bool PresenterWindow::Create(HWND host, FilmDocument& film, int32_t firstItem) {
  Destroy();
  host_ = host;
  film_ = &film;
  currentItem_ = BeforeFirstItem();
  currentItem_.position = firstItem > 0 ? firstItem - 1 : 0;

  if (!RegisterPresenterClass()) return false;
  // Created over the monitor as well as maximized: a pop-up window created at a default size has
  // none, and showing it normally would keep it that way.
  const RECT screen = StartMonitorArea();
  if (!CreateOwnWindow(0, kClassName, kTitle, WS_POPUP | WS_MAXIMIZE, screen, host,
                       GetModuleHandleA(nullptr))) {
    return false;
  }

  RECT bounds;
  GetWindowRect(window(), &bounds);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  // A film made for today's screens plays on a stage of the monitor's size (or its own); every
  // other film on the 800 x 600 stage it was made for, centred.
  const StageGeometry geometry = StageGeometry::ForFilm(film.Stage(), width, height);
  const int stageWidth = geometry.Width();
  const int stageHeight = geometry.Height();
  const Rect stageRect{(width - stageWidth) / 2, (height - stageHeight) / 2,
                       (width - stageWidth) / 2 + stageWidth,
                       (height - stageHeight) / 2 + stageHeight};

  slideView_ = std::make_unique<SlideView>(window());
  slideView_->Bind(currentItem_, stageRect);
  pptLauncher_ = std::make_unique<PptLauncher>(window());
  videoPlayer_ = std::make_unique<VideoPlayer>(window(), stageRect);
  stage_ = std::make_unique<StageSurface>(width, height, stageWidth, stageHeight);
  {
    WindowDc dc(window());
    stage_->CreateBitmaps(dc.get());
  }
  music_ = std::make_unique<MusicPlayer>(window());
  loop_ = film.LoopFlag();
  playMode_ = film.PlayMode();
  keys_ = std::make_unique<KeyLatches>(Manual());
  pacer_ = std::make_unique<FramePacer>();
  driver_ = std::make_unique<TransitionDriver>(*stage_, *keys_, *pacer_);
  worker_ = std::make_unique<ShowWorker>(
      film, loop_, [this](const FilmItem& next) { return PrepareNext(next); });

  ShowCursor(FALSE);
  cursorHidden_ = true;
  displayAwake_ = std::make_unique<DisplayAwake>();
  // A key pressed before the show must not cut the first transition short.
  keys_->Clear();

  if (!ItemToShowAfter(film, currentItem_, loop_)) {
    // Nothing to show (preparation left no item): end at once rather than stay black.
    EndShowThroughHost();
    return true;
  }
  worker_->Start(currentItem_);
  // The first step waits for the show timer in both modes: the windows are not on screen before
  // the host shows them, and a window manager needs a moment to map them and make the presenter
  // the active window, in front. A step dispatches no messages, so one started at once would run
  // its whole transition before any of that happened, and the user would never see it.
  StartShowTimer(kFirstItemDelayMs);
  return true;
}

void PresenterWindow::ShowOnScreen() {
  if (window() == nullptr) return;
  ShowWindow(window(), SW_SHOW);
  UpdateWindow(window());
  SetForegroundWindow(window());
}

void PresenterWindow::Destroy() {
  StopShowTimer();
  if (cursorHidden_) {
    ShowCursor(TRUE);
    cursorHidden_ = false;
  }
  displayAwake_.reset();
  if (videoPlayer_) {
    // Both graphs go before the worker ends: it made their objects, and its COM goes with it.
    // Held first, it is building none of them meanwhile.
    if (worker_) worker_->Hold();
    videoPlayer_->StopVideo(VideoPlayer::kStopPlayingAndPrepared);
  }
  StopMusic();
  worker_.reset();  // stops the thread and waits for it
  videoPlayer_.reset();
  driver_.reset();
  pacer_.reset();
  keys_.reset();
  if (stage_) stage_->ReleaseSurfaces();
  currentPrepared_ = nullptr;
  nextPrepared_ = nullptr;
  slideView_.reset();
  pptLauncher_.reset();
  stage_.reset();
  music_.reset();  // silent by now: stopped above
  DestroyOwnWindow();
}

LRESULT PresenterWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      // Over a running video only the stage around it is erased: erasing the video's own
      // rectangle would flicker on every repaint.
      if (currentItem_.itemType == kItemVideo && videoPlayer_) {
        return videoPlayer_->EraseBackground(reinterpret_cast<HDC>(wParam));
      }
      break;
    case WM_KEYDOWN:
      OnKey(wParam);
      break;
    case WM_LBUTTONUP:
      if (Manual()) ShowNext();
      break;
    case WM_LBUTTONDBLCLK:
      EndShowThroughHost();
      break;
    case WM_LBUTTONDOWN:
      OnButtonDown();
      break;
    case WM_TIMER:
      OnTimer(wParam);
      break;
    case WM_CLOSE:
      // Alt+F4 or a window manager's close: the whole show ends, exactly as on Escape, rather
      // than this window alone leaving the black host, the worker and the files behind.
      EndShowThroughHost();
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          EndShowThroughHost();
          return 0;
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
          return 0;  // a show left on one picture is still being watched
        default:
          break;
      }
      break;
    default:
      break;
  }
  return DefaultHandling(message, wParam, lParam);
}

void PresenterWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window(), &paint);
  if (currentItem_.itemType == kItemPicture && slideView_ && slideView_->HasOwnView()) {
    slideView_->PaintView(dc);  // zoomed or panned: the stage memory holds the whole picture
  } else if (currentItem_.itemType == kItemVideo && videoPlayer_) {
    // The video window or its end picture fills the video rectangle; otherwise (the video could
    // not play) the stage stands as the transition left it.
    if (!videoPlayer_->Paint(dc) && stage_) stage_->Present(dc);
  } else if (currentItem_.itemType != kItemPowerPoint && stage_) {
    // A PowerPoint item leaves the window to the viewer: nothing is drawn for it.
    stage_->Present(dc);
  }
  EndPaint(window(), &paint);
}

void PresenterWindow::OnKey(WPARAM key) {
  switch (key) {
    case VK_ESCAPE:
      EndShowThroughHost();
      break;
    case VK_NEXT:
      if (Manual()) ShowNext();
      break;
    case VK_PRIOR:
      if (Manual()) ShowPrevious();
      break;
    default:
      if (currentItem_.itemType == kItemPicture && slideView_) {
        slideView_->HandleKey(static_cast<int>(key));
      }
      break;
  }
}

void PresenterWindow::OnTimer(UINT_PTR id) {
  if (id == kShowTimer) {
    // A video outlasts its item's time: the show steps on at the first tick after its end.
    if (currentItem_.itemType == kItemVideo && videoPlayer_->IsPlaying()) return;
    ShowNext();
  } else if (id == kVideoTimer) {
    PollVideo();
  }
}

void PresenterWindow::OnButtonDown() {
  // Clicks over a video reach us from its window, which makes no double-clicks of them: two
  // presses within the double-click time are one, and end the show as a double-click anywhere
  // does.
  const DWORD now = GetTickCount();
  const bool overVideo = currentItem_.itemType == kItemVideo && videoPlayer_->EventHandle();
  if (overVideo && lastButtonDown_ && now - *lastButtonDown_ <= GetDoubleClickTime()) {
    lastButtonDown_.reset();
    EndShowThroughHost();
    return;
  }
  lastButtonDown_ = now;
}

void PresenterWindow::PollVideo() {
  if (currentItem_.itemType != kItemVideo) return;
  const HANDLE events = videoPlayer_->EventHandle();
  if (events != nullptr && WaitForSingleObject(events, 0) == WAIT_OBJECT_0) {
    videoPlayer_->ReadVideoEvents();
  }
  if (!videoPlayer_->IsPlaying()) KillTimer(window(), kVideoTimer);
}

void PresenterWindow::StopCurrentVideo(VideoPlayer::StopMode mode) {
  // Whatever the item on screen is said to be: going back changes the item before the step
  // that stops its video, and a graph that plays on would cover every later picture.
  KillTimer(window(), kVideoTimer);
  videoPlayer_->StopVideo(mode);
}

void PresenterWindow::EndShowThroughHost() const {
  if (host_ != nullptr) PostMessageA(host_, WM_KEYDOWN, VK_ESCAPE, 0);
}

void PresenterWindow::StartShowTimer(UINT milliseconds) {
  StopShowTimer();
  showTimer_ = SetTimer(window(), kShowTimer, milliseconds, nullptr);
}

void PresenterWindow::StopShowTimer() {
  if (showTimer_ != 0 && window() != nullptr) KillTimer(window(), kShowTimer);
  showTimer_ = 0;
}

bool PresenterWindow::PrepareNext(const FilmItem& next) {
  switch (next.itemType) {
    case kItemPicture:
      return slideView_->PrepareImage(MediaPath(next), next.imageWidth, next.imageHeight,
                                      &nextPrepared_) == 1;
    case kItemVideo:
      slideView_->DropPrepared();  // never show the picture prepared for an earlier item
      // A video whose poster will not decode comes on black, and one that will not render
      // counts as ended at once: either way the item is prepared, and trying again would only
      // build the same graph over and over.
      videoPlayer_->PrepareVideo(MediaPath(next), next.imageWidth, next.imageHeight,
                                 next.posterImage, &nextPrepared_);
      return true;
    case kItemPowerPoint:
      slideView_->DropPrepared();
      return pptLauncher_->Prepare(&nextPrepared_) == 1;
    default:
      return false;
  }
}

// Marks a show step as under way for its lifetime; when it is over, an end of the show asked for
// meanwhile is passed on to the host.
class PresenterWindow::StepScope {
 public:
  explicit StepScope(PresenterWindow& presenter) : presenter_(presenter) {
    presenter_.inStep_ = true;
  }
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;
  ~StepScope() {
    presenter_.inStep_ = false;
    if (std::exchange(presenter_.endAfterStep_, false)) presenter_.EndShowThroughHost();
  }

 private:
  PresenterWindow& presenter_;
};

void PresenterWindow::ShowNext() {
  // The message box below dispatches messages: a timer tick, a click or a key must not start a
  // second step inside this one.
  if (inStep_) return;
  const StepScope step(*this);
  const std::optional<FilmItem> next = ItemToShowAfter(*film_, currentItem_, loop_);
  if (!next) {
    EndShowThroughHost();  // the end of a film without loop
    return;
  }
  // Page Down during a video steps on at once: the video stops before anything else.
  StopCurrentVideo(VideoPlayer::kStopPlaying);
  StopShowTimer();
  if (!worker_->WaitReady()) MessageBoxA(window(), "Can't decompress image", "Error", MB_OK);
  worker_->Hold();  // from here to the end of the step nothing is prepared

  // The key that started this step (Page Down, say) is still marked as pressed; left so, it
  // would cut its own transition short at the first frame. Only keys pressed during the step
  // cut it short; every key still arrives as its own message afterwards.
  keys_->Clear();

  WindowDc dc(window());
  if (currentItem_.itemType == kItemPicture && slideView_->HasOwnView()) {
    // A zoomed view may cover the whole screen; the transition starts from the stage as it was
    // composed, on black, so that is what the screen shows first.
    RECT all;
    GetClientRect(window(), &all);
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    stage_->Present(dc.get());
  }
  // A preparation that failed leaves no picture for this item: never another item's.
  const bool ready = worker_->NextReady();
  SlideImage* prepared = ready ? nextPrepared_ : nullptr;
  const int transitionDone =
      driver_->RunTransition(dc.get(), currentPrepared_, prepared, next->transitionEffect,
                             next->transitionSteps, currentItem_.itemType);
  currentItem_ = *next;
  StartMusic();
  {
    LockScope lock(worker_->ItemLock());
    StartItem(dc.get(), prepared, ready);
  }
  if (currentItem_.itemType == kItemPicture) {
    if (transitionDone == 1) {
      driver_->AnimateCaptions(dc.get(), currentPrepared_, currentItem_);
    } else {
      driver_->SettleCaptions(dc.get(), currentPrepared_, currentItem_);
    }
  }
  worker_->Resume(currentItem_);
  if (!Manual()) {
    // The item's time on screen counts from the end of the step.
    StartShowTimer(ItemTimeMs(currentItem_));
  }
}

void PresenterWindow::StartItem(HDC dc, const SlideImage* incoming, bool ready) {
  switch (currentItem_.itemType) {
    case kItemPicture:
      slideView_->ShowPrepared(currentItem_, &currentPrepared_);
      if (currentPrepared_ == nullptr) {
        // No picture (it would not decode): a black stage.
        stage_->ClearStage();
        InvalidateRect(window(), nullptr, FALSE);
      }
      break;
    case kItemVideo:
      // The poster the transition ended on (even one cut short) is the stage until the video
      // window covers it, and stays it when the video cannot play; without one, black.
      if (incoming != nullptr) {
        stage_->RestoreStage();
      } else {
        stage_->ClearStage();
      }
      stage_->Present(dc);
      // A graph left from an attempt for another item must never play for this one.
      if (!ready) videoPlayer_->StopVideo(VideoPlayer::kStopPlayingAndPrepared);
      if (!videoPlayer_->StartVideo(currentItem_, &currentPrepared_)) {
        // Nothing plays: the video has ended already, and its end picture (if any) stands.
        InvalidateRect(window(), nullptr, TRUE);
        UpdateWindow(window());
      }
      SetTimer(window(), kVideoTimer, kVideoPollMs, nullptr);
      break;
    case kItemPowerPoint:
      // The show stands still until the viewer has been closed.
      pptLauncher_->RunShow(currentItem_, &currentPrepared_);
      // The viewer had the keyboard: take it back, or Escape and the paging keys would go to
      // whichever window the system picked, and the show could not be ended or stepped on.
      SetForegroundWindow(window());
      SetFocus(window());
      InvalidateRect(window(), nullptr, TRUE);
      break;
    default:
      break;
  }
}

void PresenterWindow::StartMusic() {
  switch (currentItem_.musicMode) {
    case kMusicStop:
      StopMusic();
      break;
    case kMusicCdTrack:
    case kMusicFile:
      if (!currentItem_.musicFile.empty()) {
        // A file that will not play leaves the show silent; the show goes on either way.
        music_->playFile(currentItem_.musicFile);
        musicPlaying_ = true;
      }
      break;
    default:
      break;  // the music plays on unchanged
  }
}

void PresenterWindow::StopMusic() {
  if (!std::exchange(musicPlaying_, false) || !music_) return;
  music_->stopMusic();
}

void PresenterWindow::ShowPrevious() {
  // Nothing to go back from before the first step has brought the first item on.
  if (inStep_ || currentItem_.position == 0) return;
  const std::optional<FilmItem> origin = StepBackOrigin(*film_, currentItem_, loop_);
  if (!origin) return;  // the first item is on screen and the film does not loop
  // The worker must not be preparing while the item on screen changes; after Resume it
  // prepares the item the step brings on.
  worker_->Hold();
  currentItem_ = *origin;
  worker_->Resume(currentItem_);
  ShowNext();
}

}  // namespace lumafolio
