// ParseReal against the plain digit-by-digit algorithm: for any text and
// either separator, the same value bits, or the same refusal.
#include <cfenv>
#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "foundation/numbers_detail.h"
#include "tests/support/fuzz_support.h"

namespace pelmoro {
namespace {

using testing::FuzzCheck;

constexpr int kErrorFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

struct Parsed {
  bool number = false;
  unsigned char bits[10] = {};  // the 80 bits of the value; the padding is not compared
  std::string message;
};

template <typename Parse>
Parsed ParseWith(Parse parse, std::string_view text, char separator) {
  Parsed parsed;
  try {
    const Real value = parse(text, separator);
    std::memcpy(parsed.bits, &value, sizeof parsed.bits);
    parsed.number = true;
  } catch (const EConvertError& e) {
    parsed.message = e.message();
  }
  return parsed;
}

void Compare(std::string_view text, char separator) {
  std::feclearexcept(FE_ALL_EXCEPT);
  const Parsed fast =
      ParseWith([](std::string_view t, char s) { return ParseReal(t, s); }, text, separator);
  FuzzCheck(std::fetestexcept(kErrorFlags) == 0, "ParseReal left a floating-point error flag");
  const Parsed reference = ParseWith(detail::ParseRealReference, text, separator);
  FuzzCheck(fast.number == reference.number, "one reader refused, the other did not");
  FuzzCheck(std::memcmp(fast.bits, reference.bits, sizeof fast.bits) == 0,
            "the readers' value bits differ");
  FuzzCheck(fast.message == reference.message, "the readers' messages differ");
  std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
}  // namespace pelmoro

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = pelmoro::testing::AsText(data, size);
  pelmoro::Compare(text, '.');
  pelmoro::Compare(text, ',');
  return 0;
}
