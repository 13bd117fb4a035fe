// ParseReal takes an integer shortcut for ordinary texts; these tests hold it
// to the plain digit-by-digit reader, and the power table to exact values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "foundation/numbers_detail.h"

namespace pelmoro {
namespace {

constexpr int kErrorFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// The outcome of one reader on one text: the value's bits or the message.
// The text lies in a heap block of its exact size, so that the sanitizer
// build catches any read past its end.
std::string Outcome(Real (*parse)(std::string_view, char), const std::string& text) {
  const std::vector<char> exact(text.begin(), text.end());
  try {
    const Real value = parse(std::string_view(exact.data(), exact.size()), '.');
    char bits[48];
    unsigned char raw[10];
    std::memcpy(raw, &value, sizeof raw);
    std::snprintf(bits, sizeof bits, "%02x%02x %02x%02x%02x%02x%02x%02x%02x%02x", raw[9], raw[8],
                  raw[7], raw[6], raw[5], raw[4], raw[3], raw[2], raw[1], raw[0]);
    return bits;
  } catch (const EConvertError& e) {
    return e.message();
  }
}

void ExpectSameOutcome(const std::string& text) {
  EXPECT_EQ(Outcome(&ParseReal, text), Outcome(&detail::ParseRealReference, text))
      << "text: " << text;
  EXPECT_EQ(std::fetestexcept(kErrorFlags), 0) << "text: " << text;
}

TEST(PowerTable, EveryEntryIsTheCorrectlyRoundedPower) {
  // glibc's strtold rounds correctly to the extended format.
  const auto check = [](const Real* table, int count, int step) {
    for (int k = 0; k < count; ++k) {
      const std::string text = "1e" + std::to_string(k * step);
      EXPECT_EQ(table[k], std::strtold(text.c_str(), nullptr)) << text;
    }
  };
  check(detail::kPow10Units, 32, 1);
  check(detail::kPow10Thirtytwos, 16, 32);
  check(detail::kPow10FiveTwelves, 10, 512);
}

// Texts at the edges of the fast path: 64-bit mantissas, powers of ten at
// the table's limits, the extended range's ends, broken syntax, bytes
// around the digits and the separator.
const std::vector<std::string> kTrickyTexts = {"18446744073709551615",
                                               "18446744073709551616",
                                               "18446744073709551617",
                                               "18446744073709551625",
                                               "18446744073709551635",
                                               "184467440737095516150",
                                               "1844674407370955161.5",
                                               "1844674407370955161.6",
                                               "-0.18446744073709551616e20",
                                               "99999999999999999999",
                                               "9999999999999999999",
                                               "00000000000000000000000000001",
                                               "0.0000000000000000000000000000000000001",
                                               "12345678901234567890123456789e-9",
                                               "1e27",
                                               "1e28",
                                               "1e31",
                                               "1e32",
                                               "1e33",
                                               "123456789e-27",
                                               "123456789e-28",
                                               "1.1e-32",
                                               "7e511",
                                               "7e512",
                                               "7e-511",
                                               "7e-512",
                                               "1e-513",
                                               "5e4931",
                                               "1.18e4932",
                                               "1.19e4932",
                                               "1e4932",
                                               "1e-4932",
                                               "3.6451995318824746e-4951",
                                               "1e-4951",
                                               "1e-4952",
                                               "1e-5119",
                                               "1e-5120",
                                               "0.1e-5119",
                                               "-1e-5200",
                                               "1e-4999",
                                               "1E4999",
                                               "1e500",
                                               "1e5000",
                                               "1e0000000000000000000000000000000000001",
                                               "5e",
                                               "5e+",
                                               "-.",
                                               ".",
                                               "-.e5",
                                               ".e",
                                               "0.025",
                                               "6.375",
                                               "3.422440e+000",
                                               "-1.250000e+02",
                                               "896.3214721679688",
                                               "-0.000431307591498",
                                               "1349.999999525236",
                                               "1.0000000000000000000001",
                                               "0.99999999999999999999999",
                                               "1\x2f",
                                               "1\x3a",
                                               "1\x7f",
                                               "1\x80",
                                               "1\xb9",
                                               "1\xba",
                                               "1\xff",
                                               "\xb5",
                                               "12345678\xb9",
                                               "1234567\xc0"
                                               "5"};

TEST(ParseRealFastPath, AgreesOnTrickyTexts) {
  for (const std::string& text : kTrickyTexts) ExpectSameOutcome(text);
}

// Random texts built from the pieces of the number syntax, weighted towards
// the places where the fast path hands over: around 19 to 20 significant
// digits, and decimal exponents near 27, 32, 512 and the ends of the range.
class RandomNumberText {
 public:
  explicit RandomNumberText(unsigned seed) : random_(seed) {}

