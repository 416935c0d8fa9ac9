#include "tools/render/FfmpegAudio.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "tools/render/FfmpegLog.h"
#include "tools/render/RenderSink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace lumafolio::render {

std::string FfmpegError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

namespace {

// Decodes packet by packet as the mixer asks, so that only a few thousand samples are ever held.
class FfmpegAudio final : public SoundSource {
 public:
  FfmpegAudio(const std::string& path, const char* format, bool missingIsNull) : path_(path) {
    try {
      Open(format, missingIsNull);
    } catch (...) {
      Release();
      throw;
    }
  }

  ~FfmpegAudio() override { Release(); }

  bool missing() const { return missing_; }

  std::size_t MixInto(float* out, std::size_t frames) override {
    while (Available() < frames && !ended_) Refill();
    const std::size_t count = std::min(frames, Available());
    const float* from = samples_.data() + 2 * read_;
    for (std::size_t i = 0; i < 2 * count; ++i) out[i] += from[i];
    read_ += count;
    if (read_ == samples_.size() / 2) {
      samples_.clear();
      read_ = 0;
    }
    return count;
  }

 private:
  void Open(const char* format, bool missingIsNull) {
    const AVInputFormat* input = format ? av_find_input_format(format) : nullptr;
    QuietenFfmpegOnce();
    int result = avformat_open_input(&format_, path_.c_str(), input, nullptr);
    if (result < 0) Fail("cannot be read", result);
    result = avformat_find_stream_info(format_, nullptr);
    if (result < 0) Fail("cannot be read", result);
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) {
      if (missingIsNull) {
        missing_ = true;
        return;
      }
      Fail(stream_ == AVERROR_DECODER_NOT_FOUND ? "holds sound in a format FFmpeg does not decode"
                                                : "holds no sound",
           0);
    }
    decoder_ = avcodec_alloc_context3(codec);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!decoder_ || !packet_ || !frame_) throw std::bad_alloc();
    result = avcodec_parameters_to_context(decoder_, format_->streams[stream_]->codecpar);
    if (result >= 0) result = avcodec_open2(decoder_, codec, nullptr);
    if (result < 0) Fail("holds sound that cannot be decoded", result);
    // Only the chosen stream's packets are wanted: the demuxer may skip the others.
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
      if (static_cast<int>(i) != stream_) format_->streams[i]->discard = AVDISCARD_ALL;
    }
  }

  void Release() {
    swr_free(&resampler_);
    av_channel_layout_uninit(&inLayout_);
    av_channel_layout_uninit(&frameLayout_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
  }

  [[noreturn]] void Fail(const std::string& what, int code) const {
    throw std::runtime_error(path_ + ": " + what +
                             (code < 0 ? " (" + FfmpegError(code) + ")" : ""));
  }

  std::size_t Available() const { return samples_.size() / 2 - read_; }

  // One step of decoding: a frame out of the decoder, or a packet into it, or the end.
  void Refill() {
    int result = avcodec_receive_frame(decoder_, frame_);
    if (result == 0) {
      Convert(frame_);
      av_frame_unref(frame_);
      return;
    }
    if (result == AVERROR_EOF) {
      if (resampler_) Convert(nullptr);  // what the resampler still holds back
      ended_ = true;
      return;
    }
    if (result != AVERROR(EAGAIN)) Fail("is damaged", result);
    result = av_read_frame(format_, packet_);
    if (result == AVERROR_EOF) {
      avcodec_send_packet(decoder_, nullptr);  // drain the decoder
      return;
    }
    if (result < 0) Fail("cannot be read to its end", result);
    if (packet_->stream_index == stream_) {
      result = avcodec_send_packet(decoder_, packet_);
      if (result < 0 && result != AVERROR(EAGAIN)) Fail("is damaged", result);
    }
    av_packet_unref(packet_);
  }

  void StartResampler(const AVFrame& frame) {
    swr_free(&resampler_);
    av_channel_layout_uninit(&frameLayout_);
    av_channel_layout_uninit(&inLayout_);
    if (av_channel_layout_copy(&frameLayout_, &frame.ch_layout) < 0) throw std::bad_alloc();
    // A file that does not say which speakers its channels are for (a wave file without a
    // channel mask) gets the usual ones for their number.
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&inLayout_, frame.ch_layout.nb_channels);
    } else if (av_channel_layout_copy(&inLayout_, &frame.ch_layout) < 0) {
      throw std::bad_alloc();
    }
    inRate_ = frame.sample_rate;
    inFormat_ = frame.format;
    // Mono is resampled as mono and then played on both sides at full level, as a sound card
    // plays a mono wave; FFmpeg's own upmix would lower it by 3 dB.
    mono_ = inLayout_.nb_channels == 1;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, mono_ ? 1 : 2);
    const int result =
        swr_alloc_set_opts2(&resampler_, &outLayout, AV_SAMPLE_FMT_FLT, kSampleRate, &inLayout_,
                            static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr);
    if (result < 0 || swr_init(resampler_) < 0)
      Fail("holds sound that cannot be resampled", result);
  }

  // Appends `frame` (null: the resampler's tail) to the samples waiting, in stereo.
  void Convert(const AVFrame* frame) {
    if (frame && (!resampler_ || frame->sample_rate != inRate_ || frame->format != inFormat_ ||
                  av_channel_layout_compare(&frame->ch_layout, &frameLayout_) != 0)) {
      if (resampler_) Convert(nullptr);
      StartResampler(*frame);
    }
    const int inCount = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(resampler_, inCount);
    if (room <= 0) return;
    const int channels = mono_ ? 1 : 2;
    converted_.resize(static_cast<std::size_t>(room * channels));
    auto* to = reinterpret_cast<uint8_t*>(converted_.data());
    const int got =
        swr_convert(resampler_, &to, room,
                    frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inCount);
    if (got < 0) Fail("holds sound that cannot be resampled", got);
    const std::size_t count = static_cast<std::size_t>(got);
    if (read_ > 0) {  // keep the buffer small: drop what was mixed already
      samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(2 * read_));
      read_ = 0;
    }
    const std::size_t start = samples_.size();
    samples_.resize(start + 2 * count);
    for (std::size_t i = 0; i < count; ++i) {
      samples_[start + 2 * i] = converted_[mono_ ? i : 2 * i];
      samples_[start + 2 * i + 1] = converted_[mono_ ? i : 2 * i + 1];
    }
  }

  std::string path_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* decoder_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVChannelLayout frameLayout_{};  // as the decoder gives it
  AVChannelLayout inLayout_{};     // as the resampler takes it
  int inRate_ = 0;
  int inFormat_ = -1;
  bool mono_ = false;
  int stream_ = -1;
  bool missing_ = false;
  bool ended_ = false;
  std::vector<float> converted_;
  std::vector<float> samples_;  // stereo, from read_ on still to be mixed
  std::size_t read_ = 0;
};

}  // namespace

std::unique_ptr<SoundSource> OpenFfmpegAudio(const std::string& path, const char* format,
                                             bool missingIsNull) {
  auto audio = std::make_unique<FfmpegAudio>(path, format, missingIsNull);
  if (audio->missing()) return nullptr;
  return audio;
}

}  // namespace lumafolio::render
