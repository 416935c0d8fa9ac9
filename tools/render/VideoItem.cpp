#include "tools/render/VideoItem.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "tools/render/FfmpegAudio.h"
#include "tools/render/FfmpegLog.h"

namespace lumafolio::render {

namespace {

// Times are compared with this much slack: a frame due at 3 / 10 s must be on screen at the
// render frame 18 / 60 s, though the two doubles differ in their last bit.
constexpr double kSlack = 1e-9;

// How long a stream plays by its header, or by the whole file's when the stream does not say.
double StreamSeconds(const AVFormatContext& format, const AVStream& stream) {
  if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0) {
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
  }
  // FFmpeg leaves an AVI's sound without a duration; the stream header's length counts its
  // blocks, in the units of the stream's time base.
  if (std::strcmp(format.iformat->name, "avi") == 0 && stream.nb_frames > 0) {
    return static_cast<double>(stream.nb_frames) * av_q2d(stream.time_base);
  }
  if (format.duration != AV_NOPTS_VALUE && format.duration > 0) {
    return static_cast<double>(format.duration) / AV_TIME_BASE;
  }
  return 0;
}

}  // namespace

// The video stream's decoder, one decoded frame ahead of the one on screen, so that the next
// frame's time is known when the caller asks for a later time.
struct VideoItem::Decoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  int stream = -1;
  AVRational timeBase{1, 1};
  double frameSeconds = 0;  // a frame's duration when the frames do not say
  bool draining = false;

  struct Picture {
    AVFrame* frame = nullptr;
    bool valid = false;
    double start = 0, length = 0;  // seconds from the first frame
  };
  Picture current, next;
  std::int64_t firstPts = AV_NOPTS_VALUE;
  std::int64_t lastPts = AV_NOPTS_VALUE, lastDuration = 0;
  long serial = 0;  // of `current`, counting from 1

  SwsContext* scaler = nullptr;
  std::array<int, 5> scalerKey{};  // source width, height, format, range; target width
  int scalerHeight = 0;
  std::vector<std::uint8_t> scaled;
  long scaledSerial = 0;
  int scaledWidth = 0, scaledHeight = 0;

  int width = 0, height = 0;
  double seconds = 0;

  ~Decoder() {
    sws_freeContext(scaler);
    av_frame_free(&current.frame);
    av_frame_free(&next.frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }

  // Decodes the frame after `current` into `next`; `next.valid` false at the end of the stream.
  // A packet the decoder refuses (a damaged frame) is skipped: the picture before stays up.
  void DecodeNext(const std::string& path) {
    next.valid = false;
    for (;;) {
      const int received = avcodec_receive_frame(codec, next.frame);
      if (received == 0) break;
      if (received == AVERROR_EOF) return;
      // Any other answer is a damaged frame the decoder dropped: on to the next packet.
      if (received != AVERROR(EAGAIN) && draining) return;  // nothing more will come out
      const int read = av_read_frame(format, packet);
      if (read == AVERROR_EOF) {
        draining = true;
        avcodec_send_packet(codec, nullptr);
        continue;
      }
      if (read < 0) {
        throw std::runtime_error(path + ": cannot be read to its end (" + FfmpegError(read) + ")");
      }
      if (packet->stream_index == stream) avcodec_send_packet(codec, packet);
      av_packet_unref(packet);
    }
    std::int64_t pts = next.frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
      pts = lastPts == AV_NOPTS_VALUE ? 0 : lastPts + lastDuration;
    }
    if (firstPts == AV_NOPTS_VALUE) firstPts = pts;
#if LIBAVUTIL_VERSION_MAJOR >= 58
    std::int64_t duration = next.frame->duration;
#else
    std::int64_t duration = next.frame->pkt_duration;
#endif
    if (duration <= 0 && frameSeconds > 0) {
      duration = std::max<std::int64_t>(1, std::llround(frameSeconds / av_q2d(timeBase)));
    }
    lastPts = pts, lastDuration = duration;
    next.start = static_cast<double>(pts - firstPts) * av_q2d(timeBase);
    next.length = static_cast<double>(duration) * av_q2d(timeBase);
    next.valid = true;
  }

  // The scaler from `frame` to BGR at `width` x `height`, made again only when either changes.
  // The JPEG formats ("yuvj") are passed to swscale as what they are, YUV in the full range:
  // given as themselves, swscale warns on every frame and its cache never matches.
  void Scaler(const AVFrame& frame, int toWidth, int toHeight, const std::string& path) {
    auto source = static_cast<AVPixelFormat>(frame.format);
    bool full = frame.color_range == AVCOL_RANGE_JPEG;
    switch (source) {
      case AV_PIX_FMT_YUVJ420P:
        source = AV_PIX_FMT_YUV420P, full = true;
        break;
      case AV_PIX_FMT_YUVJ422P:
        source = AV_PIX_FMT_YUV422P, full = true;
        break;
      case AV_PIX_FMT_YUVJ444P:
        source = AV_PIX_FMT_YUV444P, full = true;
        break;
      case AV_PIX_FMT_YUVJ440P:
        source = AV_PIX_FMT_YUV440P, full = true;
        break;
      case AV_PIX_FMT_YUVJ411P:
        source = AV_PIX_FMT_YUV411P, full = true;
        break;
      default:
        break;
    }
    const std::array<int, 5> key = {frame.width, frame.height, source, full, toWidth};
    if (scaler && key == scalerKey && toHeight == scalerHeight) return;
    sws_freeContext(scaler);
    scaler = sws_getContext(frame.width, frame.height, source, toWidth, toHeight, AV_PIX_FMT_BGR24,
                            SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler) throw std::runtime_error(path + ": a video frame cannot be scaled");
    int *inverse = nullptr, *table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(scaler, &inverse, &srcRange, &table, &dstRange, &brightness,
                                 &contrast, &saturation) >= 0) {
      // Old codecs say nothing of their colours: BT.601, as Windows' decoders had it.
      const int space = frame.colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
      sws_setColorspaceDetails(scaler, sws_getCoefficients(space), full ? 1 : 0,
                               sws_getCoefficients(SWS_CS_DEFAULT), 1, brightness, contrast,
                               saturation);
    }
    scalerKey = key, scalerHeight = toHeight;
  }

  // Makes `next` the frame on screen and decodes the one after it.
  void Advance(const std::string& path) {
    std::swap(current, next);
    ++serial;
    av_frame_unref(next.frame);
    DecodeNext(path);
    // A frame that does not say how long it lasts lasts until the next one.
    if (current.length <= 0 && next.valid) current.length = next.start - current.start;
  }
};

