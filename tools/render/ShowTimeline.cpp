#include "tools/render/ShowTimeline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "core/captions/AnimatedCaptions.h"
#include "core/captions/CaptionFrame.h"
#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectRandom.h"
#include "core/music/MusicFileName.h"
#include "core/show/ShowSequence.h"
#include "core/show/StageGeometry.h"
#include "tools/render/CaptionFonts.h"
#include "tools/render/MusicFile.h"
#include "tools/render/VideoItem.h"

namespace lumafolio::render {
namespace {

constexpr int kCaptionLastFrame = 32;  // caption frames 0..32
constexpr int kPlayerRefresh = 60;     // the display refresh the player paces its frames at

// The effects that reseed from the processor clock read this instead while a render runs, so
// that the same seed always draws the same frames.
unsigned renderClock = 1;
std::clock_t RenderClock() { return static_cast<std::clock_t>(renderClock); }

class EffectClockScope {
 public:
  explicit EffectClockScope(unsigned seed) {
    renderClock = seed;
    SetEffectClock(RenderClock);
    EffectSrand(seed);
  }
  EffectClockScope(const EffectClockScope&) = delete;
  EffectClockScope& operator=(const EffectClockScope&) = delete;
  ~EffectClockScope() { SetEffectClock(nullptr); }
};

// Which of the steps 0..`last` are shown as frames at `fps`: every one at the player's own
// refresh; at a lower rate as many as the same time holds, spread evenly, the first and the last
// always. A damaged film may ask for two billion steps, so nothing here is a list of them.
class ShownSteps {
 public:
  ShownSteps(int last, int fps) : last_(last) {
    if (last < 0) return;
    count_ = std::max<std::int64_t>(
        1, ((static_cast<std::int64_t>(last) + 1) * fps + kPlayerRefresh - 1) / kPlayerRefresh);
  }
  std::int64_t Count() const { return count_; }
  // The step frame `k` shows.
  int Step(std::int64_t k) const {
    if (count_ <= 1) return last_;
    if (count_ == static_cast<std::int64_t>(last_) + 1) return static_cast<int>(k);
    return static_cast<int>((k * last_ * 2 + (count_ - 1)) / (2 * (count_ - 1)));
  }

 private:
  int last_ = 0;
  std::int64_t count_ = 0;
};

std::int64_t FramesFor(std::int64_t milliseconds, int fps) {
  return (milliseconds * fps + 500) / 1000;
}

// The size a video item is fitted as: its own, or its poster's, or the whole stage.
Rect VideoSource(const FilmItem& item, const std::optional<StagePicture>& poster, int width,
                 int height) {
  if (item.imageWidth > 0 && item.imageHeight > 0) return {0, 0, item.imageWidth, item.imageHeight};
  if (poster && poster->width > 0 && poster->height > 0)
    return {0, 0, poster->width, poster->height};
  return {0, 0, width, height};
}

}  // namespace

// One run of the timeline: the effect library, the stage's pictures and the sound that plays.
class ShowTimeline::Player {
 public:
  Player(ShowTimeline& timeline, RenderSink& sink,
         const std::function<void(std::int64_t, std::int64_t)>& progress)
      : t_(timeline),
        o_(timeline.options_),
        sink_(sink),
        progress_(progress),
        clock_(timeline.options_.seed),
        stage_(o_.width, o_.height),
        geometry_(o_.width, o_.height),
        from_(o_.width, o_.height),
        to_(o_.width, o_.height),
        out_(o_.width, o_.height),
        total_(timeline.PlannedFrames()) {
    format_.width = o_.width;
    format_.height = o_.height;
    format_.fps = o_.fps;
    format_.sound = timeline.sound_;
    sound_.resize(static_cast<std::size_t>(format_.SamplesPerFrame()) * kChannels);
  }

  void Run() {
    sink_.Begin(format_);
    std::size_t planned = 0;
    for (int pass = 0; pass < o_.loops; ++pass) {
      for (int position = 1; position <= t_.film_.ItemCount(); ++position) {
        ShowItem(t_.film_.GetItem(position), t_.plan_[planned++]);
      }
    }
    sink_.Finish();
  }

