// The options of stl2hzm that say how the images and grids render the
// heights (--png-levels, --bit-depth, ...).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/read/grid_shift.h"
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

// What --shift's text asks for in a model of `units` grid units a unit:
// "auto", or X,Y whose grid values are whole numbers (taken exactly, as
// written) within 2^40 grid units. Raises UsageError otherwise; with
// syntax_only, only for what no unit would take.
ShiftRequest ShiftRequestFor(const std::string& text, int units, bool syntax_only = false);

}  // namespace pelmoro::cli
