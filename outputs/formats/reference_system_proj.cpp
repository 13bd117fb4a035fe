#include <proj.h>

#include <cctype>
#include <memory>

#include "foundation/errors.h"
#include "outputs/formats/reference_system.h"

namespace pelmoro {

namespace {

// The code of "EPSG:N", N from 1 to 65535 (a GeoTIFF key holds 16 bits);
// 0 for anything else.
int EpsgCode(const std::string& text) {
  constexpr std::string_view kPrefix = "epsg:";
  if (text.size() <= kPrefix.size() || text.size() > kPrefix.size() + 5) return 0;
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != kPrefix[i]) return 0;
  }
  int code = 0;
  for (std::size_t i = kPrefix.size(); i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    code = code * 10 + (text[i] - '0');
  }
  return code <= 65535 ? code : 0;
}

struct ContextCloser {
  void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
};
struct ObjectCloser {
  void operator()(PJ* p) const { proj_destroy(p); }
};

}  // namespace

bool ReferenceSystemsBuilt() { return true; }

ReferenceSystem FindReferenceSystem(const std::string& text) {
  const int code = EpsgCode(text);
  if (code == 0) throw Exception("'" + text + "' is no EPSG code: write it EPSG:N, as EPSG:32633");
  std::unique_ptr<PJ_CONTEXT, ContextCloser> context(proj_context_create());
  proj_log_level(context.get(), PJ_LOG_NONE);
  const std::string number = std::to_string(code);
  std::unique_ptr<PJ, ObjectCloser> crs(proj_create_from_database(
      context.get(), "EPSG", number.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
  if (!crs) throw Exception("EPSG:" + number + " is no reference system PROJ knows");
  ReferenceSystem system;
  system.epsg = code;
  switch (proj_get_type(crs.get())) {
    case PJ_TYPE_PROJECTED_CRS:
      break;
    case PJ_TYPE_GEOGRAPHIC_2D_CRS:
      system.geographic = true;
      break;
    default:
      throw Exception("EPSG:" + number +
                      " is neither a projected nor a geographic 2D reference system");
  }
  const char* wkt = proj_as_wkt(context.get(), crs.get(), PJ_WKT1_ESRI, nullptr);
  if (wkt == nullptr) throw Exception("EPSG:" + number + " has no WKT in ESRI's dialect");
  system.esri_wkt = wkt;
  return system;
}

}  // namespace pelmoro
