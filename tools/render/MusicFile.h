#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "tools/render/SoundSource.h"

namespace lumafolio::render {

// The film's music as the player plays it, from its start, once: a wave file (".wav") decoded
// by FFmpeg's libraries, a MIDI file (".mid", ".rmi") synthesised by FluidSynth with Debian's
// General MIDI SoundFont, both resampled to 48 kHz stereo. A CD track (".cda") cannot be had:
// a warning on `warnings` naming the file, and nullptr (silence), as for a name without one of
// these extensions. Throws std::runtime_error naming the file and the reason when it cannot be
// read or decoded (missing, damaged, no SoundFont installed).
std::unique_ptr<SoundSource> OpenMusic(const std::string& path, std::ostream& warnings);

}  // namespace lumafolio::render
