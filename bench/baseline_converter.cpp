// A plain STL-to-height-map converter kept beside the benchmarks as a
// yardstick for stl2hzm: one thread, the input mapped into memory, every
// vertex line parsed with an exact decimal conversion, every triangle
// rasterized into a z-buffer over the lattice, the map written through the
// project's own text writer. Simple on purpose; its coverage and height
// rules are its own, so ties at triangle edges may come out differently.
//
//   baseline_converter INPUT.stl PITCH_UNITS OUTPUT.hzm
#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan/lattice.h"
#include "foundation/text_file.h"
#include "outputs/formats/hzm_writer.h"
#include "tests/support/mapped_file.h"

namespace {

struct Point3 {
  std::int32_t x, y, z;
};
struct Tri {
  Point3 v[3];
};
using Bounds = pelmoro::ModelBounds;  // all five start at 0

// Exact intermediate values of the decimal conversion.
__extension__ typedef __int128 Wide;

constexpr int kMaxDigits = 19;  // significant digits a 64-bit integer holds

// A decimal number as sign, significant digits and a power of ten.
struct Decimal {
  bool negative = false;
  std::uint64_t digits = 0;
  std::int64_t exponent = 0;
  bool exact = true;  // false: more significant digits than kMaxDigits
};

// Reads the number starting at p and moves p past it; false when the bytes
// are not a number ending at a blank or at the end of the line.
bool ReadDecimal(const char*& p, const char* end, Decimal& d) {
  if (p < end && (*p == '+' || *p == '-')) d.negative = (*p++ == '-');
  int significant = 0;
  bool any_digit = false;
  bool fraction = false;
  for (; p < end; ++p) {
    if (*p == '.' && !fraction) {
      fraction = true;
      continue;
    }
    if (*p < '0' || *p > '9') break;
    any_digit = true;
    if (significant == 0 && *p == '0') {  // a leading zero
      d.exponent -= fraction ? 1 : 0;
    } else if (significant < kMaxDigits) {
      d.digits = d.digits * 10 + static_cast<unsigned>(*p - '0');
      ++significant;
      d.exponent -= fraction ? 1 : 0;
    } else {  // past what the digits hold: only zeros keep the number exact
      d.exact = d.exact && *p == '0';
      d.exponent += fraction ? 0 : 1;
    }
  }
  if (!any_digit) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool minus = false;
    if (p < end && (*p == '+' || *p == '-')) minus = (*p++ == '-');
    if (p == end || *p < '0' || *p > '9') return false;
    std::int64_t e = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
      e = std::min<std::int64_t>(e * 10 + (*p - '0'), 1000000);
    d.exponent += minus ? -e : e;
  }
  return p == end || static_cast<unsigned char>(*p) <= 32;
}

