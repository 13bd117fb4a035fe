#include "foundation/numbers.h"

#include <array>
#include <atomic>
#include <cstring>
#include <string>

#include "foundation/digit_chunks.h"
#include "foundation/errors.h"
#include "foundation/numbers_detail.h"
#include "foundation/text.h"
#include "os/env.h"

namespace pelmoro {
namespace {

std::atomic<char> g_decimal_separator{'.'};

[[noreturn]] void ThrowNotAReal(std::string_view text) {
  // Folding a huge digit string may have overflowed before the syntax error
  // showed up; nothing of that may stay behind.
  ClearFpErrors();
  throw EConvertError(QuotedText(text, " は浮動小数点数ではありません"), text);
}

bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// m scaled by 10^n: up to three correctly rounded factors, applied one after
// the other with each product or quotient rounded. Both readers share it, so
// they cannot differ here. Expects -5120 < n <= 4999.
Real ScaleByPowerOfTen(Real m, std::int64_t n) {
  if (n == 0) return m;
  const std::int64_t k = n < 0 ? -n : n;
  const auto apply = [&m, n](Real factor) { m = n > 0 ? m * factor : m / factor; };
  apply(detail::kPow10Units[k % 32]);
  if ((k / 32) % 16 != 0) apply(detail::kPow10Thirtytwos[(k / 32) % 16]);
  if (k >= 512) apply(detail::kPow10FiveTwelves[k / 512]);
  return m;
}

// What the fast scan learned about a text.
struct DecimalScan {
  bool negative = false;
  int digits = 0;       // digits folded into m, leading zeros included
  std::uint64_t m = 0;  // the digits as one integer
  std::int64_t n = 0;   // decimal exponent: exponent digits minus fraction digits
};

enum class ScanOutcome { kNumber, kNotANumber, kAskReference };

constexpr int kMostExactDigits = 19;  // 10^19 - 1 < 2^64

// The (up to) eight bytes from p on, with zero bytes in place of those past
// the end. Loads only inside the text, in at most three reads and without a
// byte loop, since texts this short make loop exits costly to predict.
std::uint64_t LoadChunk(const char* p, const char* end) {
  const auto left = static_cast<std::size_t>(end - p);
  std::uint64_t chunk = 0;
  if (left >= 8) {
    std::memcpy(&chunk, p, 8);
  } else if (left >= 4) {  // two overlapping four-byte reads
    std::uint32_t low, high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, end - 4, 4);
    chunk = low | (std::uint64_t{high} << (8 * (left - 4)));
  } else if (left > 0) {  // first, middle and last byte cover all of 1 to 3
    const auto byte = [p](std::size_t i) {
      return std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    };
    chunk = byte(0) | byte(left / 2) | byte(left - 1);
  }
  return chunk;
}

// Folds the run of digits at p into scan.m, up to eight at a time, and
// returns the byte after the run; nullptr once the number has more than 19
// digits. While it has at most 19, m < 10^19 < 2^64, and this integer is what
// the extended fold m := m * 10 + digit gives too: every integer below 2^64
// fits the 64-bit significand, so none of its steps rounds.
const char* FoldDigitRun(const char* p, const char* end, DecimalScan& scan) {
  for (;;) {
    const std::uint64_t chunk = LoadChunk(p, end);
    const int count = LeadingDigitCount(chunk);
    if (count == 0) return p;
    scan.digits += count;
    if (scan.digits > kMostExactDigits) return nullptr;
    scan.m = scan.m * kIntegerPowersOfTen[count] + DigitsValue(chunk, count);
    p += count;
    if (count < 8) return p;
  }
}

// The syntax of ParseReal in one pass, gathering the digits in an integer.
// A 0 byte stops every step just as the end does, which is how the text comes
// to be read up to its first 0 byte. kNotANumber only for a text that no
// arithmetic could make valid; kAskReference when the integer is not exact.
ScanOutcome ScanDecimal(std::string_view text, char separator, DecimalScan& scan) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const auto peek = [&p, end] { return p < end ? *p : '\0'; };
  while (peek() == ' ') ++p;
  scan.negative = peek() == '-';
  if (scan.negative || peek() == '+') ++p;
  const char* const number_start = p;
  if ((p = FoldDigitRun(p, end, scan)) == nullptr) return ScanOutcome::kAskReference;
  std::int64_t fraction_digits = 0;
  if (separator != '\0' && peek() == separator) {
    const char* const fraction_start = ++p;
    if ((p = FoldDigitRun(p, end, scan)) == nullptr) return ScanOutcome::kAskReference;
    fraction_digits = p - fraction_start;
  }
  if (p == number_start) return ScanOutcome::kNotANumber;
  int x = 0;
  bool exponent_negative = false;
  if (peek() == 'E' || peek() == 'e') {
    ++p;
    exponent_negative = peek() == '-';
    if (exponent_negative || peek() == '+') ++p;
    for (; IsDigit(peek()) && x < 500; ++p) x = x * 10 + (*p - '0');
  }
  while (peek() == ' ') ++p;
  scan.n = (exponent_negative ? -x : x) - fraction_digits;
  return peek() == '\0' ? ScanOutcome::kNumber : ScanOutcome::kNotANumber;
}

}  // namespace

