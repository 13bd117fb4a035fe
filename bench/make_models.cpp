// make_bench_models OUTDIR: writes the three benchmark models as ASCII STL
// in the style of CAD exporters (facet normals, outer loops, one vertex per
// line). The shapes are closed formulas, so every run writes the same bytes.
//
//   relief.stl  100 x 100 mm height field (2..20 mm) on a 316 x 316 grid,
//               closed by four vertical walls and a floor fan at z = 0:
//               ~203k triangles, ~44 MB (lines flush left).
//   sphere.stl  UV sphere, radius 20 mm, centre (25, 25, 20): ~50k triangles,
//               plain decimal numbers.
//   torus.stl   major radius 15, minor 5, centre (0, 0, 5): 2,000 triangles
//               reaching into negative x and y.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct P {
  double x, y, z;
};

P Sub(P a, P b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

P UnitNormal(P a, P b, P c) {
  const P u = Sub(b, a), v = Sub(c, a);
  const P n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
  const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (len == 0) return {0, 0, 0};
  return {n.x / len, n.y / len, n.z / len};
}

// One STL file being written; numbers in "%e" style (1.234567e+01) or as
// plain decimals (12.345678), lines flush left or indented by nesting.
class StlWriter {
 public:
  StlWriter(const std::string& path, const char* name, bool exponent, bool indented)
      : file_(std::fopen(path.c_str(), "wb")),
        name_(name),
        exponent_(exponent),
        indent_(indented ? 2 : 0) {
    if (file_ == nullptr) {
      std::perror(path.c_str());
      return;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    std::fprintf(file_, "solid %s\n", name_);
  }
  ~StlWriter() {
    if (file_ == nullptr) return;
    std::fprintf(file_, "endsolid %s\n", name_);
    std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr; }
  long facets() const { return facets_; }

  // Vertices counter-clockwise seen from outside.
  void Facet(P a, P b, P c) {
    const P n = UnitNormal(a, b, c);
    Line(1, "facet normal", n);
    std::fprintf(file_, "%*souter loop\n", 2 * indent_, "");
    Line(3, "vertex", a);
    Line(3, "vertex", b);
    Line(3, "vertex", c);
    std::fprintf(file_, "%*sendloop\n%*sendfacet\n", 2 * indent_, "", indent_, "");
    ++facets_;
  }
  void Quad(P a, P b, P c, P d) {  // a b c d counter-clockwise
    Facet(a, b, c);
    Facet(a, c, d);
  }

 private:
  void Line(int depth, const char* head, P p) {
    const int width = depth * indent_;
    if (exponent_) {
      std::fprintf(file_, "%*s%s %e %e %e\n", width, "", head, p.x, p.y, p.z);
    } else {
      std::fprintf(file_, "%*s%s %f %f %f\n", width, "", head, p.x, p.y, p.z);
    }
  }

  std::FILE* file_;
  const char* name_;
  bool exponent_;
  int indent_;
  long facets_ = 0;
};

constexpr double kPi = 3.14159265358979323846;

// A few smooth bumps and waves; the caller maps the range onto 2..20 mm.
double RawRelief(double x, double y) {
  auto bump = [](double x, double y, double cx, double cy, double s) {
    const double dx = x - cx, dy = y - cy;
    return std::exp(-(dx * dx + dy * dy) / (2 * s * s));
  };
  return 6 * bump(x, y, 30, 65, 12) + 5 * bump(x, y, 70, 30, 15) - 3 * bump(x, y, 75, 80, 8) +
         1.5 * std::sin(2 * kPi * x / 23) * std::cos(2 * kPi * y / 31) +
         0.8 * std::sin(2 * kPi * (x + 2 * y) / 47);
}

constexpr int kReliefCells = 316;
constexpr double kReliefSide = 100.0, kReliefStep = kReliefSide / kReliefCells;

// Heights of the relief's grid points, row by row, mapped onto 2..20 mm.
std::vector<double> ReliefHeights() {
  constexpr int n = kReliefCells;
  std::vector<double> z((n + 1) * (n + 1));
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) z[j * (n + 1) + i] = RawRelief(i * kReliefStep, j * kReliefStep);
  double lo = z[0], hi = z[0];
  for (double v : z) lo = std::min(lo, v), hi = std::max(hi, v);
  for (double& v : z) v = 2 + (v - lo) / (hi - lo) * 18;
  return z;
}

P ReliefFoot(int i, int j) { return P{i * kReliefStep, j * kReliefStep, 0}; }

// The floor is a fan from its centre to every wall foot, so that every
// edge is shared by exactly two triangles; it faces down.
void WriteReliefFloor(StlWriter& out) {
  constexpr int n = kReliefCells;
  std::vector<P> rim;
  for (int k = 0; k < n; ++k) rim.push_back(ReliefFoot(k, 0));
  for (int k = 0; k < n; ++k) rim.push_back(ReliefFoot(n, k));
  for (int k = 0; k < n; ++k) rim.push_back(ReliefFoot(n - k, n));
  for (int k = 0; k < n; ++k) rim.push_back(ReliefFoot(0, n - k));
  const P centre{kReliefSide / 2, kReliefSide / 2, 0};
  for (std::size_t m = 0; m < rim.size(); ++m) out.Facet(centre, rim[(m + 1) % rim.size()], rim[m]);
}

void WriteRelief(const std::string& dir) {
  constexpr int n = kReliefCells;
  const std::vector<double> z = ReliefHeights();
  auto at = [&](int i, int j) { return P{i * kReliefStep, j * kReliefStep, z[j * (n + 1) + i]}; };
  auto foot = ReliefFoot;
  StlWriter out(dir + "/relief.stl", "relief", true, false);
  if (!out.ok()) return;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) out.Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
  for (int k = 0; k < n; ++k) {
    out.Quad(foot(k, 0), foot(k + 1, 0), at(k + 1, 0), at(k, 0));  // south, -y
    out.Quad(foot(n, k), foot(n, k + 1), at(n, k + 1), at(n, k));  // east, +x
    out.Quad(foot(k + 1, n), foot(k, n), at(k, n), at(k + 1, n));  // north, +y
    out.Quad(foot(0, k + 1), foot(0, k), at(0, k), at(0, k + 1));  // west, -x
  }
  WriteReliefFloor(out);
  std::printf("relief.stl: %ld triangles\n", out.facets());
}

