#include "heightmap/grid_millimetres.h"

namespace pelmoro {

int FormatMillimetresTo(char* out, std::int64_t k) {
  char* p = out;
  std::int64_t thousandths = k * 25;
  if (thousandths < 0) {
    *p++ = '-';
    thousandths = -thousandths;
  }
  std::int64_t whole = thousandths / 1000;
  int fraction = static_cast<int>(thousandths % 1000);
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (n > 0) *p++ = digits[--n];
  if (fraction != 0) {
    *p++ = '.';
    for (int divisor = 100; fraction != 0; divisor /= 10) {
      *p++ = static_cast<char>('0' + fraction / divisor);
      fraction %= divisor;
    }
  }
  return static_cast<int>(p - out);
}

std::string FormatMillimetres(std::int64_t k) {
  char text[24];
  return std::string(text, static_cast<std::size_t>(FormatMillimetresTo(text, k)));
}

}  // namespace pelmoro
