// The chunked ASCII reader, in turn and with workers, against the plain
// line-by-line reader; the fast field path against ParseReal and the grid
// conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "engine/read/grid_field.h"
#include "engine/read/stl_reader.h"
#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "tests/support/fake_driver.h"
#include "tests/support/line_stl_reader.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::TempDir;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kTexts = 200'000;
#else
constexpr int kTexts = 2'000'000;
#endif

constexpr int kUnits[] = {40, 400, 40000, 1016, 12192};

// Texts of every shape the fast path takes and of many it leaves: digit
// counts around the 19-digit limit, exponents of up to four digits, halves
// of a grid unit (0.0125 mm and the like, where the value is a whole
// number plus a half) and their near neighbours, values near the range.
std::string RandomNumberText(std::mt19937_64& random) {
  std::uniform_int_distribution<int> pick(0, 99);
  const auto digits = [&random](int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += static_cast<char>('0' + random() % 10);
    return s;
  };
  std::string text;
  const int sign = pick(random);
  if (sign < 30)
    text += '-';
  else if (sign < 35)
    text += '+';
  const int shape = pick(random);
  if (shape < 25) {  // a half of a grid unit: k * 0.0125, or k * 0.00125, ...
    const long long k = static_cast<long long>(random() % 20'000'000) * 2 + 1;
    const int scale = 4 + static_cast<int>(random() % 3);  // 0.0125 mm, cm, m
    std::string s = std::to_string(k * 125);
    while (static_cast<int>(s.size()) <= scale) s = "0" + s;
    text += s.substr(0, s.size() - scale) + "." + s.substr(s.size() - scale);
    if (pick(random) < 30) text += digits(static_cast<int>(random() % 14)) + "1";  // near it
  } else if (shape < 35) {  // near the grid range
    text += "5368709" + digits(1) + "." + digits(static_cast<int>(random() % 8));
  } else {
    text += digits(static_cast<int>(random() % 12));
    if (pick(random) < 85) text += "." + digits(static_cast<int>(random() % 16));
  }
  if (pick(random) < 40) {
    text += pick(random) < 50 ? 'e' : 'E';
    const int exponent_sign = pick(random);
    if (exponent_sign < 40)
      text += '-';
    else if (exponent_sign < 70)
      text += '+';
    text += digits(static_cast<int>(random() % 5));
  }
  return text;
}

