#include <geotiff/geotiff.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>
#include <tiffio.h>

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/errors.h"
#include "outputs/formats/asc_output.h"
#include "outputs/formats/geotiff_output.h"
#include "outputs/formats/tiff_scratch.h"

namespace pelmoro {

namespace {

constexpr ttag_t kGdalNoDataTag = 42113;

// The TIFF's handle: the scratch file it is written into and the first
// message libtiff gave for a failure.
struct TiffFile {
  TiffScratch scratch;
  std::string error;
};

tmsize_t ReadProc(thandle_t h, void* into, tmsize_t n) {
  return static_cast<TiffFile*>(h)->scratch.Read(static_cast<char*>(into),
                                                 static_cast<std::uint64_t>(n));
}
tmsize_t WriteProc(thandle_t h, void* from, tmsize_t n) {
  return static_cast<TiffFile*>(h)->scratch.Write(static_cast<const char*>(from),
                                                  static_cast<std::uint64_t>(n));
}
toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  return static_cast<TiffFile*>(h)->scratch.Seek(static_cast<std::int64_t>(offset), whence);
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<TiffFile*>(h)->scratch.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int KeepError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto* file = static_cast<TiffFile*>(user);
  if (file->error.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    file->error = std::string(module != nullptr ? module : "libtiff") + ": " + text;
  }
  return 1;
}
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libgeotiff's tags (its extender) and the GDAL_NODATA tag, once.
void RegisterTags() {
  static std::once_flag once;
  std::call_once(once, [] { XTIFFInitialize(); });
}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

[[noreturn]] void Refuse(const TiffFile& file, const char* step) {
  file.scratch.Rethrow();
  throw Exception(std::string("the GeoTIFF could not be written (") + step + ")" +
                  (file.error.empty() ? "" : ": " + file.error));
}

// The nodata value of the GeoTIFF: the ESRI grid's NODATA_value as a float,
// taken lower while the float is not below the lowest value's.
float NoDataFloat(std::int32_t low, const ImageSettings& settings, bool invert) {
  const std::string text = AscNoDataValue(invert ? 0 : low, settings.units);
  const float lowest = static_cast<float>(static_cast<double>(invert ? 0 : low) / settings.units);
  float nodata = static_cast<float>(std::strtod(text.c_str(), nullptr));
  while (!(nodata < lowest)) nodata = std::nextafter(nodata, -HUGE_VALF);
  return nodata;
}

void SetFields(TIFF* tif, std::int64_t columns, std::int64_t rows) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(columns));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(rows));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32);
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_TILEWIDTH, static_cast<std::uint32_t>(kTiffTileSide));
  TIFFSetField(tif, TIFFTAG_TILELENGTH, static_cast<std::uint32_t>(kTiffTileSide));
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_FLOATINGPOINT);
  TIFFSetField(tif, TIFFTAG_ZIPQUALITY, 1);
}

// Heights and coordinates in the model's unit: k grid units are k / units
// of it, the double nearest that fraction (the numerators are whole
// numbers below 2^53, exact as doubles).
double InUnit(std::int64_t twice_k, const ImageSettings& settings) {
  return static_cast<double>(twice_k) / (2.0 * settings.units);
}

void SetGeoreferencing(TIFF* tif, const Lattice& lattice, std::int64_t rows,
                       const ImageSettings& settings) {
  const double scale[3] = {InUnit(2 * std::int64_t{lattice.pitch}, settings),
                           InUnit(2 * std::int64_t{lattice.pitch}, settings), 0};
  TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
  // The upper-left corner: half a pitch left of the first column's points,
  // half a pitch above the top row's.
  const std::int64_t x = std::int64_t{lattice.x_min} + settings.origin_x;
  const std::int64_t top =
      std::int64_t{lattice.y_min} + (rows - 1) * lattice.pitch + settings.origin_y;
  const double tiepoint[6] = {
      0, 0, 0, InUnit(2 * x - lattice.pitch, settings), InUnit(2 * top + lattice.pitch, settings),
      0};
  TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tiepoint);
  GTIF* gtif = GTIFNew(tif);
  if (gtif == nullptr) throw Exception("the GeoTIFF keys could not be made");
  GTIFKeySet(gtif, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
  if (settings.crs.epsg != 0) {
    if (settings.crs.geographic) {
      GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeGeographic);
      GTIFKeySet(gtif, GeographicTypeGeoKey, TYPE_SHORT, 1, settings.crs.epsg);
    } else {
      GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
      GTIFKeySet(gtif, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, settings.crs.epsg);
    }
  }
  GTIFWriteKeys(gtif);
  GTIFFree(gtif);
}

