#include "cli/output_kinds.h"

#include "cli/catalog.h"
#include "os/env.h"
#include "outputs/formats/geotiff_output.h"
#include "run/output_format.h"

namespace pelmoro::cli {

namespace {

// Standard output, the system's names of devices and of the process's own
// descriptors (/dev/stdout, /dev/fd/3, /proc/self/fd/3, whatever they lead
// to), any other device or pipe: where the bytes go has no extension to
// match.
bool IsStreamName(const std::string& name) {
  if (name == "-" || name.rfind("/dev/", 0) == 0 || name.rfind("/proc/", 0) == 0) return true;
  FileStatus status;
  return CurrentEnv().StatPath(name, &status) && IsStream(status.kind);
}

bool EndsInPng(const std::string& name) { return FormatOfExtension(name) == OutputFormat::kPng; }

}  // namespace

void RefuseUnknownFormats(const CliOptions& options, const std::vector<std::string>& outputs) {
  if (!options.format) {
    for (const std::string& name : outputs) {
      if (FormatOfExtension(name) || IsStreamName(name)) continue;
      throw UsageError("'" + name + "' ends in no extension of a known format: name it " +
                       KnownExtensionsText() + ", or say which with --format hzm|png|asc|tif");
    }
  }
  for (const std::string& name : options.also) {
    if (FormatOfExtension(name) || IsStreamName(name)) continue;
    throw UsageError("--also '" + name + "' ends in no extension of a known format: name it " +
                     KnownExtensionsText());
  }
  if (!options.preview.empty() && !EndsInPng(options.preview) && !IsStreamName(options.preview)) {
    throw UsageError("--preview '" + options.preview + "' must end in .png: the preview is a PNG");
  }
  RefuseGeoTiffUnbuilt(options, outputs);
}

void RefuseGeoTiffUnbuilt(const CliOptions& options, const std::vector<std::string>& outputs) {
  if (GeoTiffBuilt()) return;
  std::vector<std::string> names;
  for (const std::string& name : outputs) {
    if (options.format.value_or(FormatOfName(name)) == OutputFormat::kTif) names.push_back(name);
  }
  for (const std::string& name : options.also) {
    if (FormatOfName(name) == OutputFormat::kTif) names.push_back(name);
  }
  for (const std::string& name : names) {
    throw UsageError(Translate(
        "'{file}': this stl2hzm was built without GeoTIFF; write an ESRI grid (.asc) instead",
        {{"file", name}}));
  }
}

}  // namespace pelmoro::cli
