#include "outputs/formats/grid_millimetres.h"

#include <array>
#include <cstring>

#include "foundation/numbers.h"

namespace pelmoro {

namespace {

// The fraction of r / 40 mm for r = 0 .. 39: r * 25 thousandths, trailing
// zeros dropped ("", ".025", ".05", ".075", ".1", ...), padded to 4 bytes
// so that every one is copied as a whole.
struct Fraction {
  char text[4];
  int length;
};

constexpr std::array<Fraction, 40> kFractions = [] {
  std::array<Fraction, 40> table{};
  for (int r = 0; r < 40; ++r) {
    int thousandths = r * 25;
    Fraction& f = table[static_cast<std::size_t>(r)];
    if (thousandths == 0) continue;
    int length = 3;
    while (thousandths % 10 == 0) {
      thousandths /= 10;
      --length;
    }
    f.text[0] = '.';
    for (int i = length; i >= 1; --i) {
      f.text[i] = static_cast<char>('0' + thousandths % 10);
      thousandths /= 10;
    }
    f.length = length + 1;
  }
  return table;
}();

}  // namespace

int FormatMillimetresTo(char* out, std::int64_t k) {
  char* p = out;
  std::uint64_t magnitude = static_cast<std::uint64_t>(k);
  if (k < 0) {
    *p++ = '-';
    magnitude = 0 - magnitude;
  }
  // k / 40 mm is the whole millimetres and r / 40 of one.
  std::uint64_t whole = magnitude / 40;
  const Fraction& fraction = kFractions[static_cast<std::size_t>(magnitude % 40)];
  if (whole <= 0x7fffffff) {
    p += FormatIntegerTo(p, static_cast<std::int32_t>(whole));
  } else {
    char digits[20];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + whole % 10);
      whole /= 10;
    } while (whole != 0);
    while (n > 0) *p++ = digits[--n];
  }
  // The 4 bytes never reach past the longest text: a fraction of fewer
  // than 4 characters leaves room for them in the bound.
  if (fraction.length != 0) std::memcpy(p, fraction.text, sizeof fraction.text);
  return static_cast<int>(p - out) + fraction.length;
}

std::string FormatMillimetres(std::int64_t k) {
  char text[24];
  return std::string(text, static_cast<std::size_t>(FormatMillimetresTo(text, k)));
}

}  // namespace pelmoro
