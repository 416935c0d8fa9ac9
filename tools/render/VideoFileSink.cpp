// The video file writer: the stage's BGR frames go through swscale into yuv420p and on to libx264
// or libvpx-vp9; the sound goes through swresample and an audio FIFO (the timeline hands over a
// frame's worth of samples, the encoders want their own frame size) into AAC or Opus. Every
// packet is written as soon as the encoder gives it up, so memory stays bounded by the encoders'
// lookahead and the muxer's interleaving, whatever the length of the film.
#include "tools/render/VideoFileSink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/render/FfmpegLog.h"

namespace lumafolio::render {
namespace {

namespace fs = std::filesystem;

enum class Container { kMp4, kWebm, kMkv };

std::optional<Container> ContainerOf(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".mp4") return Container::kMp4;
  if (ext == ".webm") return Container::kWebm;
  if (ext == ".mkv") return Container::kMkv;
  return std::nullopt;
}

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// Quality of the video, measured on photos panning across the stage (the brightness's PSNR of
// the decoded frames against the stage; 4:2:0 alone caps the colours' at 35-45 dB on sharp
// photos): x264 "veryfast" at CRF 16 keeps the hardest of them at 40 dB and more at 800x600 and
// 43 dB at 1920x1080, and VP9's realtime mode at CRF 28 (on its own 0..63 scale) at 41 and 42.
constexpr int kH264Crf = 16;
constexpr int kVp9Crf = 28;
constexpr int kAacBitRate = 192000;
constexpr int kOpusBitRate = 160000;

class VideoFileSink final : public RenderSink {
 public:
  VideoFileSink(std::string path, Container container)
      : path_(std::move(path)), container_(container) {
    QuietenFfmpegOnce();
  }
  ~VideoFileSink() override {
    if (state_ != State::kClosed) Abandon();
  }
  VideoFileSink(const VideoFileSink&) = delete;
  VideoFileSink& operator=(const VideoFileSink&) = delete;

  void Begin(const RenderFormat& format) override;
  void Frame(const std::uint8_t* bits, std::span<const float> sound) override;
  void Finish() override;
  void Abandon() noexcept override;

 private:
  enum class State { kNew, kOpen, kClosed };

  struct Encoder {
    AVCodecContext* context = nullptr;
    AVStream* stream = nullptr;
  };

  [[noreturn]] void Fail(const std::string& reason) const {
    throw std::runtime_error("cannot write the video \"" + path_ + "\": " + reason);
  }
  [[noreturn]] void FailAv(const std::string& what, int code) const {
    Fail(what + ": " + AvError(code));
  }

  const AVCodec* FindEncoder(const char* name, const char* description) const;
  void OpenVideo(const AVCodec* codec);
  void OpenAudio(const AVCodec* codec);
  void CreateTemporaryFile();
  void Send(Encoder& encoder, const AVFrame* frame);
  void EncodeAudio(bool last);
  void CheckWrites();
  void Release() noexcept;

  std::string path_;
  Container container_;
  State state_ = State::kNew;
  RenderFormat format_;
  std::string temporary_;  // beside path_, hidden; empty until created
  int encodedWidth_ = 0;   // the frame size rounded up to even numbers
  int encodedHeight_ = 0;

  AVFormatContext* muxer_ = nullptr;
  AVPacket* packet_ = nullptr;
  Encoder video_;
  Encoder audio_;
  SwsContext* scaler_ = nullptr;
  AVFrame* picture_ = nullptr;
  std::vector<std::uint8_t> padded_;         // an odd-sized frame made even
  std::vector<std::uint8_t> convertedBits_;  // the stage that `picture_` holds converted
  std::int64_t nextPicture_ = 0;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AVFrame* converted_ = nullptr;  // a Frame call's sound in the encoder's sample format
  AVFrame* samples_ = nullptr;    // one encoder frame taken from the FIFO
  int audioFrameSize_ = 0;
  std::int64_t nextSample_ = 0;
};

const AVCodec* VideoFileSink::FindEncoder(const char* name, const char* description) const {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) Fail(std::string("this FFmpeg has no ") + description + " encoder (" + name + ")");
  return codec;
}

