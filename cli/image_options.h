// The options of stl2hzm that say how the images and grids render the
// heights (--png-levels, --bit-depth, ...).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "outputs/formats/image_settings.h"

namespace pelmoro::cli {

// Applies the option `name` to settings when it is one of the images'
// options and tells whether it was; value() gives its value. Raises
// UsageError (cli/options.h) for a value it cannot take.
bool ApplyImageOption(ImageSettings& settings, std::string_view name,
                      const std::function<std::string()>& value);

}  // namespace pelmoro::cli
