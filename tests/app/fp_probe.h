// Reads and changes the x87 control word, as code inside a dialog might.
#pragma once

#include <cstdint>

namespace pelmoro::testing {

inline std::uint16_t X87ControlWord() {
  std::uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

// Drops the x87 precision control (bits 8 and 9) to the 53 bits of a double.
inline void DropX87PrecisionToDouble() {
  const std::uint16_t word = static_cast<std::uint16_t>((X87ControlWord() & ~0x0300) | 0x0200);
  __asm__ volatile("fldcw %0" : : "m"(word));
}

}  // namespace pelmoro::testing