void VideoFileSink::Begin(const RenderFormat& format) {
  if (state_ != State::kNew) throw std::runtime_error("VideoFileSink::Begin called twice");
  if (format.width <= 0 || format.height <= 0 || format.fps <= 0 ||
      (format.sound && kSampleRate % format.fps != 0)) {
    Fail("unusable frame size or rate " + std::to_string(format.width) + "x" +
         std::to_string(format.height) + " at " + std::to_string(format.fps) + " frames/s");
  }
  format_ = format;
  // yuv420p holds colour for 2x2 pixels together, and x264 refuses odd sizes: an odd width or
  // height gets one more column or row, a copy of the last one, rather than a refused render.
  encodedWidth_ = (format.width + 1) & ~1;
  encodedHeight_ = (format.height + 1) & ~1;

  // Everything that can be missing from this FFmpeg is looked for before a file is created.
  const bool vp9 = container_ == Container::kWebm;
  const AVCodec* videoCodec =
      vp9 ? FindEncoder("libvpx-vp9", "VP9") : FindEncoder("libx264", "H.264");
  const AVCodec* audioCodec = nullptr;
  if (format.sound) {
    audioCodec =
        container_ == Container::kMp4 ? FindEncoder("aac", "AAC") : FindEncoder("libopus", "Opus");
  }
  std::error_code ignored;
  if (fs::is_directory(path_, ignored)) Fail("a folder of that name is in the way");

  state_ = State::kOpen;
  try {
    CreateTemporaryFile();
    const char* muxer = container_ == Container::kMp4    ? "mp4"
                        : container_ == Container::kWebm ? "webm"
                                                         : "matroska";
    // The "file:" prefix keeps a name with a colon from being read as a protocol; the mp4
    // muxer reopens this URL to move its index to the front at the end.
    const std::string url = "file:" + temporary_;
    int result = avformat_alloc_output_context2(&muxer_, nullptr, muxer, url.c_str());
    if (result < 0) FailAv("the " + std::string(muxer) + " writer is missing", result);
    packet_ = av_packet_alloc();
    if (!packet_) Fail("out of memory");

    OpenVideo(videoCodec);
    if (audioCodec) OpenAudio(audioCodec);

    result = avio_open(&muxer_->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) FailAv("cannot open \"" + temporary_ + "\"", result);
    AVDictionary* options = nullptr;
    // The index at the front lets phones and browsers start playing before the whole file is
    // there.
    if (container_ == Container::kMp4) av_dict_set(&options, "movflags", "+faststart", 0);
    result = avformat_write_header(muxer_, &options);
    av_dict_free(&options);
    if (result < 0) FailAv("writing the header failed", result);
    CheckWrites();
  } catch (...) {
    Abandon();
    throw;
  }
}

void VideoFileSink::CreateTemporaryFile() {
  const fs::path target(path_);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    const fs::path name = folder / ("." + target.filename().string() + "." + suffix + ".part");
    // O_EXCL: a name of our own, never a file someone else is writing. Mode 0666 under the
    // umask, as any new file: the rename gives the user a file with the usual permissions.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      temporary_ = name.string();
      return;
    }
    const int error = errno;
    if (error == EEXIST) continue;
    std::error_code ignored;
    if (error == ENOENT && !fs::exists(folder, ignored)) {
      Fail("the folder \"" + folder.string() + "\" does not exist");
    }
    if (error == ENOTDIR || (error == ENOENT && !fs::is_directory(folder, ignored))) {
      Fail("\"" + folder.string() + "\" is not a folder");
    }
    if (error == EACCES || error == EPERM || error == EROFS) {
      Fail("the folder \"" + folder.string() + "\" is not writable (" + std::strerror(error) + ")");
    }
    Fail("cannot create a file in \"" + folder.string() + "\": " + std::strerror(error));
  }
  Fail("cannot find an unused temporary name in \"" + folder.string() + "\"");
}

