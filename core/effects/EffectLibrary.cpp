#include "core/effects/EffectLibrary.h"

#include <algorithm>

#include "core/effects/EffectRandom.h"

namespace lumafolio {
namespace {

// Begin marks a record active and refuses one that already is; end does the reverse. Any other
// command passes unchecked. Returns whether the routine may run.
template <typename Record>
bool PassesActiveCheck(Record& record, int command) {
  if (command == kEffectBegin) {
    if (record.active) return false;
    record.active = true;
  } else if (command == kEffectEnd) {
    if (!record.active) return false;
    record.active = false;
  }
  return true;
}

// The random record borrows routine and parameters of record k; the id stays its own.
template <typename Record>
void CopyEffect(Record& to, const Record& from) {
  to.routine = from.routine;
  to.direction = from.direction;
  to.variant = from.variant;
}

// Steps are drawn as step / lastStep. A damaged film may carry no steps at all; the one frame
// shown then is the finished transition rather than a division by zero.
void NormaliseSteps(EffectParams& params) {
  if (params.lastStep <= 0) {
    params.step = 1;
    params.lastStep = 1;
  }
  params.step = std::clamp(params.step, 0, params.lastStep);
}

bool HasPictures(const EffectParams& params) {
  return params.fromBits != nullptr && params.toBits != nullptr && params.outBits != nullptr &&
         params.width > 0 && params.height > 0;
}

}  // namespace

EffectLibrary::EffectLibrary() {
  std::copy_n(TransitionTableRows(), kTransitionRecordCount, transitions_.begin());
  std::copy_n(CaptionEffectTableRows(), kCaptionEffectRecordCount, captionEffects_.begin());
  for (auto& record : transitions_) record.active = false;
  for (auto& record : captionEffects_) record.active = false;
  PickRandomTransition();
  PickRandomCaptionEffect();
}

void EffectLibrary::PickRandomTransition() {
  const int k = EffectRand() * 57 / 32767;
  CopyEffect(transitions_[kRandomTransitionIndex], transitions_[k]);
}

void EffectLibrary::PickRandomCaptionEffect() {
  const int k = EffectRand() * 26 / 32767;
  CopyEffect(captionEffects_[kRandomCaptionEffectIndex], captionEffects_[k]);
}

int EffectLibrary::RunTransitionEffect(int index, int command, const EffectParams* fields) {
  if (index < 0 || index >= kTransitionRecordCount) index = kCutTransitionIndex;
  TransitionRecord& record = transitions_[index];

  EffectParams params = fields != nullptr ? *fields : EffectParams{};
  params.size = 64;
  params.direction = record.direction;
  params.variant = record.variant;

  if (!PassesActiveCheck(record, command)) return 0;
  int result = 0;
  if (command == kEffectBegin || command == kEffectEnd) {
    result = record.routine(command, params);
  } else if (command != 2 && command != 4 && HasPictures(params)) {
    // Every other command draws a step; 2 and 4 do nothing. A step without pictures has nothing
    // to draw into.
    NormaliseSteps(params);
    result = record.routine(kEffectStep, params);
  }

  if (command == kEffectEnd && index == kRandomTransitionIndex) PickRandomTransition();
  return result;
}

int EffectLibrary::RunCaptionEffect(int index, int command, const CaptionEffectParams* fields) {
  if (index < 0 || index >= kCaptionEffectRecordCount) return 0;
  CaptionEffectRecord& record = captionEffects_[index];

  CaptionEffectParams params = fields != nullptr ? *fields : CaptionEffectParams{};
  params.size = 64;
  params.direction = record.direction;
  params.variant = record.variant;

  if (!PassesActiveCheck(record, command)) return 0;
  const int result = record.routine(command, params);
  if (command == kEffectEnd && index == kRandomCaptionEffectIndex) PickRandomCaptionEffect();
  return result;
}

const TransitionRecord& EffectLibrary::Transition(int index) const {
  return transitions_.at(static_cast<std::size_t>(index));
}

const CaptionEffectRecord& EffectLibrary::CaptionEffect(int index) const {
  return captionEffects_.at(static_cast<std::size_t>(index));
}

}  // namespace lumafolio