void WriteSphere(const std::string& dir) {
  constexpr int slices = 224, stacks = 112;
  constexpr double r = 20;
  auto at = [&](int s, int k) {
    const double theta = kPi * s / stacks, phi = 2 * kPi * (k % slices) / slices;
    return P{25 + r * std::sin(theta) * std::cos(phi), 25 + r * std::sin(theta) * std::sin(phi),
             20 + r * std::cos(theta)};
  };
  StlWriter out(dir + "/sphere.stl", "sphere", false, true);
  if (!out.ok()) return;
  for (int k = 0; k < slices; ++k) {
    out.Facet(at(0, k), at(1, k), at(1, k + 1));  // north cap
    for (int s = 1; s < stacks - 1; ++s)
      out.Quad(at(s, k), at(s + 1, k), at(s + 1, k + 1), at(s, k + 1));
    out.Facet(at(stacks - 1, k), at(stacks, k), at(stacks - 1, k + 1));  // south cap
  }
  std::printf("sphere.stl: %ld triangles\n", out.facets());
}

void WriteTorus(const std::string& dir) {
  constexpr int major_steps = 50, minor_steps = 20;
  constexpr double big = 15, small = 5;
  auto at = [&](int i, int j) {
    const double u = 2 * kPi * (i % major_steps) / major_steps;
    const double v = 2 * kPi * (j % minor_steps) / minor_steps;
    const double ring = big + small * std::cos(v);
    return P{ring * std::cos(u), ring * std::sin(u), 5 + small * std::sin(v)};
  };
  StlWriter out(dir + "/torus.stl", "torus", true, true);
  if (!out.ok()) return;
  for (int i = 0; i < major_steps; ++i)
    for (int j = 0; j < minor_steps; ++j)
      out.Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
  std::printf("torus.stl: %ld triangles\n", out.facets());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_bench_models OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  WriteRelief(dir);
  WriteSphere(dir);
  WriteTorus(dir);
  return 0;
}
