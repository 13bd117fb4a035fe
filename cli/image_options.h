// The options of stl2hzm that say how the images and grids render the
// heights (--png-levels, --bit-depth, ...).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "outputs/formats/image_settings.h"

namespace pelmoro::cli {

// What the command line says of the images and grids.
struct ImageOptions {
  ImageSettings settings;
  std::string bounds;  // --bounds X0,Y0,X1,Y1 in the model's unit, as typed
};

// Applies the option `name` to the images' options when it is one of them
// and tells whether it was; value() gives its value, has_value whether
// "=value" came with the name. Raises UsageError (cli/options.h) for a
// value it cannot take, and for a value given to a flag.
bool ApplyImageOption(ImageOptions& options, std::string_view name, bool has_value,
                      const std::function<std::string()>& value);

// The settings for a model whose unit is `units` grid units: the window of
// --bounds in grid units, the points x0 <= x <= x1 exactly (a decimal is
// taken as written, not rounded to binary first).
ImageSettings ImageSettingsFor(const ImageOptions& options, int units);

}  // namespace pelmoro::cli
