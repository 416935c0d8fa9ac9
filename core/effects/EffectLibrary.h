#pragma once

#include <array>

#include "core/effects/EffectParams.h"
#include "core/effects/EffectRecord.h"
#include "core/effects/EffectState.h"

namespace lumafolio {

// The two effect tables and the protocol that runs them: begin (0), step (3), end (1). A record
// is begun at most once until it is ended, and the random records take a new effect after every
// end, so each run of "random" uses the effect picked at the previous end. Each record has a state
// slot that its routine keeps its working state in; the slots belong to this library alone and
// live as long as it does.
class EffectLibrary {
 public:
  // Copies the built-in tables, all records idle, all state slots empty, and picks the first
  // random effects from the current sequence of EffectRand (not reseeded here).
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

  // The slot a record's routine runs with: the random record runs with the slot of the record
  // it borrowed from, so that an effect keeps one state however it is reached (a curl moves
  // along its list whether it was picked by name or at random).
  EffectState& TransitionState(int index);
  EffectState& CaptionEffectState(int index);

  std::array<TransitionRecord, kTransitionRecordCount> transitions_;
  std::array<CaptionEffectRecord, kCaptionEffectRecordCount> captionEffects_;
  std::array<EffectState, kTransitionRecordCount> transitionStates_;
  std::array<EffectState, kCaptionEffectRecordCount> captionEffectStates_;
  int randomTransitionSource_ = 0;     // the record the random transition borrowed from
  int randomCaptionEffectSource_ = 0;  // the same for the random caption effect
};

}  // namespace lumafolio