 private:
  // A decoded picture fitted as a picture of `source`'s size onto a black stage, the way the
  // player puts it there: nearest samples on its own stage, filtered on a larger one.
  StagePicture Placed(const StagePicture& picture, const Rect& source) const {
    StagePicture placed(o_.width, o_.height);
    geometry_.DrawPicture(picture.View(), geometry_.PictureRect(source.Width(), source.Height()),
                          placed.Span());
    return placed;
  }

  std::optional<StagePicture> Prepare(const FilmItem& item) {
    if (item.itemType == kItemPicture) {
      std::optional<StagePicture> picture =
          t_.media_.Picture(item.position, MediaField::kMediaFile);
      if (!picture) return std::nullopt;
      Rect source{0, 0, item.imageWidth, item.imageHeight};
      if (source.Width() <= 0 || source.Height() <= 0)
        source = {0, 0, picture->width, picture->height};
      return Placed(*picture, source);
    }
    if (item.itemType == kItemVideo) {
      std::optional<StagePicture> poster =
          t_.media_.Picture(item.position, MediaField::kPosterImage);
      if (!poster) return std::nullopt;
      return Placed(*poster, VideoSource(item, poster, o_.width, o_.height));
    }
    return std::nullopt;
  }

  void Emit(const StagePicture& frame) {
    if (format_.sound) {
      std::fill(sound_.begin(), sound_.end(), 0.0f);
      const auto samples = static_cast<std::size_t>(format_.SamplesPerFrame());
      for (std::unique_ptr<SoundSource>* source : {&music_, &videoSound_}) {
        if (*source && (*source)->MixInto(sound_.data(), samples) < samples) source->reset();
      }
    }
    sink_.Frame(frame.bits.data(),
                format_.sound ? std::span<const float>(sound_) : std::span<const float>());
    ++done_;
    if (progress_) progress_(done_, std::max(done_, total_));
  }

  EffectParams StepParams(int step, int lastStep) {
    EffectParams params;
    params.fromBits = from_.bits.data();
    params.toBits = to_.bits.data();
    params.outBits = out_.bits.data();
    params.width = o_.width;
    params.height = o_.height;
    params.step = step;
    params.lastStep = lastStep;
    return params;
  }

  // The player's transition driver without keys: every step drawn, the shown ones emitted.
  // False when there is nothing to go to.
  bool RunTransition(const std::optional<StagePicture>& next, const FilmItem& item) {
    if (!next) return false;
    const int effect = item.transitionEffect;
    const int last = item.transitionSteps;
    to_ = *next;
    const bool videoWithPicture = outgoingType_ == kItemVideo && outgoingPicture_.has_value();
    if (outgoingType_ == kItemPowerPoint || (outgoingType_ == kItemVideo && !videoWithPicture)) {
      // The stage was hidden (by the viewer, or a video without an end picture): only the
      // finished transition is drawn.
      from_ = stage_;
      EffectParams begin = StepParams(0, 100);
      library_.RunTransitionEffect(effect, kEffectBegin, &begin);
      EffectParams step = StepParams(last, last);
      library_.RunTransitionEffect(effect, kEffectStep, &step);
      library_.RunTransitionEffect(effect, kEffectEnd, nullptr);
      Emit(out_);
      return true;
    }
    from_ = videoWithPicture ? *outgoingPicture_ : stage_;
    out_ = from_;  // an effect that leaves its first frame unwritten shows the stage as it was
    EffectParams begin = StepParams(0, 100);
    library_.RunTransitionEffect(effect, kEffectBegin, &begin);
    const ShownSteps shown(last, o_.fps);
    std::int64_t frame = 0;
    for (int step = 0; step <= last && frame < shown.Count(); ++step) {
      EffectParams params = StepParams(step, last);
      library_.RunTransitionEffect(effect, kEffectStep, &params);
      if (shown.Step(frame) == step) {
        Emit(out_);
        ++frame;
      }
    }
    library_.RunTransitionEffect(effect, kEffectEnd, nullptr);
    return true;
  }

