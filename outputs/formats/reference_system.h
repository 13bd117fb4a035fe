// The reference systems --crs names, looked up in PROJ's database: what the
// GeoTIFF's keys need and the WKT of the ESRI grid's .prj.
#pragma once

#include <string>

#include "outputs/formats/image_settings.h"

namespace pelmoro {

// Whether this build looks reference systems up (PROJ was found).
bool ReferenceSystemsBuilt();

// The system "EPSG:N" names (the prefix in any letter case), a projected
// or geographic 2D one. Raises Exception saying why for any other text, a
// code PROJ does not know, another kind of system, or a build without PROJ.
ReferenceSystem FindReferenceSystem(const std::string& text);

}  // namespace pelmoro
