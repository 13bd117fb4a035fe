// Keeps the run's arithmetic safe from code that runs inside a system
// dialog or box (shell extensions, font engines, themes).
#pragma once

#include <cfenv>

#include "os/windows_support.h"

namespace pelmoro::winapp {

// Saves the floating-point environment and the x87 control word (precision,
// rounding, the errors raised) when made and puts both back when it goes.
class FpGuard {
 public:
  FpGuard() : control_(windows::X87Control()) { std::fegetenv(&saved_); }
  ~FpGuard() {
    std::fesetenv(&saved_);
    windows::SetX87Control(control_);
  }
  FpGuard(const FpGuard&) = delete;
  FpGuard& operator=(const FpGuard&) = delete;

 private:
  std::fenv_t saved_;
  unsigned short control_;
};

}  // namespace pelmoro::winapp
