#pragma once

#include <windows.h>
// DirectShow's interfaces.
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "core/film/FilmDocument.h"
#include "core/show/FitRect.h"
#include "player/media/SlideImage.h"
#include "player/win32/ComInitialisation.h"

namespace lumafolio {

// One DirectShow filter graph for a video file, with the interfaces the show uses. Each pointer
// is owned, so that whatever path drops a set releases each interface exactly once. The event
// handle belongs to the graph and is never closed by us.
struct GraphSet {
  Microsoft::WRL::ComPtr<IGraphBuilder> builder;
  Microsoft::WRL::ComPtr<IMediaControl> control;
  Microsoft::WRL::ComPtr<IMediaEvent> events;
  Microsoft::WRL::ComPtr<IVideoWindow> window;
  Microsoft::WRL::ComPtr<IMediaSeeking> seeking;
  HANDLE eventHandle = nullptr;

  bool Empty() const { return !builder; }
};

// Plays the film's video items inside the stage, in DirectShow's video window made a child of
// the presenter window. Like the pictures it works in two halves: the worker builds the graph of
// the next video and decodes its poster (which the transition into the item ends on) while the
// item before it is on screen; the show step then starts that graph in the fitted video
// rectangle and decodes the picture that stands there once the video has ended. The presenter
// polls the graph's event handle and hands the end to ReadVideoEvents.
class VideoPlayer {
 public:
  enum StopMode { kStopPlaying = 0, kStopPlayingAndPrepared = 1 };

  // `stage` is the stage in the presenter window's coordinates. Pictures are decoded
  // out of `programPath`; empty means the running program. Initialises COM on this thread (the
  // user-interface thread), which starts, polls and stops the graphs.
  VideoPlayer(HWND presenter, const Rect& stage, std::string programPath = {});
  VideoPlayer(const VideoPlayer&) = delete;
  VideoPlayer& operator=(const VideoPlayer&) = delete;
  // Releases any graph still held, the same way StopVideo does.
  ~VideoPlayer();

  // Worker thread, under the presenter's item lock. Builds the graph of the video at `path` (UTF-8)
  // as the prepared one (a video that will not render leaves none: it then counts as ended at its
  // start) and decodes the poster at `poster` (the decimal offset of a JPEG in the program file,
  // "-1" for none), sized to the video's rectangle, into `*out`. 1 when the poster was decoded;
  // otherwise `*out` is none and the decoder's result (0) is returned.
  int PrepareVideo(const std::string& path, int width, int height, const std::string& poster,
                   SlideImage** out);

  // User-interface thread, under the item lock. The prepared graph becomes the playing one and
  // runs in its window over the video rectangle of `item`; when `out` is given, the item's end
  // picture is decoded into it (none when it has none). False when nothing could be played: the
  // video then counts as finished at once.
  bool StartVideo(const FilmItem& item, SlideImage** out);

  // Releases the playing graph and, with kStopPlayingAndPrepared, the prepared one as well.
  // The graph is paused, never stopped: its window is hidden and given up first.
  void StopVideo(StopMode mode);

  // True until the video has ended and the picture that follows it has been painted.
  bool IsPlaying() const { return !ended_; }
  // The playing graph's event handle, signalled while events wait; none without a graph.
  HANDLE EventHandle() const { return playing_.eventHandle; }
  // Drains the playing graph's events. Completion (or a user abort) marks the video finished and
  // repaints the presenter at once. 0, or the failing result of freeing an event's parameters.
  HRESULT ReadVideoEvents();

  // The presenter's paint while a video item is current. Once the video has finished, its end
  // picture stands in the video rectangle (and is drawn again by later paints). False when the
  // video rectangle is not ours to paint (no graph ran and no end picture): the presenter then
  // shows the stage as the transition left it, the poster or black.
  bool Paint(HDC dc);
  // The presenter's erase while a video item is current: everything but the video rectangle
  // becomes black, and the video rectangle keeps what it shows, so the running video does not
  // flicker. 1.
  int EraseBackground(HDC dc) const;

  // Where the video plays, in the presenter window's coordinates.
  const Rect& VideoRect() const { return video_; }
  bool PreparedValid() const { return preparedValid_; }

 private:
  static HRESULT BuildGraph(const std::string& path, GraphSet& set);
  static void ReleaseGraph(GraphSet& set);
  // The size the video is fitted as: the item's own, or the poster's (or the stage's) when the
  // item has none.
  Rect SourceFor(int width, int height) const;
  void DrawEndPicture(HDC dc) const;
  StageGeometry Geometry() const { return {stage_.Width(), stage_.Height()}; }

  ComInitialisation com_;
  HWND presenter_;
  Rect stage_;
  Rect source_{0, 0, 1, 1};
  Rect video_;
  Rect preparedSource_{0, 0, 1, 1};
  GraphSet prepared_;
  GraphSet playing_;
  SlideImage poster_;
  SlideImage endPicture_;
  const SlideImage* pendingEnd_ = nullptr;  // drawn by the paint that follows the end
  bool showingEnd_ = false;                 // the end picture stands in the video rectangle
  bool finished_ = false;
  bool ended_ = false;
  bool preparedValid_ = false;
};

}  // namespace lumafolio
