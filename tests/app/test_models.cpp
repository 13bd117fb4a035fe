#include "tests/app/test_models.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <cmath>

namespace pelmoro::testing {
namespace {

double Relief(double x, double y, double size) {
  const double u = x / size, v = y / size;
  return 1.0 + 2.0 * std::sin(3.0 * u) * std::cos(2.0 * v) + 0.5 * u;
}

void AppendFacet(QByteArray& out, const double (&p)[3][3]) {
  out += "  facet normal 0 0 1\n    outer loop\n";
  for (const auto& v : p) {
    out += "      vertex " + QByteArray::number(v[0], 'f', 4) + ' ' +
           QByteArray::number(v[1], 'f', 4) + ' ' + QByteArray::number(v[2], 'f', 4) + '\n';
  }
  out += "    endloop\n  endfacet\n";
}

}  // namespace

QByteArray StackedWideTrianglesStl(int count) {
  QByteArray stl = "solid wide\n";
  for (int k = 0; k < count; ++k) {
    const double z = 1.0 + k * 0.01;
    const double p[3][3] = {{0, 0, z}, {5000, 0, z}, {0, 2, z}};
    AppendFacet(stl, p);
  }
  return stl + "endsolid wide\n";
}

QByteArray OneTriangleStl() {
  return "solid one\n"
         "  facet normal 0 0 1\n    outer loop\n"
         "      vertex 0.1 0.1 1\n      vertex 2.1 0.1 1\n      vertex 0.1 2.1 1\n"
         "    endloop\n  endfacet\n"
         "endsolid one\n";
}

QByteArray OneTriangleHzm() {
  return "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n"
         "0,0,0\r\n40,0,0\r\n80,0,0\r\nS\r\n"
         "0,40,0\r\n40,40,40\r\n80,40,0\r\nS\r\n"
         "0,80,0\r\n40,80,0\r\n80,80,0\r\nS\r\n";
}

QByteArray ReliefStl(int cells, double size_mm, int max_triangles) {
  QByteArray out = "solid relief\n";
  const double step = size_mm / cells;
  int written = 0;
  for (int j = 0; j < cells; ++j) {
    for (int i = 0; i < cells; ++i) {
      const double x0 = i * step, x1 = x0 + step, y0 = j * step, y1 = y0 + step;
      const double a[3][3] = {{x0, y0, Relief(x0, y0, size_mm)},
                              {x1, y0, Relief(x1, y0, size_mm)},
                              {x1, y1, Relief(x1, y1, size_mm)}};
      // The second facet of a square floats above the first one's corner
      // region, so highest and first-in-file differ.
      const double b[3][3] = {{x0, y0, Relief(x0, y0, size_mm) + 0.3},
                              {x1, y1, Relief(x1, y1, size_mm) + 0.3},
                              {x0, y1, Relief(x0, y1, size_mm)}};
      for (const auto* facet : {&a, &b}) {
        if (max_triangles >= 0 && written == max_triangles) break;
        AppendFacet(out, *facet);
        ++written;
      }
    }
  }
  return out + "endsolid relief\n";
}

QString WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
  file.write(bytes);
  return path;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int RunStl2hzm(const QString& input, const QString& output, const QString& pitch, bool surface) {
  // The window writes height maps whatever the name; so does the reference.
  QStringList args = {
      QStringLiteral("--quiet"),  QStringLiteral("--pitch"), pitch, QStringLiteral("-o"), output,
      QStringLiteral("--format"), QStringLiteral("hzm")};
  if (surface) args << QStringLiteral("--surface");
  args << input;
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(STL2HZM_PATH), args);
  if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) return -1;
  return process.exitCode();
}

QByteArray HeaderAndRows(const QByteArray& hzm, int rows) {
  qsizetype at = 0;
  // The header's own "S" closes line 7; each row's follows.
  for (int ends = 0; ends <= rows; ++ends) {
    const qsizetype found = hzm.indexOf("\r\nS\r\n", at);
    if (found < 0) return hzm;
    at = found + 5;
  }
  return hzm.left(at);
}

int RowsOf(const QByteArray& hzm) { return static_cast<int>(hzm.count("\r\nS\r\n")) - 1; }

}  // namespace pelmoro::testing