// Grid units are value * 40 + 1/2 truncated toward zero, as the project's
// readers round: halves go up, and every value above -1.5 / 40 gives 0.
// Numbers with more significant digits than the exact path holds go by way
// of long double.
bool GridFromText(const char* begin, const char* end, std::int32_t& out) {
  const std::string text(begin, end);
  const long double v = std::trunc(std::strtold(text.c_str(), nullptr) * 40 + 0.5L);
  if (!(v >= INT32_MIN && v <= INT32_MAX)) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

// The same, exactly; false when the result leaves the 32-bit range. The
// usual numbers (up to 17 digits, a fraction of up to 18) take 64-bit
// arithmetic, the rest 128-bit.
bool GridFromDecimal(const Decimal& d, std::int32_t& out) {
  if (d.exponent > 12 && d.digits != 0) return false;  // 4 * 10^13 grid units or more
  Wide grid = 0;
  if (d.digits < (std::uint64_t{1} << 56) && d.exponent <= 0 && d.exponent >= -18) {
    static constexpr std::uint64_t kScale[19] = {1ULL,
                                                 10ULL,
                                                 100ULL,
                                                 1000ULL,
                                                 10000ULL,
                                                 100000ULL,
                                                 1000000ULL,
                                                 10000000ULL,
                                                 100000000ULL,
                                                 1000000000ULL,
                                                 10000000000ULL,
                                                 100000000000ULL,
                                                 1000000000000ULL,
                                                 10000000000000ULL,
                                                 100000000000000ULL,
                                                 1000000000000000ULL,
                                                 10000000000000000ULL,
                                                 100000000000000000ULL,
                                                 1000000000000000000ULL};
    const std::uint64_t n = d.digits * 40, scale = kScale[-d.exponent];
    const std::uint64_t whole = n / scale, twice_rest = 2 * (n % scale);
    const std::uint64_t below = whole - (twice_rest < scale ? 1 : 0);
    grid = !d.negative ? Wide(whole + (twice_rest >= scale ? 1 : 0))
                       : (whole > 0 && below > 0 ? -Wide(below) : Wide(0));
  } else if (d.digits != 0 && d.exponent >= -21) {  // below, |value * 40| < 0.04
    Wide n = static_cast<Wide>(d.digits) * 40, scale = 1;
    for (std::int64_t k = 0; k < d.exponent; ++k) n *= 10;
    for (std::int64_t k = 0; k > d.exponent; --k) scale *= 10;
    const Wide whole = n / scale, twice_rest = 2 * (n % scale);
    const Wide below = whole - (twice_rest < scale ? 1 : 0);  // floor(|value| * 40 - 1/2)
    grid = !d.negative ? whole + (twice_rest >= scale ? 1 : 0) : below > 0 ? -below : 0;
  }
  if (grid < INT32_MIN || grid > INT32_MAX) return false;
  out = static_cast<std::int32_t>(grid);
  return true;
}

// The three coordinates after the word "vertex", in grid units.
bool ParseVertex(const char* p, const char* end, Point3& v) {
  std::int32_t* const coordinate[3] = {&v.x, &v.y, &v.z};
  for (std::int32_t* c : coordinate) {
    while (p < end && static_cast<unsigned char>(*p) <= 32) ++p;
    const char* start = p;
    Decimal d;
    if (!ReadDecimal(p, end, d)) return false;
    if (!(d.exact ? GridFromDecimal(d, *c) : GridFromText(start, p, *c))) return false;
  }
  return true;
}

void Widen(Bounds& b, const Point3& v) {
  b.x_min = std::min(b.x_min, v.x);
  b.x_max = std::max(b.x_max, v.x);
  b.y_min = std::min(b.y_min, v.y);
  b.y_max = std::max(b.y_max, v.y);
  b.z_min = std::min(b.z_min, v.z);
}

// Every vertex line, three to a triangle; a last incomplete triangle is
// dropped, though its vertices still widen the bounds.
std::vector<Tri> ReadTriangles(std::string_view text, Bounds& bounds) {
  std::vector<Tri> triangles;
  Tri pending{};
  int held = 0;
  std::int64_t line = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* eol = lf != nullptr ? static_cast<const char*>(lf) : end;
    ++line;
    while (p < eol && static_cast<unsigned char>(*p) <= 32) ++p;
    if (eol - p >= 6 && ::strncasecmp(p, "vertex", 6) == 0) {
      Point3& v = pending.v[held];
      if (!ParseVertex(p + 6, eol, v)) {
        throw std::runtime_error("line " + std::to_string(line) + ": bad vertex");
      }
      Widen(bounds, v);
      if (++held == 3) {
        triangles.push_back(pending);
        held = 0;
      }
    }
    p = eol + 1;
  }
  return triangles;
}

// One edge a -> b as E(x, y) = A (y - ay) - B (x - ax): not negative on the
// left of the edge and on it.
struct Edge {
  std::int64_t a, b, value;  // value: E at the current lattice point
  Edge(const Point3& from, const Point3& to, std::int64_t x, std::int64_t y)
      : a(std::int64_t{to.x} - from.x),
        b(std::int64_t{to.y} - from.y),
        value(a * (y - from.y) - b * (x - from.x)) {}
};

// Draws one triangle into the z-buffer: every lattice point inside it or on
// its edges takes the plane's height, truncated toward zero, when higher.
void Rasterize(Tri t, const pelmoro::Lattice& lat, std::vector<std::int32_t>& zbuf) {
  const Point3& p0 = t.v[0];
  std::int64_t d = (std::int64_t{t.v[1].x} - p0.x) * (std::int64_t{t.v[2].y} - p0.y) -
                   (std::int64_t{t.v[1].y} - p0.y) * (std::int64_t{t.v[2].x} - p0.x);
  if (d == 0) return;
  if (d < 0) {  // counter-clockwise in plan view from here on
    std::swap(t.v[1], t.v[2]);
    d = -d;
  }
  const Point3 &p1 = t.v[1], &p2 = t.v[2];
  const std::int64_t x_lo = std::min({p0.x, p1.x, p2.x}), x_hi = std::max({p0.x, p1.x, p2.x});
  const std::int64_t y_lo = std::min({p0.y, p1.y, p2.y}), y_hi = std::max({p0.y, p1.y, p2.y});
  const int pitch = lat.pitch;
  const std::int64_t c_lo = std::max<std::int64_t>(0, (x_lo - lat.x_min + pitch - 1) / pitch);
  const std::int64_t c_hi = std::min(lat.columns - 1, (x_hi - lat.x_min) / pitch);
  const std::int64_t r_lo = std::max<std::int64_t>(0, (y_lo - lat.y_min + pitch - 1) / pitch);
  const std::int64_t r_hi = std::min(lat.rows - 1, (y_hi - lat.y_min) / pitch);
  // Plane: z = (z0 D - Nx (x - x0) - Ny (y - y0)) / D, from the normal
  // (v1 - v0) x (v2 - v0) = (Nx, Ny, D).
  const double nx = static_cast<double>((std::int64_t{p1.y} - p0.y) * (std::int64_t{p2.z} - p0.z) -
                                        (std::int64_t{p1.z} - p0.z) * (std::int64_t{p2.y} - p0.y));
  const double ny = static_cast<double>((std::int64_t{p1.z} - p0.z) * (std::int64_t{p2.x} - p0.x) -
                                        (std::int64_t{p1.x} - p0.x) * (std::int64_t{p2.z} - p0.z));
  const double dd = static_cast<double>(d);
  const double z0d = static_cast<double>(p0.z) * dd;
  for (std::int64_t r = r_lo; r <= r_hi; ++r) {
    const std::int64_t y = lat.Y(r), x = lat.X(c_lo);
    // The span of the row inside all three edges, from where each edge
    // function changes sign along the row.
    std::int64_t first = c_lo, last = c_hi;
    for (const Edge& e : {Edge(p0, p1, x, y), Edge(p1, p2, x, y), Edge(p2, p0, x, y)}) {
      const std::int64_t step = -e.b * pitch;  // E at column c_lo + k is value + k * step
      if (step > 0) {
        if (e.value < 0) first = std::max(first, c_lo + (-e.value + step - 1) / step);
      } else if (step < 0) {
        last = e.value < 0 ? c_lo - 1 : std::min(last, c_lo + e.value / -step);
      } else if (e.value < 0) {
        last = c_lo - 1;
      }
    }
    std::int32_t* row = zbuf.data() + r * lat.columns;
    const double dy = static_cast<double>(y - p0.y);
    for (std::int64_t c = first; c <= last; ++c) {
      const double dx = static_cast<double>(lat.X(c) - p0.x);
      const auto z = static_cast<std::int32_t>((z0d - nx * dx - ny * dy) / dd);
      row[c] = std::max(row[c], z);
    }
  }
}