VideoItem::VideoItem(const std::string& path) : decoder_(std::make_unique<Decoder>()), path_(path) {
  Decoder& d = *decoder_;
  const auto fail = [&](const std::string& what, int code) {
    throw std::runtime_error(path + ": " + what + (code < 0 ? " (" + FfmpegError(code) + ")" : ""));
  };
  QuietenFfmpegOnce();
  int result = avformat_open_input(&d.format, path.c_str(), nullptr, nullptr);
  if (result < 0) fail("cannot be read", result);
  result = avformat_find_stream_info(d.format, nullptr);
  if (result < 0) fail("cannot be read", result);
  const AVCodec* codec = nullptr;
  d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (d.stream == AVERROR_DECODER_NOT_FOUND)
    fail("holds video in a format FFmpeg does not decode", 0);
  if (d.stream < 0 || !codec) fail("holds no video", 0);
  AVStream& stream = *d.format->streams[d.stream];
  for (unsigned i = 0; i < d.format->nb_streams; ++i) {
    if (static_cast<int>(i) != d.stream) d.format->streams[i]->discard = AVDISCARD_ALL;
  }
  d.codec = avcodec_alloc_context3(codec);
  d.packet = av_packet_alloc();
  d.current.frame = av_frame_alloc();
  d.next.frame = av_frame_alloc();
  if (!d.codec || !d.packet || !d.current.frame || !d.next.frame) throw std::bad_alloc();
  result = avcodec_parameters_to_context(d.codec, stream.codecpar);
  if (result >= 0) result = avcodec_open2(d.codec, codec, nullptr);
  if (result < 0) fail("holds video that cannot be decoded", result);
  d.timeBase = stream.time_base;
  const AVRational rate = av_guess_frame_rate(d.format, &stream, nullptr);
  if (rate.num > 0 && rate.den > 0) d.frameSeconds = av_q2d(av_inv_q(rate));

  d.width = stream.codecpar->width;
  d.height = stream.codecpar->height;
  const AVRational aspect = av_guess_sample_aspect_ratio(d.format, &stream, nullptr);
  if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den) {
    d.width = static_cast<int>(av_rescale(d.width, aspect.num, aspect.den));
  }
  if (d.width <= 0 || d.height <= 0) fail("holds video without a picture size", 0);

  double seconds = StreamSeconds(*d.format, stream);
  const int audio = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (audio >= 0) seconds = std::max(seconds, StreamSeconds(*d.format, *d.format->streams[audio]));
  d.seconds = seconds;

  d.DecodeNext(path);
  if (!d.next.valid) fail("holds no video frame that can be decoded", 0);
  d.Advance(path);
}

VideoItem::~VideoItem() = default;

int VideoItem::Width() const { return decoder_->width; }
int VideoItem::Height() const { return decoder_->height; }

double VideoItem::Seconds() const {
  // A file whose header does not say gets at least the pictures it has shown so far.
  const Decoder& d = *decoder_;
  return std::max(d.seconds, d.current.start + d.current.length);
}

bool VideoItem::FrameAt(double seconds, int width, int height, std::vector<std::uint8_t>& bgr) {
  Decoder& d = *decoder_;
  while (d.next.valid && d.next.start <= seconds + kSlack) d.Advance(path_);
  if (!d.next.valid && seconds >= d.current.start + d.current.length - kSlack) return false;
  if (width <= 0 || height <= 0) throw std::invalid_argument("VideoItem::FrameAt: no picture size");

  if (d.scaledSerial != d.serial || d.scaledWidth != width || d.scaledHeight != height) {
    const AVFrame& frame = *d.current.frame;
    d.Scaler(frame, width, height, path_);
    d.scaled.resize(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height));
    std::uint8_t* planes[4] = {d.scaled.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {width * 3, 0, 0, 0};
    sws_scale(d.scaler, frame.data, frame.linesize, 0, frame.height, planes, strides);
    d.scaledSerial = d.serial, d.scaledWidth = width, d.scaledHeight = height;
  }
  bgr.assign(d.scaled.begin(), d.scaled.end());
  return true;
}

std::unique_ptr<SoundSource> VideoItem::OpenSound() const {
  return OpenFfmpegAudio(path_, nullptr, true);
}

}  // namespace lumafolio::render
