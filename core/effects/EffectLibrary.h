#pragma once

#include <array>

#include "core/effects/EffectParams.h"
#include "core/effects/EffectRecord.h"

namespace lumafolio {

// The two effect tables and the protocol that runs them: begin (0), step (3), end (1). A record
// is begun at most once until it is ended, and the random records take a new effect after every
// end, so each run of "random" uses the effect picked at the previous end.
class EffectLibrary {
 public:
  // Copies the built-in tables, all records idle, and picks the first random effects from the
  // current sequence of EffectRand (not reseeded here).
  EffectLibrary();

  // Runs transition record `index` with `command`. `fields` supplies the pictures, size and
  // steps (its size, direction and variant are replaced by the record's); nullptr passes an
  // empty block, as for end. An index outside the table (a damaged film) runs the plain cut.
  int RunTransitionEffect(int index, int command, const EffectParams* fields);
  int RunCaptionEffect(int index, int command, const CaptionEffectParams* fields);

  const TransitionRecord& Transition(int index) const;
  const CaptionEffectRecord& CaptionEffect(int index) const;

 private:
  void PickRandomTransition();
  void PickRandomCaptionEffect();

  std::array<TransitionRecord, kTransitionRecordCount> transitions_;
  std::array<CaptionEffectRecord, kCaptionEffectRecordCount> captionEffects_;
};

}  // namespace lumafolio
