// The options of stl2hzm that say how the images and grids render the
// heights (--png-levels, --bit-depth, ...).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "outputs/formats/image_settings.h"

namespace pelmoro::cli {

// Applies the option `name` to settings when it is one of the images'
// options and tells whether it was; value() gives its value, has_value
// whether "=value" came with the name. Raises UsageError (cli/options.h)
// for a value it cannot take, and for a value given to a flag.
bool ApplyImageOption(ImageSettings& settings, std::string_view name, bool has_value,
                      const std::function<std::string()>& value);

}  // namespace pelmoro::cli