  void AnimateCaptions(const FilmItem& item) {
    const std::vector<AnimatedCaption> captions = LayOutCaptions(
        item,
        [this](const Caption& caption, std::span<CaptionGlyph> glyphs, CaptionExtent* block) {
          return t_.fonts_.Layout(caption, glyphs, block);
        },
        [this](const Caption& caption) { return geometry_.PlaceCaption(caption); });
    for (const AnimatedCaption& animated : captions) {
      CaptionEffectParams params;
      params.outBits = out_.bits.data();
      params.width = o_.width;
      params.height = o_.height;
      params.frameCount = 100;
      library_.RunCaptionEffect(animated.effect, kEffectBegin, &params);
    }
    const std::unique_ptr<CaptionCanvas> canvas =
        t_.fonts_.Canvas(stage_.bits.data(), o_.width, o_.height);
    const ShownSteps shown(kCaptionLastFrame, o_.fps);
    for (std::int64_t k = 0; k < shown.Count(); ++k) {
      const int frame = shown.Step(k);
      stage_.bits = to_.bits;
      for (const AnimatedCaption& animated : captions) {
        CaptionEffectParams params;
        params.canvas = canvas.get();
        params.caption = &animated.caption;
        params.glyphs = animated.glyphs.data();
        params.glyphCount = animated.glyphCount;
        params.width = o_.width;
        params.height = o_.height;
        params.frame = frame;
        params.frameCount = kCaptionLastFrame;
        library_.RunCaptionEffect(animated.effect, kEffectStep, &params);
      }
      Emit(stage_);
    }
    for (const AnimatedCaption& animated : captions) {
      library_.RunCaptionEffect(animated.effect, kEffectEnd, nullptr);
    }
  }

  void StartMusic(const FilmItem& item) {
    if (item.musicMode == kMusicStop) {
      music_.reset();
      return;
    }
    if ((item.musicMode != kMusicCdTrack && item.musicMode != kMusicFile) ||
        item.musicFile.empty()) {
      return;  // the music plays on
    }
    std::string path = t_.media_.File(item.position, MediaField::kMusicFile);
    if (path.empty()) path = item.musicFile;  // a CD track is named, never stored
    // A name the player cannot play changes nothing; a CD track replaces the music with one
    // that cannot be had here (OpenMusic says so).
    if (MusicKindOf(item.musicFile) == MusicKind::kNone && MusicKindOf(path) == MusicKind::kNone) {
      return;
    }
    try {
      music_ = OpenMusic(path, t_.warnings_);
    } catch (const std::runtime_error& error) {
      // The player plays on in silence when MCI cannot open the music.
      music_.reset();
      t_.warnings_ << "warning: the music of item " << item.position << " cannot be played ("
                   << error.what() << "): silence, as in the player\n";
    }
  }

  void Hold(const StagePicture& frame, std::int64_t frames) {
    for (std::int64_t i = 0; i < frames; ++i) Emit(frame);
  }

