#include "player/video/VideoPlayer.h"

#include <utility>

#include "player/win32/GdiObjects.h"
#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

std::string ProgramPathOr(std::string path) { return path.empty() ? ProgramPath() : path; }

bool HasArea(const Rect& r) { return r.Width() > 0 && r.Height() > 0; }

// QueryInterface by the interface's id: the headers name no id for some DirectShow interfaces
// that ComPtr::As could look up.
template <typename Interface>
HRESULT Query(IUnknown& object, REFIID id, Microsoft::WRL::ComPtr<Interface>& out) {
  return object.QueryInterface(id, reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

}  // namespace

VideoPlayer::VideoPlayer(HWND presenter, const Rect& stage, std::string programPath)
    : presenter_(presenter),
      stage_(stage),
      video_(FitRect(source_, stage)),
      poster_(ProgramPathOr(programPath)),
      endPicture_(ProgramPathOr(programPath)) {}

VideoPlayer::~VideoPlayer() {
  StopVideo(kStopPlayingAndPrepared);
  pendingEnd_ = nullptr;
}

// Each step returns its failing result at once; whatever was filled before stays in `set` for
// the caller to release.
HRESULT VideoPlayer::BuildGraph(const std::string& path, GraphSet& set) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(set.builder.GetAddressOf()));
  if (FAILED(hr)) return hr;
  if (FAILED(hr = Query(*set.builder.Get(), IID_IMediaControl, set.control))) return hr;
  if (FAILED(hr = Query(*set.builder.Get(), IID_IMediaEvent, set.events))) return hr;
  if (FAILED(hr = Query(*set.builder.Get(), IID_IVideoWindow, set.window))) return hr;
  if (FAILED(hr = Query(*set.builder.Get(), IID_IMediaSeeking, set.seeking))) return hr;
  if (FAILED(hr = set.builder->RenderFile(wide.c_str(), nullptr))) return hr;
  OAEVENT event = 0;
  if (FAILED(hr = set.events->GetEventHandle(&event))) return hr;
  set.eventHandle = reinterpret_cast<HANDLE>(event);
  // Positions in frames, as asked for every video. The show never seeks, so a graph that cannot
  // count in frames still plays: wine's graph, for one, refuses the format for every file, and
  // its refusal must not cost the video.
  set.seeking->SetTimeFormat(&TIME_FORMAT_FRAME);
  return S_OK;
}

// A graph is paused, never stopped, before it goes: its window is hidden and handed back first,
// so that the presenter is never left with a child window of a graph that no longer exists.
void VideoPlayer::ReleaseGraph(GraphSet& set) {
  if (set.window) set.window->put_AutoShow(OAFALSE);
  if (set.control) {
    set.control->Pause();
    OAFilterState state;
    set.control->GetState(INFINITE, &state);
  }
  if (set.window) {
    set.window->put_WindowState(SW_HIDE);
    set.window->put_Owner(0);
  }
  set.eventHandle = nullptr;
  set.window.Reset();
  set.control.Reset();
  set.events.Reset();
  set.seeking.Reset();
  set.builder.Reset();
}

Rect VideoPlayer::SourceFor(int width, int height) const {
  if (width > 0 && height > 0) return {0, 0, width, height};
  // A damaged or missing size: fitted as the poster is, or over the whole stage.
  if (poster_.Width() > 0 && poster_.Height() > 0) return {0, 0, poster_.Width(), poster_.Height()};
  return {0, 0, stage_.Width(), stage_.Height()};
}

int VideoPlayer::PrepareVideo(const std::string& path, int width, int height,
                              const std::string& poster, SlideImage** out) {
  // A graph prepared for an item that never came (the show went back) goes first.
  if (preparedValid_) ReleaseGraph(prepared_);
  const HRESULT built = BuildGraph(path, prepared_);
  if (FAILED(built)) ReleaseGraph(prepared_);
  preparedValid_ = SUCCEEDED(built);

  poster_.Release();
  const int decoded = poster_.Decode(poster);
  preparedSource_ = SourceFor(width, height);
  if (decoded != 1) {
    *out = nullptr;
    return decoded;
  }
  const Rect fitted = FitRect(preparedSource_, stage_);
  poster_.FitToStage(Geometry(), fitted.Width(), fitted.Height());
  *out = &poster_;
  return 1;
}

