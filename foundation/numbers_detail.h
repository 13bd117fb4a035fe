// Internals of ParseReal, open to the tests that hold the fast reader to the
// plain digit-by-digit algorithm and the power table to exact values.
#pragma once

#include <string_view>

#include "foundation/real.h"

namespace pelmoro::detail {

#include "foundation/pow10_table.inc"

// ParseReal done step by step with no shortcut: every digit folded in
// extended precision and the floating-point flags tested after the scaling.
// Same results and errors as ParseReal, only slower.
Real ParseRealReference(std::string_view text, char separator);

}  // namespace pelmoro::detail