  void PlayVideo(const FilmItem& item, const std::optional<StagePicture>& poster,
                 std::int64_t frames) {
    const std::string path = t_.media_.File(item.position, MediaField::kMediaFile);
    std::unique_ptr<VideoItem> video;
    if (!path.empty()) {
      try {
        video = std::make_unique<VideoItem>(path);
        videoSound_ = video->OpenSound();
      } catch (const std::runtime_error& error) {
        t_.warnings_ << "warning: item " << item.position << " (video) cannot be played ("
                     << error.what() << "): it shows its poster\n";
        video.reset();
      }
    }
    std::optional<StagePicture> endPicture =
        t_.media_.Picture(item.position, MediaField::kEndPicture);
    const Rect source = VideoSource(item, poster, o_.width, o_.height);
    const Rect rect = geometry_.PictureRect(source.Width(), source.Height());
    std::optional<StagePicture> endPlaced;
    if (endPicture) endPlaced = Placed(*endPicture, source);

    StagePicture frame = stage_;
    std::vector<std::uint8_t> bgr;
    bool playing = video != nullptr;
    for (std::int64_t i = 0; i < frames; ++i) {
      if (playing) {
        const double seconds = static_cast<double>(i) / o_.fps;
        if (video->FrameAt(seconds, rect.Width(), rect.Height(), bgr)) {
          for (int line = std::max(rect.top, 0); line < std::min(rect.bottom, o_.height); ++line) {
            const std::uint8_t* source_row =
                bgr.data() + static_cast<std::size_t>(line - rect.top) * rect.Width() * 3;
            const int left = std::max(rect.left, 0);
            const int right = std::min(rect.right, o_.width);
            std::memcpy(frame.Line(line) + static_cast<std::size_t>(left) * 3,
                        source_row + static_cast<std::size_t>(left - rect.left) * 3,
                        static_cast<std::size_t>(right - left) * 3);
          }
        } else {
          playing = false;
          // Once played, the end picture stands in the video's place; without one the stage
          // shows what the transition left, the poster.
          frame = endPlaced ? *endPlaced : stage_;
        }
      }
      Emit(frame);
    }
    stage_ = frame;
    outgoingPicture_ = std::move(endPlaced);
  }

  void ShowItem(const FilmItem& item, const ItemFrames& plan) {
    videoSound_.reset();  // the step stops the video on screen first
    std::optional<StagePicture> next = Prepare(item);
    const bool transitionDone = RunTransition(next, item);
    StartMusic(item);
    switch (item.itemType) {
      case kItemPicture:
        if (!next) {
          stage_ = StagePicture(o_.width, o_.height);  // no picture: a black stage
        } else if (transitionDone) {
          AnimateCaptions(item);
        }
        Hold(stage_, plan.hold);
        outgoingPicture_.reset();
        break;
      case kItemVideo:
        if (next) {
          stage_ = *next;
          PlayVideo(item, next, plan.hold);
        } else {
          // Without a poster the player has nothing prepared for the item and plays nothing.
          stage_ = StagePicture(o_.width, o_.height);
          Hold(stage_, plan.hold);
          outgoingPicture_.reset();
        }
        break;
      default:
        // A PowerPoint show cannot be rendered: its time passes on a black stage.
        stage_ = StagePicture(o_.width, o_.height);
        Hold(stage_, plan.hold);
        outgoingPicture_.reset();
        break;
    }
    outgoingType_ = item.itemType;
  }