bool VideoPlayer::StartVideo(const FilmItem& item, SlideImage** out) {
  // The prepared graph is handed over, not shared: no graph can be released twice.
  ReleaseGraph(playing_);
  playing_ = std::exchange(prepared_, GraphSet{});
  preparedValid_ = false;
  source_ = preparedSource_;
  video_ = FitRect(source_, stage_);
  showingEnd_ = false;
  pendingEnd_ = nullptr;

  const bool started = !playing_.Empty() && HasArea(video_);
  if (started) {
    // Every result is ignored: a window that will not move or show still plays to its end.
    IVideoWindow& window = *playing_.window.Get();
    window.put_AutoShow(OAFALSE);
    playing_.control->Pause();
    OAFilterState state;
    playing_.control->GetState(INFINITE, &state);
    window.put_Visible(OAFALSE);
    window.put_Owner(reinterpret_cast<OAHWND>(presenter_));
    window.put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    window.SetWindowPosition(video_.left, video_.top, video_.Width(), video_.Height());
    // Keys and clicks over the video reach the presenter as if the video were not there.
    window.put_MessageDrain(reinterpret_cast<OAHWND>(presenter_));
    window.put_Visible(OATRUE);
    playing_.control->Run();
  } else {
    ReleaseGraph(playing_);  // a graph with nowhere to play is of no use
  }
  finished_ = !started;
  ended_ = false;

  if (out != nullptr) {
    endPicture_.Release();
    if (endPicture_.Decode(item.endPicture) == 1 && HasArea(video_)) {
      endPicture_.FitToStage(Geometry(), video_.Width(), video_.Height());
      pendingEnd_ = &endPicture_;
      *out = &endPicture_;
    } else {
      endPicture_.Release();
      *out = nullptr;
    }
  }
  return started;
}

void VideoPlayer::StopVideo(StopMode mode) {
  ReleaseGraph(playing_);
  if (mode == kStopPlayingAndPrepared && preparedValid_) {
    ReleaseGraph(prepared_);
    preparedValid_ = false;
  }
}

HRESULT VideoPlayer::ReadVideoEvents() {
  if (!playing_.events) return 0;
  long code = 0;
  LONG_PTR first = 0;
  LONG_PTR second = 0;
  while (SUCCEEDED(playing_.events->GetEvent(&code, &first, &second, 0))) {
    const HRESULT freed = playing_.events->FreeEventParams(code, first, second);
    if (FAILED(freed)) return freed;
    if (code == EC_COMPLETE || code == EC_USERABORT) {
      finished_ = true;
      // The video window would cover the end picture whenever it repaints its last frame.
      if (pendingEnd_ != nullptr && playing_.window) playing_.window->put_Visible(OAFALSE);
      InvalidateRect(presenter_, nullptr, TRUE);
      UpdateWindow(presenter_);
    }
  }
  return 0;
}

bool VideoPlayer::Paint(HDC dc) {
  if (finished_) {
    finished_ = false;
    ended_ = true;
    showingEnd_ = pendingEnd_ != nullptr;
    pendingEnd_ = nullptr;
  }
  if (showingEnd_) {
    DrawEndPicture(dc);
    return true;
  }
  return !playing_.Empty();  // the video window covers the rectangle
}

void VideoPlayer::DrawEndPicture(HDC dc) const {
  GlobalMemory packed(endPicture_.MakePackedDib());
  if (!packed) return;
  GlobalLockScope lock(packed.get());
  if (lock.get() == nullptr) return;
  const auto* info = static_cast<const BITMAPINFO*>(lock.get());
  const BITMAPINFOHEADER& header = info->bmiHeader;
  // Pictures from the decoder carry no colour table.
  const auto* pixels = static_cast<const BYTE*>(lock.get()) + header.biSize;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, video_.left, video_.top, video_.Width(), video_.Height(), 0, 0, header.biWidth,
                header.biHeight, pixels, info, DIB_RGB_COLORS, SRCCOPY);
}

int VideoPlayer::EraseBackground(HDC dc) const {
  RECT client;
  GetClientRect(presenter_, &client);
  const int saved = SaveDC(dc);
  ExcludeClipRect(dc, video_.left, video_.top, video_.right, video_.bottom);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  RestoreDC(dc, saved);
  return 1;
}

}  // namespace lumafolio
