// Keeps the run's floating-point settings safe from code that runs inside a
// dialog or a box (file-system models, platform plug-ins, font engines).
#pragma once

#include <cfenv>

namespace pelmoro {

// Saves the whole floating-point environment (x87 precision and rounding
// control, exception masks and flags, and the SSE control word) when made
// and puts it back when it goes.
class FpEnvironmentGuard {
 public:
  FpEnvironmentGuard() { std::fegetenv(&saved_); }
  ~FpEnvironmentGuard() { std::fesetenv(&saved_); }
  FpEnvironmentGuard(const FpEnvironmentGuard&) = delete;
  FpEnvironmentGuard& operator=(const FpEnvironmentGuard&) = delete;

 private:
  std::fenv_t saved_;
};

}  // namespace pelmoro
