#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "core/film/FilmDocument.h"
#include "player/music/MusicPlayer.h"
#include "player/ppt/PptLauncher.h"
#include "player/show/FramePacer.h"
#include "player/show/KeyLatches.h"
#include "player/show/ShowWorker.h"
#include "player/show/SlideView.h"
#include "player/show/TimerIds.h"
#include "player/show/TransitionDriver.h"
#include "player/stage/StageSurface.h"
#include "player/video/VideoPlayer.h"
#include "player/win32/DisplayAwake.h"
#include "player/win32/Window.h"

namespace lumafolio {

class SlideImage;

// The full-screen window in which the show runs, in front of the black host window. It owns
// everything that puts an item on screen (the slide view, the stage, the worker that prepares
// the next item) and the show's timers, and it receives all input during the show.
//
// A show step (ShowNext) brings on the next item: it waits for the worker to have prepared it,
// holds the worker, runs the transition and the caption frames, makes the item current, and
// lets the worker prepare the one after. The item's music starts (or stops) as it comes on
// screen and runs on across items. Timed films step on timer 11, manual films on Page
// Down or a click; Page Up goes back; Escape and a double-click end the show through the host.
class PresenterWindow final : public Window {
 public:
  static constexpr UINT kFirstItemDelayMs = 500;

  PresenterWindow() = default;
  PresenterWindow(const PresenterWindow&) = delete;
  PresenterWindow& operator=(const PresenterWindow&) = delete;
  ~PresenterWindow() { Destroy(); }

  // Creates the window (hidden), owned by `host`, to show `film` from item `firstItem` (1-based),
  // and starts the worker. The first step runs on the show timer, 500 ms after, once the host has
  // shown the window (ShowOnScreen). False when no window was made (nothing else is left running).
  bool Create(HWND host, FilmDocument& film, int32_t firstItem);
  // Shows the window in front of the host and makes it the active window: a window manager keeps
  // the active one of two full-screen windows on top, and the user's keys go to it.
  void ShowOnScreen();
  // Whether a show step is under way. A step dispatches messages only while its message box is
  // up, and nothing may tear the presenter down beneath it then: the host asks for the end with
  // EndAfterStep instead, and the step ends the show through the host when it is over.
  bool InStep() const { return inStep_; }
  void EndAfterStep() { endAfterStep_ = true; }
  // Stops the timers and the worker, releases every surface and destroys the window; safe to
  // call more than once.
  void Destroy();

 private:
  class StepScope;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  void ShowNext();
  void ShowPrevious();
  void OnTimer(UINT_PTR id);
  void OnKey(WPARAM key);
  void Paint();
  // Makes the item that the transition brought on current. `incoming` is the picture the
  // transition ended on (for a video, its poster); `ready` whether the worker prepared the item.
  void StartItem(HDC dc, const SlideImage* incoming, bool ready);
  // Stops the video on screen, if any (and with kStopPlayingAndPrepared the one prepared for the
  // next item), and its poll.
  void StopCurrentVideo(VideoPlayer::StopMode mode);
  // The video timer: hands the graph's events to the player once it signals, and stops polling
  // once the video has ended.
  void PollVideo();
  void OnButtonDown();
  // The item's background music: stopped, started, or left to run on.
  void StartMusic();
  void StopMusic();
  bool PrepareNext(const FilmItem& next);
  void EndShowThroughHost() const;
  void StartShowTimer(UINT milliseconds);
  void StopShowTimer();
  bool Manual() const { return playMode_ == kPlayManual; }

  HWND host_ = nullptr;
  FilmDocument* film_ = nullptr;
  FilmItem currentItem_;
  bool loop_ = false;
  int32_t playMode_ = kPlayTimed;
  bool cursorHidden_ = false;
  UINT_PTR showTimer_ = 0;
  bool inStep_ = false;
  bool endAfterStep_ = false;
  std::optional<DWORD> lastButtonDown_;  // when the left button last went down
  std::unique_ptr<DisplayAwake> displayAwake_;

  std::unique_ptr<SlideView> slideView_;
  std::unique_ptr<PptLauncher> pptLauncher_;
  std::unique_ptr<VideoPlayer> videoPlayer_;
  std::unique_ptr<StageSurface> stage_;
  std::unique_ptr<ShowWorker> worker_;
  std::unique_ptr<KeyLatches> keys_;
  std::unique_ptr<FramePacer> pacer_;
  std::unique_ptr<TransitionDriver> driver_;
  std::unique_ptr<MusicPlayer> music_;
  bool musicPlaying_ = false;  // an item started music that has not been stopped since
  // The picture on screen (owned by the slide view), or for a video the one that stands once it
  // has ended (owned by the video player).
  SlideImage* currentPrepared_ = nullptr;
  SlideImage* nextPrepared_ = nullptr;  // the prepared next picture (written by the worker)
};

}  // namespace lumafolio