void VideoFileSink::OpenVideo(const AVCodec* codec) {
  video_.stream = avformat_new_stream(muxer_, nullptr);
  video_.context = avcodec_alloc_context3(codec);
  if (!video_.stream || !video_.context) Fail("out of memory");
  AVCodecContext* c = video_.context;
  c->width = encodedWidth_;
  c->height = encodedHeight_;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{1, format_.fps};
  c->framerate = AVRational{format_.fps, 1};
  c->gop_size = 2 * format_.fps;  // a key frame every two seconds: seeking stays quick
  c->thread_count = 0;            // as many as the machine has
  // Players guess BT.601 for standard definition and BT.709 for HD when a file says nothing;
  // converting by the same rule and saying so suits both the guessing and the reading ones.
  const bool hd = encodedHeight_ >= 720;
  c->colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
  c->color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
  c->color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
  c->color_range = AVCOL_RANGE_MPEG;
  if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  AVDictionary* options = nullptr;
  if (container_ == Container::kWebm) {
    // libvpx's default "good" mode is far slower than the film plays on a small machine;
    // realtime with row-based threads keeps up with it, at the cost of some bits.
    av_dict_set(&options, "deadline", "realtime", 0);
    av_dict_set_int(&options, "cpu-used", 7, 0);
    av_dict_set_int(&options, "row-mt", 1, 0);
    av_dict_set_int(&options, "tile-columns", hd ? 2 : 1, 0);
    av_dict_set_int(&options, "crf", kVp9Crf, 0);
    c->bit_rate = 0;  // constant quality, no bit-rate target
  } else {
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set_int(&options, "crf", kH264Crf, 0);
    // x264 holds every frame of its look-ahead in several forms: at 1080p the preset's ten
    // frames (and the threads' own) took the render past 300 MB; five cost nothing visible.
    av_dict_set(&options, "x264-params", "rc-lookahead=5:sync-lookahead=0", 0);
  }
  const int result = avcodec_open2(c, codec, &options);
  av_dict_free(&options);
  if (result < 0)
    FailAv(std::string("the ") + codec->name + " encoder refused the settings", result);
  if (avcodec_parameters_from_context(video_.stream->codecpar, c) < 0) Fail("out of memory");
  video_.stream->time_base = c->time_base;
  video_.stream->avg_frame_rate = c->framerate;
  video_.stream->r_frame_rate = c->framerate;

  scaler_ =
      sws_getContext(encodedWidth_, encodedHeight_, AV_PIX_FMT_BGR24, encodedWidth_, encodedHeight_,
                     AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  if (!scaler_)
    Fail("cannot convert " + std::to_string(format_.width) + "x" + std::to_string(format_.height) +
         " frames to yuv420p");
  const int* matrix = sws_getCoefficients(hd ? SWS_CS_ITU709 : SWS_CS_ITU601);
  // Full-range RGB in, limited-range YUV out, as tagged above.
  sws_setColorspaceDetails(scaler_, matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16);

  picture_ = av_frame_alloc();
  if (!picture_) Fail("out of memory");
  picture_->format = AV_PIX_FMT_YUV420P;
  picture_->width = encodedWidth_;
  picture_->height = encodedHeight_;
  if (av_frame_get_buffer(picture_, 0) < 0) Fail("out of memory");
}

void VideoFileSink::OpenAudio(const AVCodec* codec) {
  audio_.stream = avformat_new_stream(muxer_, nullptr);
  audio_.context = avcodec_alloc_context3(codec);
  if (!audio_.stream || !audio_.context) Fail("out of memory");
  AVCodecContext* c = audio_.context;
  // Float, planar or packed, where the encoder takes it (AAC: planar; Opus: packed), else its
  // first format (swresample converts either way).
  c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
  for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
    if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT) {
      c->sample_fmt = *f;
      break;
    }
  }
  c->sample_rate = kSampleRate;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (av_channel_layout_copy(&c->ch_layout, &stereo) < 0) Fail("out of memory");
  c->bit_rate = container_ == Container::kMp4 ? kAacBitRate : kOpusBitRate;
  c->time_base = AVRational{1, kSampleRate};
  if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int result = avcodec_open2(c, codec, nullptr);
  if (result < 0)
    FailAv(std::string("the ") + codec->name + " encoder refused the settings", result);
  if (avcodec_parameters_from_context(audio_.stream->codecpar, c) < 0) Fail("out of memory");
  audio_.stream->time_base = c->time_base;
  audioFrameSize_ = c->frame_size > 0 ? c->frame_size : 1024;

  result = swr_alloc_set_opts2(&resampler_, &stereo, c->sample_fmt, kSampleRate, &stereo,
                               AV_SAMPLE_FMT_FLT, kSampleRate, 0, nullptr);
  if (result < 0 || swr_init(resampler_) < 0) Fail("cannot convert the sound for the encoder");
  fifo_ = av_audio_fifo_alloc(c->sample_fmt, kChannels, 2 * audioFrameSize_);
  converted_ = av_frame_alloc();
  samples_ = av_frame_alloc();
  if (!fifo_ || !converted_ || !samples_) Fail("out of memory");
}

