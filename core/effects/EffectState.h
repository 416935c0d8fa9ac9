#pragma once

#include <memory>
#include <utility>

namespace lumafolio {

// What one effect keeps between calls: tables built at begin, buffers reused from step to step
// to spare their allocations, a position in a list that moves on at every end. The library owns
// one per record and hands it to the record's routine with every command, so two libraries (say
// one per stage size) never share state, and whatever an effect keeps lives exactly as long as
// the library that runs it.
class EffectState {
 public:
  // The state of type T, made from `args` the first time it is asked for and kept until Reset.
  // A slot serves one routine, so it always holds the same type; asking for another type drops
  // what it held and starts afresh.
  template <typename T, typename... Args>
  T& Get(Args&&... args) {
    if (held_ == nullptr || held_->Type() != TypeOf<T>()) {
      held_ = std::make_unique<Held<T>>(std::forward<Args>(args)...);
    }
    return static_cast<Held<T>*>(held_.get())->value;
  }

  // Drops the state entirely.
  void Reset() { held_.reset(); }

 private:
  using TypeTag = const void*;

  template <typename T>
  static TypeTag TypeOf() {
    static constexpr char kTag = 0;
    return &kTag;
  }

  struct Holder {
    virtual ~Holder() = default;
    virtual TypeTag Type() const = 0;
  };

  template <typename T>
  struct Held final : Holder {
    template <typename... Args>
    explicit Held(Args&&... args) : value{std::forward<Args>(args)...} {}
    TypeTag Type() const override { return TypeOf<T>(); }
    T value;
  };

  std::unique_ptr<Holder> held_;
};

}  // namespace lumafolio
