#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "core/film/FilmDocument.h"
#include "tools/render/RenderSink.h"
#include "tools/render/ShowMedia.h"

namespace lumafolio::render {

class CaptionFonts;

struct TimelineOptions {
  int width = 800;  // the stage; 800 x 600 is the player's
  int height = 600;
  int fps = 60;
  unsigned seed = 1;           // the effects' random numbers and their clock
  int loops = 1;               // passes through the film
  double manualSeconds = 5.0;  // how long a manual film holds each item
};

// What one item contributes to a render, in frames.
struct ItemFrames {
  int position = 0;
  std::int64_t transition = 0;
  std::int64_t captions = 0;
  std::int64_t hold = 0;
  std::int64_t Total() const { return transition + captions + hold; }
};

// The show played once through (or `loops` times) without a person, as the player plays it at
// the display's refresh: for each item its transition (one frame per step at 60 frames a second),
// its caption animation (33 frames), then the item held for its time: its duration in a timed
// film, the video's length for a video (to the player's next timer tick), a fixed time in a
// manual one. Frames and the sound that plays with them go to a sink, one frame at a time.
class ShowTimeline {
 public:
  ShowTimeline(const FilmDocument& film, ShowMedia& media, CaptionFonts& fonts,
               const TimelineOptions& options, std::ostream& warnings);
  ~ShowTimeline();
  ShowTimeline(const ShowTimeline&) = delete;
  ShowTimeline& operator=(const ShowTimeline&) = delete;

  // The frames each item adds, for every pass, as planned before anything is drawn: a picture
  // that then does not decode adds no transition and no caption frames (the player shows black
  // at once).
  const std::vector<ItemFrames>& Plan() const { return plan_; }
  std::int64_t PlannedFrames() const;
  bool HasSound() const { return sound_; }

  // Plays the whole timeline into `sink` (Begin, Frame..., Finish). `progress` is called after
  // every frame with the frames done and the planned total.
  void Play(RenderSink& sink,
            const std::function<void(std::int64_t done, std::int64_t total)>& progress = {});

 private:
  class Player;

  const FilmDocument& film_;
  ShowMedia& media_;
  CaptionFonts& fonts_;
  TimelineOptions options_;
  std::ostream& warnings_;
  std::vector<ItemFrames> plan_;
  bool sound_ = false;
};

}  // namespace lumafolio::render
