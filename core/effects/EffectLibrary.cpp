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

// A working record made from a table row, idle.
template <typename Record, typename Entry>
Record RecordOf(const Entry& entry) {
  return Record{entry.id, entry.routine, entry.direction, entry.variant, false};
}

// The random record picks k = rand × last / 32767 among the records before it, where `last` is
// the index of the last of them, which comes up only for the generator's largest draw.
int PickAmongRecordsBefore(int randomIndex) { return EffectRand() * (randomIndex - 1) / 32767; }

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
  std::ranges::transform(TransitionTable(), transitions_.begin(),
                         RecordOf<TransitionRecord, TransitionEntry>);
  std::ranges::transform(CaptionEffectTable(), captionEffects_.begin(),
                         RecordOf<CaptionEffectRecord, CaptionEffectEntry>);
  PickRandomTransition();
  PickRandomCaptionEffect();
}

void EffectLibrary::PickRandomTransition() {
  randomTransitionSource_ = PickAmongRecordsBefore(kRandomTransitionIndex);
  CopyEffect(transitions_[kRandomTransitionIndex], transitions_[randomTransitionSource_]);
}

void EffectLibrary::PickRandomCaptionEffect() {
  randomCaptionEffectSource_ = PickAmongRecordsBefore(kRandomCaptionEffectIndex);
  CopyEffect(captionEffects_[kRandomCaptionEffectIndex],
             captionEffects_[randomCaptionEffectSource_]);
}

EffectState& EffectLibrary::TransitionState(int index) {
  return transitionStates_[index == kRandomTransitionIndex ? randomTransitionSource_ : index];
}

EffectState& EffectLibrary::CaptionEffectState(int index) {
  return captionEffectStates_[index == kRandomCaptionEffectIndex ? randomCaptionEffectSource_
                                                                 : index];
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
    result = record.routine(command, params, TransitionState(index));
  } else if (command != 2 && command != 4 && HasPictures(params)) {
    // Every other command draws a step; 2 and 4 do nothing. A step without pictures has nothing
    // to draw into.
    NormaliseSteps(params);
    result = record.routine(kEffectStep, params, TransitionState(index));
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
  const int result = record.routine(command, params, CaptionEffectState(index));
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