void VideoFileSink::Frame(const std::uint8_t* bits, std::span<const float> sound) {
  if (state_ != State::kOpen)
    throw std::runtime_error("VideoFileSink::Frame outside Begin..Finish");
  const int count = format_.SamplesPerFrame();
  if (audio_.context && sound.size() != static_cast<std::size_t>(count) * kChannels) {
    throw std::runtime_error("VideoFileSink::Frame: " + std::to_string(sound.size()) +
                             " sound samples for a frame of " + std::to_string(count));
  }
  const int stride = (format_.width * 3 + 3) & ~3;
  int result = av_frame_make_writable(picture_);
  if (result < 0) FailAv("out of memory", result);
  const std::uint8_t* source[1] = {};
  int sourceStride[1] = {};
  if (encodedWidth_ == format_.width && encodedHeight_ == format_.height) {
    // The stage is bottom-up: start at its last row and walk backwards.
    source[0] = bits + static_cast<std::ptrdiff_t>(format_.height - 1) * stride;
    sourceStride[0] = -stride;
  } else {
    // An odd size: the frame is copied top-down with its last column and row repeated (swscale
    // writes odd sizes' last colour samples from pixels outside the picture).
    const std::size_t row = static_cast<std::size_t>(encodedWidth_) * 3;
    padded_.resize(row * encodedHeight_);
    for (int y = 0; y < encodedHeight_; ++y) {
      const int from = format_.height - 1 - std::min(y, format_.height - 1);
      std::uint8_t* to = &padded_[row * y];
      std::memcpy(to, bits + static_cast<std::ptrdiff_t>(from) * stride,
                  static_cast<std::size_t>(format_.width) * 3);
      if (encodedWidth_ != format_.width) std::memcpy(to + row - 3, to + row - 6, 3);
    }
    source[0] = padded_.data();
    sourceStride[0] = static_cast<int>(row);
  }
  // An item held on screen repeats one frame for seconds: the picture made writable above still
  // holds its conversion (a copy where the encoder kept the buffer), which is then reused.
  const std::size_t bytes = static_cast<std::size_t>(stride) * format_.height;
  if (convertedBits_.size() != bytes || std::memcmp(convertedBits_.data(), bits, bytes) != 0) {
    sws_scale(scaler_, source, sourceStride, 0, encodedHeight_, picture_->data, picture_->linesize);
    convertedBits_.assign(bits, bits + bytes);
  }
  picture_->pts = nextPicture_++;
  Send(video_, picture_);

  if (!audio_.context) return;
  if (converted_->nb_samples < count) {
    av_frame_unref(converted_);
    converted_->format = audio_.context->sample_fmt;
    converted_->nb_samples = count;
    if (av_channel_layout_copy(&converted_->ch_layout, &audio_.context->ch_layout) < 0 ||
        av_frame_get_buffer(converted_, 0) < 0) {
      Fail("out of memory");
    }
  }
  const std::uint8_t* input[1] = {reinterpret_cast<const std::uint8_t*>(sound.data())};
  result = swr_convert(resampler_, converted_->data, count, input, count);
  if (result < 0) FailAv("converting the sound failed", result);
  if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_->data), result) < result) {
    Fail("out of memory");
  }
  EncodeAudio(false);
}

