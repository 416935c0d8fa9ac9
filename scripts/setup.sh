#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, fuzz and benchmark.
# Idempotent: when everything is already installed it only asks dpkg and returns.
set -euo pipefail

packages=(
  # native toolchain and build
  build-essential cmake ninja-build pkg-config git clang clang-format libclang-rt-14-dev
  # Windows cross toolchains (posix thread model: std::mutex and GoogleTest need it) and resources
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # running Windows programs: wine, a virtual display, input and screenshots, fonts with the metrics of Arial etc.
  wine64 fonts-wine fonts-liberation fonts-liberation2 xvfb xauth xdotool x11-apps imagemagick util-linux procps
  # sound under wine without a sound card: wine's ALSA driver writes into ALSA's own file device
  libasound2 libasound2-data
  # a window manager on the test displays, as on a user's desktop; window properties and repaints
  openbox x11-utils x11-xserver-utils
  # video items under wine: its DirectShow decodes through GStreamer (AVI demuxer in -good, raw
  # video conversion in -base)
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  # code-signing films in the tests, with a throw-away certificate
  osslsigncode openssl
  # test and benchmark frameworks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # compound files, reference JPEG codec, authoring tool libraries
  libgsf-1-dev libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs libtomlplusplus-dev libcli11-dev nlohmann-json3-dev libpng-dev
  # filmtool render: FFmpeg's libraries encode the video file (H.264 through libx264, AAC, VP9,
  # Opus) and decode video items and wave music; FreeType draws captions, fontconfig finds their
  # faces; FluidSynth plays MIDI music through a General MIDI SoundFont; ffprobe/ffmpeg check
  # the files in the tests
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  libfreetype-dev libfontconfig-dev libfluidsynth-dev fluid-soundfont-gm
  # scripts
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
