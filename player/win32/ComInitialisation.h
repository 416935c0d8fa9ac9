#pragma once

#include <objbase.h>

namespace lumafolio {

// COM for the current thread from construction to destruction; balanced only when it succeeded.
class ComInitialisation {
 public:
  ComInitialisation() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComInitialisation(const ComInitialisation&) = delete;
  ComInitialisation& operator=(const ComInitialisation&) = delete;
  ~ComInitialisation() {
    if (ok_) CoUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace lumafolio