// The lattice over the bounds; spans are kept under 2^30 grid units (about
// 26 km) so that the edge functions stay within 64 bits.
pelmoro::Lattice LatticeFor(const Bounds& b, int pitch) {
  constexpr std::int64_t kSpan = std::int64_t{1} << 30;
  if (std::int64_t{b.x_max} - b.x_min >= kSpan || std::int64_t{b.y_max} - b.y_min >= kSpan) {
    throw std::runtime_error("model too wide for this converter");
  }
  const std::int64_t columns = (std::int64_t{b.x_max} - b.x_min) / pitch + 1;
  const std::int64_t rows = (std::int64_t{b.y_max} - b.y_min) / pitch + 1;
  return {b.x_min, b.y_min, b.y_max, pitch, columns, rows};
}

// Writes the map as the benchmark's write-only run does: header, one piece
// a row formatted by the height-map formatter, close.
void WriteMap(const std::string& out, const pelmoro::Lattice& lat,
              const std::vector<std::int32_t>& zbuf) {
  ::unlink(out.c_str());
  pelmoro::TextFile file;
  pelmoro::CreateTextForWriting(file, out);
  pelmoro::CheckIoResult();
  pelmoro::WriteHeightMapHeader(file);
  pelmoro::HzmWriter sink(file);
  pelmoro::RowText text[1];
  const auto columns = static_cast<std::size_t>(lat.columns);
  for (std::int64_t row = 0; row < lat.rows; ++row) {
    const std::span<const std::int32_t> heights(zbuf.data() + row * lat.columns, columns);
    const pelmoro::RowPiece piece{row, 0, heights, true};
    text[0].clear();
    sink.formatters().front()->FormatPiece(lat, piece, text[0]);
    sink.WritePiece(piece, text);
  }
  pelmoro::CloseText(file);
  pelmoro::CheckIoResult();
}

int PitchArgument(std::string_view s) {
  int pitch = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), pitch);
  if (ec != std::errc{} || end != s.data() + s.size() || pitch < 1 || pitch > 255) return 0;
  return pitch;
}

}  // namespace

int main(int argc, char** argv) {
  const int pitch = argc == 4 ? PitchArgument(argv[2]) : 0;
  if (pitch == 0) {
    std::fprintf(stderr, "usage: baseline_converter INPUT.stl PITCH_UNITS(1..255) OUTPUT.hzm\n");
    return 1;
  }
  try {
    Bounds bounds;
    std::vector<Tri> triangles;
    {
      const pelmoro::testing::MappedFile input(argv[1]);  // empty when it cannot be mapped
      if (input.bytes().empty() && ::access(argv[1], R_OK) != 0) {
        throw std::runtime_error(std::string("cannot open ") + argv[1]);
      }
      triangles = ReadTriangles(input.bytes(), bounds);
    }
    const pelmoro::Lattice lat = LatticeFor(bounds, pitch);
    std::vector<std::int32_t> zbuf(static_cast<std::size_t>(lat.points()), bounds.z_min);
    for (const Tri& t : triangles) Rasterize(t, lat, zbuf);
    WriteMap(argv[3], lat, zbuf);
    std::printf("triangles=%zu columns=%lld rows=%lld\n", triangles.size(),
                static_cast<long long>(lat.columns), static_cast<long long>(lat.rows));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "baseline_converter: %s\n", e.what());
    return 1;
  }
  return 0;
}
