#include "foundation/assert.h"

#include <cstdio>
#include <cstdlib>

namespace pelmoro {

void FailAssertion(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "pelmoro: internal error: %s:%d: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace pelmoro