  ShowTimeline& t_;
  const TimelineOptions& o_;
  RenderSink& sink_;
  const std::function<void(std::int64_t, std::int64_t)>& progress_;
  EffectClockScope clock_;  // before the library, whose first random picks it seeds
  EffectLibrary library_;
  RenderFormat format_;
  StagePicture stage_;  // what the screen shows between effects, captions included
  StageGeometry geometry_;
  StagePicture from_;
  StagePicture to_;
  StagePicture out_;
  std::int32_t outgoingType_ = kItemPicture;     // before the first item: an empty stage
  std::optional<StagePicture> outgoingPicture_;  // a video's end picture, which it leaves on
  std::unique_ptr<SoundSource> music_;
  std::unique_ptr<SoundSource> videoSound_;
  std::vector<float> sound_;
  std::int64_t done_ = 0;
  std::int64_t total_ = 0;
};

ShowTimeline::ShowTimeline(const FilmDocument& film, ShowMedia& media, CaptionFonts& fonts,
                           const TimelineOptions& options, std::ostream& warnings)
    : film_(film), media_(media), fonts_(fonts), options_(options), warnings_(warnings) {
  if (options_.fps != 60 && options_.fps != 30 && options_.fps != 25) {
    throw std::runtime_error("the frame rate must be 60, 30 or 25 frames a second");
  }
  if (options_.width < 16 || options_.height < 16 || options_.width > 7680 ||
      options_.height > 4320) {
    throw std::runtime_error("the stage size must lie between 16x16 and 7680x4320");
  }
  if (options_.loops < 1) throw std::runtime_error("--loop must be at least 1");
  const std::int64_t manualMs = std::llround(options_.manualSeconds * 1000);
  if (manualMs < 0) throw std::runtime_error("--manual-seconds must not be negative");
  const bool manual = film_.PlayMode() == kPlayManual;

  // Video lengths and whether a video leaves an end picture, once per item.
  std::vector<std::int64_t> videoMs(static_cast<std::size_t>(film_.ItemCount()) + 1, 0);
  for (int position = 1; position <= film_.ItemCount(); ++position) {
    const FilmItem item = film_.GetItem(position);
    if (item.itemType == kItemVideo) {
      sound_ = true;  // a video's own sound, mixed in
      const std::string path = media_.File(position, MediaField::kMediaFile);
      if (path.empty()) continue;
      try {
        videoMs[static_cast<std::size_t>(position)] =
            std::llround(VideoItem(path).Seconds() * 1000);
      } catch (const std::runtime_error&) {
        // Said when it is played; it counts as ended at its start.
      }
    }
    if ((item.musicMode == kMusicFile || item.musicMode == kMusicCdTrack) &&
        MusicKindOf(item.musicFile) != MusicKind::kNone) {
      sound_ = true;
    }
  }

  std::int32_t outgoingType = kItemPicture;
  bool outgoingPicture = false;
  for (int pass = 0; pass < options_.loops; ++pass) {
    for (int position = 1; position <= film_.ItemCount(); ++position) {
      const FilmItem item = film_.GetItem(position);
      ItemFrames frames;
      frames.position = position;
      const bool prepared = item.itemType == kItemPicture || item.itemType == kItemVideo;
      if (prepared) {
        const bool lastOnly =
            outgoingType == kItemPowerPoint || (outgoingType == kItemVideo && !outgoingPicture);
        frames.transition = lastOnly ? 1 : ShownSteps(item.transitionSteps, options_.fps).Count();
      }
      if (item.itemType == kItemPicture) {
        frames.captions = ShownSteps(kCaptionLastFrame, options_.fps).Count();
      }
      const std::int64_t itemMs = ItemTimeMs(item);
      std::int64_t holdMs = manual ? manualMs : itemMs;
      if (item.itemType == kItemVideo) {
        const std::int64_t length = videoMs[static_cast<std::size_t>(position)];
        if (manual) {
          holdMs = std::max(length, manualMs);
        } else if (itemMs > 0) {
          // The show timer ticks every `duration` seconds and steps on at the first tick after
          // the video's end.
          holdMs = std::max<std::int64_t>(1, (length + itemMs - 1) / itemMs) * itemMs;
        } else {
          holdMs = length;
        }
      } else if (item.itemType == kItemPowerPoint) {
        holdMs = manualMs;
        if (pass == 0) {
          warnings_ << "warning: item " << position
                    << " is a PowerPoint show, which cannot be rendered: a black stage for "
                    << options_.manualSeconds << " s\n";
        }
      }
      frames.hold = FramesFor(holdMs, options_.fps);
      plan_.push_back(frames);
      outgoingType = item.itemType;
      outgoingPicture =
          item.itemType == kItemVideo && media_.Has(position, MediaField::kEndPicture);
    }
  }
}

ShowTimeline::~ShowTimeline() = default;

std::int64_t ShowTimeline::PlannedFrames() const {
  std::int64_t total = 0;
  for (const ItemFrames& frames : plan_) total += frames.Total();
  return total;
}

void ShowTimeline::Play(RenderSink& sink,
                        const std::function<void(std::int64_t, std::int64_t)>& progress) {
  try {
    Player player(*this, sink, progress);
    player.Run();
  } catch (...) {
    sink.Abandon();
    throw;
  }
}

}  // namespace lumafolio::render
