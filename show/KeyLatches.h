#pragma once

namespace lumafolio {

// The keys that cut a transition or caption animation short: Escape always, Page Up and Page
// Down in manual mode. Each is asked whether it was pressed since it was last asked, so a key
// pressed before the show began must be cleared once (Clear) or it would cut the first
// transition short. The key's own key-down message still arrives afterwards and does its usual
// work (ending the show, stepping on).
class KeyLatches {
 public:
  explicit KeyLatches(bool manualMode) : manual_(manualMode) {}

  void Clear() const;
  bool CutShort() const;

 private:
  bool manual_;
};

}  // namespace lumafolio