// Tiles of the image's rows from top, kTiffTileSide rows, laid out in band
// (every tile row of the band, whole tiles across).
void WriteTileRow(TIFF* tif, const TiffFile& file, std::int64_t top, std::int64_t across,
                  const std::vector<float>& band, std::vector<float>& tile) {
  const auto width = static_cast<std::size_t>(across * kTiffTileSide);
  for (std::int64_t t = 0; t < across; ++t) {
    for (std::int64_t r = 0; r < kTiffTileSide; ++r) {
      const float* from = band.data() + static_cast<std::size_t>(r) * width +
                          static_cast<std::size_t>(t * kTiffTileSide);
      std::copy_n(from, kTiffTileSide, tile.data() + r * kTiffTileSide);
    }
    const ttile_t index = TIFFComputeTile(tif, static_cast<std::uint32_t>(t * kTiffTileSide),
                                          static_cast<std::uint32_t>(top), 0, 0);
    if (TIFFWriteEncodedTile(tif, index, tile.data(),
                             static_cast<tmsize_t>(tile.size() * sizeof(float))) < 0) {
      Refuse(file, "a tile");
    }
  }
}

using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle OpenTiff(TiffFile& file, const std::string& name, bool big) {
  RegisterTags();
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                       TIFFOpenOptionsFree);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, &file);
  TiffHandle tif(TIFFClientOpenExt(name.c_str(), big ? "w8" : "w", &file, ReadProc, WriteProc,
                                   SeekProc, CloseProc, SizeProc, MapProc, UnmapProc,
                                   options.get()));
  if (!tif) Refuse(file, "open");
  return tif;
}

void SetNoData(TIFF* tif, float nodata) {
  static const TIFFFieldInfo kNoDataField[] = {
      {kGdalNoDataTag, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALNoData")}};
  TIFFMergeFieldInfo(tif, kNoDataField, 1);
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(nodata));
  TIFFSetField(tif, kGdalNoDataTag, text);
}

}  // namespace

bool GeoTiffBuilt() { return true; }

void GeoTiffOutput::Finish() {
  const std::int64_t rows = heights_.rows();
  const std::int64_t columns = lattice_.columns;
  const bool invert = settings_.invert;
  const std::int64_t high = heights_.high();
  // The floor lies below every height from above, above them from below.
  const std::int64_t lowest = std::min(heights_.low(), heights_.floor());
  if (invert && high - lowest > INT32_MAX) {
    throw Exception("the heights span more than 2^31 grid units, too much for depths");
  }
  // A stopped scan may have no row: the file then has one row of nodata.
  const std::int64_t image_rows = std::max<std::int64_t>(rows, 1);
  TiffFile file{TiffScratch(near_), {}};
  TiffHandle tif = OpenTiff(file, near_, NeedsBigTiff(columns, image_rows));
  SetFields(tif.get(), columns, image_rows);
  SetGeoreferencing(tif.get(), lattice_, image_rows, settings_);
  const float nodata = NoDataFloat(heights_.low(), settings_, invert);
  if (!settings_.fill) SetNoData(tif.get(), nodata);
  const std::int64_t floor = invert ? high - heights_.floor() : heights_.floor();
  const float no_height =
      settings_.fill ? static_cast<float>(static_cast<double>(floor) / settings_.units) : nodata;
  const std::int64_t across = (columns + kTiffTileSide - 1) / kTiffTileSide;
  const auto width = static_cast<std::size_t>(across * kTiffTileSide);
  // One row of tiles at a time: kTiffTileSide rows, padded to whole tiles.
  std::vector<float> band(width * kTiffTileSide);
  std::vector<float> tile(static_cast<std::size_t>(kTiffTileSide * kTiffTileSide));
  std::vector<std::int32_t> row;
  for (std::int64_t top = 0; top < image_rows; top += kTiffTileSide) {
    std::fill(band.begin(), band.end(), no_height);
    for (std::int64_t i = top; i < std::min(rows, top + kTiffTileSide); ++i) {
      heights_.ReadRow(rows - 1 - i, row);
      float* out = band.data() + static_cast<std::size_t>(i - top) * width;
      for (std::size_t k = 0; k < row.size(); ++k) {
        if (row[k] == kNoHeight) continue;
        const std::int64_t v = invert ? high - row[k] : row[k];
        out[k] = static_cast<float>(static_cast<double>(v) / settings_.units);
      }
    }
    WriteTileRow(tif.get(), file, top, across, band, tile);
  }
  if (TIFFWriteDirectory(tif.get()) == 0) Refuse(file, "the directory");
  tif.reset();
  file.scratch.CopyTo(out_);
}

}  // namespace pelmoro