  std::string Next() {
    std::string text(Pick(4) == 0 ? Pick(3) : 0, ' ');
    text += "  +-"[Pick(4)];
    if (text.back() == ' ') text.pop_back();
    if (Pick(5) == 0) text += std::string(Pick(25), '0');
    text += Digits(DigitCount());
    if (Pick(10) < 6) text += '.' + Digits(DigitCount());
    if (Pick(2) == 0) text += Exponent();
    text += std::string(Pick(3) == 0 ? Pick(3) : 0, ' ');
    if (Pick(20) == 0) text.insert(Pick(static_cast<int>(text.size()) + 1), 1, Noise());
    return text;
  }

 private:
  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

  int DigitCount() {
    static constexpr int kCounts[] = {0, 1, 3, 6, 9, 17, 18, 19, 19, 20, 20, 21, 25, 40};
    return kCounts[Pick(static_cast<int>(std::size(kCounts)))];
  }

  std::string Digits(int count) {
    if (count >= 19 && Pick(3) == 0) {  // near 2^64 = 18446744073709551616
      std::string digits = "18446744073709551616";
      digits.resize(static_cast<std::size_t>(count), '0');
      digits[static_cast<std::size_t>(Pick(std::min(count, 20)))] =
          static_cast<char>('0' + Pick(10));
      return digits;
    }
    std::string digits;
    for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + Pick(10));
    return digits;
  }

  std::string Exponent() {
    static constexpr int kNear[] = {0, 1, 20, 27, 32, 64, 480, 512, 1024, 4920, 4932, 4951, 4999};
    int value = kNear[Pick(static_cast<int>(std::size(kNear)))] + Pick(9) - 4;
    if (value < 0) value = 0;
    std::string exponent = Pick(2) == 0 ? "e" : "E";
    exponent += "  +-"[Pick(4)];
    if (exponent.back() == ' ') exponent.pop_back();
    if (Pick(8) == 0) exponent += std::string(Pick(4), '0');
    return exponent + std::to_string(value);
  }

  char Noise() {
    static const std::string kNoise("+-.,eE0 \t\0x", 11);
    return kNoise[static_cast<std::size_t>(Pick(static_cast<int>(kNoise.size())))];
  }

  std::mt19937 random_;
};

TEST(ParseRealFastPath, AgreesOnRandomTexts) {
  RandomNumberText texts(20260101);
  for (int i = 0; i < 300000; ++i) {
    const std::string text = texts.Next();
    ExpectSameOutcome(text);
    if (HasFailure()) break;
  }
}

TEST(ParseRealFastPath, AgreesOnEveryTextOfFewCharacters) {
  // All texts of up to four characters over the alphabet that matters.
  const std::string alphabet(" +-.e5\0", 7);
  std::vector<std::string> texts = {""};
  for (int length = 1; length <= 4; ++length) {
    std::vector<std::string> longer;
    for (const std::string& text : texts) {
      for (const char c : alphabet) longer.push_back(text + c);
    }
    for (const std::string& text : longer) ExpectSameOutcome(text);
    texts = std::move(longer);
  }
}

}  // namespace
}  // namespace pelmoro