// Hands the FIFO's sound to the encoder in frames of its size; `last` also sends the rest (a
// short frame where the encoder takes one, else padded with silence).
void VideoFileSink::EncodeAudio(bool last) {
  const bool shortLast = audio_.context->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
  while (av_audio_fifo_size(fifo_) >= audioFrameSize_ || (last && av_audio_fifo_size(fifo_) > 0)) {
    const int available = std::min(av_audio_fifo_size(fifo_), audioFrameSize_);
    const int size = shortLast ? available : audioFrameSize_;
    av_frame_unref(samples_);
    samples_->format = audio_.context->sample_fmt;
    samples_->nb_samples = size;
    samples_->sample_rate = kSampleRate;
    if (av_channel_layout_copy(&samples_->ch_layout, &audio_.context->ch_layout) < 0 ||
        av_frame_get_buffer(samples_, 0) < 0) {
      Fail("out of memory");
    }
    if (size > available) {
      av_samples_set_silence(samples_->data, 0, size, kChannels, audio_.context->sample_fmt);
    }
    if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(samples_->data), available) <
        available) {
      Fail("reading the sound buffer failed");
    }
    samples_->pts = nextSample_;
    nextSample_ += size;
    Send(audio_, samples_);
  }
}

// Sends a frame (nullptr: the end) and writes every packet the encoder has ready.
void VideoFileSink::Send(Encoder& encoder, const AVFrame* frame) {
  int result = avcodec_send_frame(encoder.context, frame);
  if (result < 0)
    FailAv(std::string("the ") + encoder.context->codec->name + " encoder failed", result);
  for (;;) {
    result = avcodec_receive_packet(encoder.context, packet_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
    if (result < 0)
      FailAv(std::string("the ") + encoder.context->codec->name + " encoder failed", result);
    av_packet_rescale_ts(packet_, encoder.context->time_base, encoder.stream->time_base);
    packet_->stream_index = encoder.stream->index;
    result = av_interleaved_write_frame(muxer_, packet_);  // takes the packet over
    if (result < 0) FailAv("writing failed", result);
  }
  CheckWrites();
}

// A write error (a full disk, a vanished USB stick) may stay inside the I/O buffer until later
// calls: look at it after every step so the render stops at once.
void VideoFileSink::CheckWrites() {
  if (muxer_ && muxer_->pb && muxer_->pb->error < 0) FailAv("writing failed", muxer_->pb->error);
}

void VideoFileSink::Finish() {
  if (state_ != State::kOpen)
    throw std::runtime_error("VideoFileSink::Finish outside Begin..Finish");
  try {
    if (audio_.context) {
      // swresample holds nothing back at an unchanged rate, but ask it all the same.
      const int flushed =
          swr_convert(resampler_, converted_->data, converted_->nb_samples, nullptr, 0);
      if (flushed > 0) {
        av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_->data), flushed);
      }
      EncodeAudio(true);
      Send(audio_, nullptr);
    }
    Send(video_, nullptr);
    int result = av_write_trailer(muxer_);
    if (result < 0) FailAv("finishing the file failed", result);
    CheckWrites();
    result = avio_closep(&muxer_->pb);
    if (result < 0) FailAv("writing failed", result);
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
      Fail(std::string("cannot rename the finished file: ") + std::strerror(errno));
    }
    temporary_.clear();
  } catch (...) {
    Abandon();
    throw;
  }
  Release();
  state_ = State::kClosed;
}

void VideoFileSink::Abandon() noexcept {
  Release();
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  state_ = State::kClosed;
}

void VideoFileSink::Release() noexcept {
  if (muxer_) {
    avio_closep(&muxer_->pb);
    avformat_free_context(muxer_);
    muxer_ = nullptr;
  }
  avcodec_free_context(&video_.context);
  avcodec_free_context(&audio_.context);
  video_ = {};
  audio_ = {};
  av_packet_free(&packet_);
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  av_frame_free(&picture_);
  swr_free(&resampler_);
  if (fifo_) av_audio_fifo_free(fifo_);
  fifo_ = nullptr;
  av_frame_free(&converted_);
  av_frame_free(&samples_);
}

}  // namespace

std::unique_ptr<RenderSink> MakeVideoFileSink(const std::string& path) {
  const std::optional<Container> container = ContainerOf(path);
  if (!container) {
    throw std::runtime_error("cannot write the video \"" + path +
                             "\": the name must end in .mp4, .webm or .mkv");
  }
  return std::make_unique<VideoFileSink>(path, *container);
}

bool IsVideoFileName(const std::string& path) { return ContainerOf(path).has_value(); }

}  // namespace lumafolio::render