char DecimalSeparator() { return g_decimal_separator.load(std::memory_order_relaxed); }

void SetDecimalSeparator(char separator) {
  g_decimal_separator.store(separator, std::memory_order_relaxed);
}

char LocaleDecimalSeparator() { return CurrentEnv().LocaleDecimalSeparator(); }

Real ParseReal(std::string_view text) { return ParseReal(text, DecimalSeparator()); }

Real ParseReal(std::string_view text, char separator) {
  DecimalScan scan;
  switch (ScanDecimal(text, separator, scan)) {
    case ScanOutcome::kNotANumber:
      ThrowNotAReal(text);
    case ScanOutcome::kAskReference:
      return detail::ParseRealReference(text, separator);
    case ScanOutcome::kNumber:
      break;
  }
  if (scan.n <= -512 || scan.n >= 512) return detail::ParseRealReference(text, separator);
  // No flag test is needed here: m < 10^19 is exact, and with |n| < 512 the
  // factors are at most 10^31 and 10^480, so a product stays below 10^530 and
  // a non-zero quotient above 10^-512, far inside the extended range (about
  // 10^+-4932). Factors are never 0 and m is finite, so neither overflow,
  // division by zero nor invalid operation can happen, and the general
  // reader's flag test would always pass.
  const Real value = ScaleByPowerOfTen(static_cast<Real>(scan.m), scan.n);
  return scan.negative ? -value : value;
}

namespace detail {

Real ParseRealReference(std::string_view whole_text, char separator) {
  const std::string_view s = whole_text.substr(0, whole_text.find('\0'));
  std::size_t i = 0;
  const auto at = [&s, &i](char c) { return i < s.size() && s[i] == c; };
  const auto at_digit = [&s, &i] { return i < s.size() && IsDigit(s[i]); };
  while (at(' ')) ++i;
  const bool negative = at('-');
  if (negative || at('+')) ++i;
  ClearFpErrors();
  Real m = 0;
  bool consumed = false;
  for (; at_digit(); ++i, consumed = true) m = m * 10 + (s[i] - '0');
  std::int64_t f = 0;
  if (at(separator)) {
    for (++i, consumed = true; at_digit(); ++i, ++f) m = m * 10 + (s[i] - '0');
  }
  if (!consumed) ThrowNotAReal(whole_text);
  int x = 0;
  bool exponent_negative = false;
  if (at('E') || at('e')) {
    ++i;
    exponent_negative = at('-');
    if (exponent_negative || at('+')) ++i;
    for (; at_digit() && x < 500; ++i) x = x * 10 + (s[i] - '0');
  }
  while (at(' ')) ++i;
  if (i != s.size()) ThrowNotAReal(whole_text);
  const std::int64_t n = (exponent_negative ? -x : x) - f;
  Real value = n <= -5120 ? Real{0} : ScaleByPowerOfTen(m, n);
  if (negative) value = -value;
  FpBarrier(value);
  try {
    CheckFpErrors();
  } catch (const EMathError&) {
    ThrowNotAReal(whole_text);
  }
  return value;
}

}  // namespace detail

std::string FormatInteger(std::int32_t n) {
  char text[11];
  return std::string(text, static_cast<std::size_t>(FormatIntegerTo(text, n)));
}

}  // namespace pelmoro