// What the general reading makes of a field: its grid value, or that it is
// refused.
bool GeneralValue(const std::string& text, int units, std::int32_t& value) {
  try {
    value = ToGridUnits(ParseReal(text, '.'), text, units);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// The fast path takes a text only when its value is the general reading's,
// stops right after it, and takes every ordinary decimal in range.
TEST(GridFieldTest, AgreesWithParseRealOnMillionsOfTexts) {
  std::mt19937_64 random(20261209);
  std::vector<char> buffer;
  int taken = 0;
  for (int i = 0; i < kTexts; ++i) {
    const std::string text = RandomNumberText(random);
    const int units = kUnits[i % 5];
    buffer.assign(text.begin(), text.end());
    buffer.push_back(" \t\r\n\0"[i % 5]);
    buffer.resize(buffer.size() + kFieldReadAhead, '7');
    std::int32_t fast = 0, general = 0;
    const char* end = ReadGridField(buffer.data(), units, fast);
    const bool accepted = GeneralValue(text, units, general);
    if (end != nullptr) {
      ++taken;
      ASSERT_EQ(end, buffer.data() + text.size()) << text;
      ASSERT_TRUE(accepted) << text;
      ASSERT_EQ(fast, general) << text << " in units of 1/" << units;
    } else if (accepted && text.size() <= 24 && text.find_first_of("eE") == std::string::npos) {
      std::size_t significant = 0;
      for (char c : text) significant += (c >= '0' && c <= '9') ? 1 : 0;
      if (significant >= 1 && significant <= 19)
        ADD_FAILURE() << "left to the general reading: " << text;
    }
  }
  EXPECT_GT(taken, kTexts / 3);
}

// ---- whole readings ------------------------------------------------------

struct Outcome {
  std::int32_t count = -1;
  std::string error;  // kind, line and message; empty when none
  ModelBounds bounds;
  std::vector<Triangle> rows;
  std::vector<TriangleMetrics> metrics;
  ReadingNotes notes;
  std::vector<int> progress;
  std::vector<std::int64_t> steps;
};

// The same bytes (memcmp takes no null pointer, which an empty vector may
// hold).
template <typename T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void ExpectSameOutcome(const Outcome& a, const Outcome& b, const std::string& what) {
  EXPECT_EQ(a.count, b.count) << what;
  EXPECT_EQ(a.error, b.error) << what;
  EXPECT_EQ(0, std::memcmp(&a.bounds, &b.bounds, sizeof a.bounds)) << what;
  EXPECT_EQ(a.rows.size(), b.rows.size()) << what;
  EXPECT_TRUE(SameBytes(a.rows, b.rows)) << what;
  EXPECT_TRUE(SameBytes(a.metrics, b.metrics)) << what;
  EXPECT_EQ(a.notes.bytes_after_ctrl_z, b.notes.bytes_after_ctrl_z) << what;
  EXPECT_EQ(a.notes.ctrl_z_line, b.notes.ctrl_z_line) << what;
  EXPECT_EQ(a.notes.leftover_vertices, b.notes.leftover_vertices) << what;
  EXPECT_EQ(a.notes.last_vertex_line, b.notes.last_vertex_line) << what;
  EXPECT_EQ(a.notes.missing_endsolid, b.notes.missing_endsolid) << what;
  EXPECT_EQ(a.progress, b.progress) << what;
  EXPECT_EQ(a.steps, b.steps) << what;
}

// Reads path with `read`, stopping after triangle stop_after (0: never).
// The complete triangles are compared with their metrics, and the row in
// progress too: it holds the vertices of an incomplete last triangle, and a
// refused line keeps there the fields converted before it. (A row the
// store does not have yet would be zeros.)
template <typename Read>
Outcome ReadWith(int stop_after, Read read) {
  GeometryStore store;
  store.ResetBounds();
  FakeDriver driver;
  driver.on_pass = [&](int pass) { driver.stop = pass == stop_after; };
  Outcome o;
  try {
    o.count = read(store, driver, o.notes);
  } catch (const Exception& e) {
    o.error = std::string(typeid(e).name()) + ":" + std::to_string(e.line()) + ":" + e.message();
  }
  o.bounds = store.bounds();
  const std::size_t complete = driver.steps.size();
  for (std::size_t i = 0; i < complete; ++i) {
    o.rows.push_back(store.triangle(i));
    o.metrics.push_back(store.metrics(i));
  }
  o.rows.push_back(complete < store.capacity() ? store.triangle(complete) : Triangle{});
  o.progress = driver.progress;
  o.steps = driver.steps;
  return o;
}

// The reference reading and the chunked one with these threads and chunk
// size agree in everything a caller can see.
void ExpectSameReading(const std::string& path, int threads, std::size_t chunk,
                       int stop_after = 0) {
  const Outcome expected =
      ReadWith(stop_after, [&](GeometryStore& s, FakeDriver& d, ReadingNotes& n) {
        return testing::ReadStlVerticesByLines(s, path, d, 40, n);
      });
  const Outcome actual =
      ReadWith(stop_after, [&](GeometryStore& s, FakeDriver& d, ReadingNotes& n) {
        return ReadStlVertices(s, path, d, StlReadOptions{40, threads, chunk}, n);
      });
  ExpectSameOutcome(expected, actual,
                    path + " threads " + std::to_string(threads) + " chunk " +
                        std::to_string(chunk) + " stop " + std::to_string(stop_after));
}

// Generated models: facets in the styles of several exporters, with the
// quirks a reader must keep: line ends of three kinds, indentation, capitals,
// four-vertex facets, blank lines, numbers a fast path leaves to the
// general reading, and optionally a Ctrl-Z, a refused number or no
// "endsolid".
struct ModelStyle {
  const char* name;
  const char* line_end;
  int facets;
  int four_vertex_every;  // 0: never
  int bad_at;             // facet whose second vertex has a refused y (z when odd); -1: none
  bool ctrl_z;            // a Ctrl-Z line with bytes after it near the end
  bool endsolid;
};

std::string GeneratedModel(const ModelStyle& style) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(-20000, 20000);
  const std::string end = style.line_end;
  const auto number = [&](int i) {
    const double v = value(random) / 1000.0;
    char text[64];
    switch (i % 5) {
      case 0:
        std::snprintf(text, sizeof text, "%e", v);
        break;
      case 1:
        std::snprintf(text, sizeof text, "%f", v);
        break;
      case 2:
        std::snprintf(text, sizeof text, "%.17g", v / 3);
        break;
      case 3:
        std::snprintf(text, sizeof text, "%.4f", v * 0.0125);
        break;
      default:
        std::snprintf(text, sizeof text, "%d", value(random) / 100);
        break;
    }
    return std::string(text);
  };
  std::string s = "solid " + std::string(style.name) + end;
  for (int f = 0; f < style.facets; ++f) {
    s += "  facet normal 0 0 1" + end + "    outer loop" + end;
    const int vertices = (style.four_vertex_every > 0 && f % style.four_vertex_every == 3) ? 4 : 3;
    for (int v = 0; v < vertices; ++v) {
      const std::string keyword = (f + v) % 7 == 0 ? "\tVERTEX" : "      vertex";
      const bool bad = f == style.bad_at && v == 1;
      const std::string y = bad && f % 2 == 0 ? "1.5x" : number(f + v + 1);
      const std::string z = bad && f % 2 == 1 ? "1e9999" : number(f * 3 + v);
      s += keyword + " " + number(f + v) + " " + y + "  " + z + ((f + v) % 5 == 0 ? " \t" : "") +
           end;
    }
    s += "    endloop" + end + "  endfacet" + end;
    if (f % 11 == 5) s += end;
    if (style.ctrl_z && f == style.facets - 3)
      s += "\x1a"
           "after the end" +
           end + "vertex x" + end;
  }
  if (style.endsolid) s += "endsolid " + std::string(style.name) + end;
  return s;
}

const ModelStyle kStyles[] = {
    {"lf", "\n", 60, 0, -1, false, true},           {"crlf", "\r\n", 60, 0, -1, false, true},
    {"lone_cr", "\r", 60, 0, -1, false, false},     {"four_vertices", "\n", 60, 9, -1, false, true},
    {"bad_first", "\r\n", 60, 0, 0, false, true},   {"bad_middle", "\n", 60, 0, 31, false, true},
    {"bad_last", "\n", 60, 0, 59, false, true},     {"ctrl_z", "\r\n", 60, 0, -1, true, true},
    {"no_endsolid", "\n", 60, 9, -1, false, false},
};

// Chunk borders fall inside every kind of line, and at every place in the
// line ends, for sizes from one byte up; threads read ahead once a file
// spans more than two chunks.
TEST(StlReaderDifferentialTest, ChunkBordersEverywhere) {
  TempDir dir;
  for (const ModelStyle& style : kStyles) {
    const std::string path = dir.Write(std::string(style.name) + ".stl", GeneratedModel(style));
    for (std::size_t chunk : {1, 2, 3, 5, 8, 13, 64, 100, 255, 4096, 1 << 20}) {
      for (int threads : {1, 3}) ExpectSameReading(path, threads, chunk);
    }
  }
}

TEST(StlReaderDifferentialTest, StopAfterAnyTriangle) {
  TempDir dir;
  const std::string path = dir.Write("m.stl", GeneratedModel(kStyles[3]));
  for (int stop : {1, 2, 17, 40, 61}) {
    for (int threads : {1, 2}) ExpectSameReading(path, threads, 97, stop);
  }
}

TEST(StlReaderDifferentialTest, EveryCorpusFileWithAndWithoutWorkers) {
  const auto files = testing::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus folder absent";
  for (const auto& file : files) {
    for (int threads : {1, 2}) ExpectSameReading(file.string(), threads, 64 * 1024);
  }
}

}  // namespace
}  // namespace pelmoro
