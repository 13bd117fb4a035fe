#include "cli/help.h"

#include <string_view>

#include "cli/catalog.h"

namespace pelmoro::cli {

namespace {

// The text in three parts: what it is, the options, and how it behaves.
constexpr char kUsageText[] =
    R"(Usage: stl2hzm [--pitch MM] [--surface] [--bottom] [-o OUTPUT] [--quiet]
               [--threads N] [--units UNIT] [--info] [--exact]
               [--format hzm|png|asc|tif] [--also FILE]... [--preview FILE.png]
               [--png-levels full|units] [--bit-depth 8|16] [--fill] [--nodata]
               [--bounds X0,Y0,X1,Y1] [--width-px N] [--height-px N] [--invert]
               [--keep-partial] [--shift auto|X,Y] [--crs EPSG:N] [--world-file]
               INPUT.stl...

Turns STL models, ASCII or binary, into HZM height maps. A square grid is
laid over the model in plan view, and for every grid point the height map
gives the height of the model's surface above that point.

Each input's kind is told from the file itself: a binary STL has exactly
84 + 50 n bytes for the n triangles its header counts (even when the header
begins with "solid"); a file that begins with "solid" and holds facet or
vertex lines is ASCII whatever its size, and so is any file with vertex
lines. Anything else (an OBJ model, an image, an archive, plain text, a
binary STL cut short or with bytes after its last triangle) is refused with
a message that says what it looks like, and no height map is written.
Standard input and other pipes, which cannot be measured, are told by
their first bytes: text is ASCII, binary data is a binary STL whose records
must end the data exactly.

The height map is a text file (CR LF line ends): seven header lines, then
one line "x,y,z" per grid point and a line "S" after each row. All numbers
are whole grid units of 1/40 mm (0.025 mm). Rows go bottom-up, from the
model's lowest y to its highest, and each row from the lowest x to the
highest. A point takes the height of the highest triangle that covers it, or
the model's lowest z (0 when the whole model lies above z = 0) where no
triangle does.

)";

constexpr char kOptionsText[] = R"(Options:
  --pitch MM    grid spacing in millimetres, 0.025 to 6.375 (1 to 255 grid
                units; a fraction of a unit is dropped). Written with a
                decimal point, or the decimal separator of your locale
                (LC_NUMERIC). Default 0.1.
  --surface     take the first covering triangle in file order instead of
                the highest one
  --bottom      the model seen from below, for every output: a point takes
                the lowest triangle that covers it (x and y as seen from
                above, not mirrored), and a point no triangle covers the
                model's highest z (0 when the whole model lies below
                z = 0), or NODATA where the grid and the PNG leave such
                points out. With --surface: the first covering triangle in
                file order, never above that highest z
  -o OUTPUT     the output file (for one input), or an existing folder that
                receives one height map per input. Without -o each output is
                named after its input: everything up to the input's last "."
                followed by "hzm" (part.stl gives part.hzm), and ".hzm" is
                added unless that name already ends in "." and three
                characters.
  -q, --quiet   no progress bar and no summary lines; errors are still shown
  --threads N   threads for reading an ASCII model and for the
                scan, N >= 1 (default: one per processor core); with 1 the
                model is read in turn. The height map is the same for
                every N
  --units UNIT  the unit the model files are written in: mm (default), cm,
                m, in or ft. Coordinates are scaled as they are read (1 in
                is 1016 grid units, exactly). The window always reads mm.
  --info        read each model and print, on stdout, its format, triangles,
                bounds in mm, the lattice at the pitch and the size of its
                height map in bytes, as a lower and an upper bound found in
                the time of reading it (one figure when they agree);
                nothing is written
  --exact       with --info: scan the model for the height map's exact size
  --keep-partial
                a stop puts the whole rows so far in place of each output
                file, as the window does, instead of keeping the earlier file
  --format F    the format of the output: hzm, png, asc or tif. Without it
                the output's name decides: ".hzm" a height map, ".png" a PNG,
                ".asc" an ESRI ASCII grid, ".tif" or ".tiff" a GeoTIFF (in
                any case); any other name is
                refused, so that no file gets bytes its name does not
                promise (standard output, devices, pipes and the names
                under /dev take any name). A name made after the input
                ends in the format's extension.
  --also FILE   a further output from the same reading and scan, in the
                format its name's extension says; may be given several
                times (one input)
  --preview FILE.png
                also a picture for a person: 8-bit gray shaded relief, lit
                from the upper left, higher parts lighter, its longer side at
                most 1024 pixels (one input; the name ends in ".png")
  --png-levels L
                what the PNG's levels stand for: full (default) spreads the
                map's heights over all of them, 0 the lowest and 65535 the
                highest; units gives one level per grid unit above the
                lowest height, as earlier versions did, and refuses a map
                whose heights span more levels than the PNG has
  --bit-depth D
                the PNG's gray samples: 16 (default) or 8 (for programs
                that take 8-bit images only)
  --fill        the ESRI grid gives the points no triangle covers z min, as
                the height map does, instead of its NODATA value
  --nodata      the PNG is gray and alpha, transparent where no triangle
                covers a point (without it those points are z min)
  --bounds X0,Y0,X1,Y1
                the window the PNG and the ESRI grid cover, in the model's
                unit (--units), edges included; points outside the model
                are uncovered. Without it they cover the model's own extent
                in plan view. Either way their points are the height map's
                (the same lattice lines, extended beyond it)
  --width-px N  the pitch instead of --pitch: the largest, in whole grid
                units, that gives the PNG and the grid at least N points
                across; the summary line names it
  --height-px N
                the same, for at least N points up
  --invert      the PNG and the grid as depths: the highest point is 0 in
                both, the PNG's levels run down from it (its text chunks say
                so) and the grid's values are the depths below it
  --shift auto|X,Y
                subtract X,Y (in the model's unit, whole grid units) from
                the model's x and y as it is read, or with auto its
                lower-left corner rounded down to a whole 1,000 of the unit
                (a whole km in metres), so that a terrain in real-world
                coordinates (UTM metres, millions) fits the grid. The ESRI
                grid, the GeoTIFF and the world file add it back and sit at
                the model's own coordinates; the height map and the PNG's
                text chunks are those of the shifted model
  --crs EPSG:N  the reference system of the coordinates: written into the
                GeoTIFF's keys and, as ESRI's WKT, into a .prj file beside
                each ESRI grid
  --world-file  a world file (.pgw) beside each PNG: the pixel's size and
                the upper-left pixel's centre, in the model's unit
  -h, --help    show this text and exit
  --version     show the version and exit

Short options bundle (-qo part.hzm), long ones may be shortened to any
unambiguous prefix (--pit 0.5) and take their value after a space or "=",
and inputs and options may come in any order; "--" ends the options.

)";

constexpr char kBehaviourText[] =
    R"(The PNG and the ESRI grid cover the model's extent in plan view, or the
window of --bounds, on the points of the height map's lattice: a pixel is
the height map's point at the same x and y. When they are the only
outputs, only their points are scanned.

The PNG has 16-bit gray pixels (8 with --bit-depth 8), one per grid
point: the top row is the highest y, the left column the lowest x. With
z low and z high the lowest and highest heights of the map and T the
largest sample (65535, or 255), a pixel is (z - z low) x T / (z high -
z low) rounded half up, 0 everywhere for a level map; with --png-levels
units it is z - z low in grid units. Its text chunks give pitch_mm,
z_mm_at_0 and z_mm_at_T (z_mm_at_65535 or z_mm_at_255: the heights of
pixel values 0 and T) and x_mm, y_mm (the lower-left grid point), all in
millimetres: pixel p is the height z_mm_at_0 + p x (z_mm_at_T -
z_mm_at_0) / T.

The ESRI ASCII grid has the lines ncols, nrows, xllcenter, yllcenter,
cellsize and NODATA_value, then one line per row from the highest y down.
Its header and values are in the model's unit (--units; millimetres by
default): in millimetres each value is the exact decimal of its grid units
/ 40 with "." and no trailing zeros (12, 1.5, 0.025), in cm and m exact
too, in in and ft rounded half up to the places that tell every grid unit
apart (4 and 5). A point no triangle covers is NODATA_value (-9999, or a
whole number below the lowest height when that is lower), or z min with the
option --fill (which leaves the NODATA_value line out).

The GeoTIFF (.tif or .tiff) holds 32-bit float heights in the model's unit
on the ESRI grid's points, in deflated tiles of 256 x 256 (a BigTIFF when
it could pass 4 GiB), georeferenced at the upper-left corner of its
upper-left pixel, with the grid's NODATA value as its nodata (with the
option --fill none, and z min in its place).

An existing output file is replaced without a question, but only once its
conversion has ended: the height map is written to an unnamed file in the
same folder first (a hidden temporary file where the filesystem has no
unnamed files), so a failed or killed conversion leaves the earlier file as
it was. Every output of a run is created before the model is read; at
the end all are written to the disk first and then put in place one after
the other, so one that fails before that leaves every earlier file as it
was. Maps that cannot fit on their disk are refused before the scan, and
a batch in which two inputs would write one output is refused before
anything is converted. Devices, pipes and the shell's own
descriptors (-o /dev/stdout, /dev/fd/N) are written directly, where the
shell's file stands.

Messages go to stderr, never to stdout. While stderr is a terminal, a
progress line shows the phase (reading, scanning), percent, triangles or
rows done and the time taken; after each file a summary line gives its
triangles, grid size, output and seconds. A model without triangles (an
empty solid) is converted, with a warning that its map is flat; a model
less than 1 mm or more than 100 m across in plan view gets a hint at the
unit its file is probably in.

Ctrl-C, SIGTERM, SIGHUP and SIGQUIT stop the conversion under way: while
scanning, at once (within a fraction of a second, however long the row),
dropping the row in progress; while reading, before the scan. Its output
files are not written and an earlier file of each name stays exactly as it
was; devices and pipes, which cannot take back what they had, keep the
whole rows so far. "Break !" is printed, then where the run stopped and
what became of each output, and the inputs after it are not converted
(those before it stay converted); a wait for input from a pipe, a terminal
or a FIFO ends at once. With --keep-partial every output instead takes the
whole rows so far (a stop while reading gives one row, of the triangles
read), in place of its target. Once every row is written, while the maps
are finished and put onto the disk, a stop comes too late to stop that
input: it is converted as usual, summary included, and only the inputs
after it are not.

An input or output "-" is standard input or output; a map read from
standard input goes to standard output unless -o names a file.

Errors name the file they concern ("cannot open part.stl: it is a
folder"), and an error inside an input its line too, as "FILE:LINE:
message". Messages are in English, or in Japanese under a Japanese
LC_MESSAGES (or LANG), in the converter window's own words. Warnings
("FILE: warning: ...") tell of a model read only in part; --quiet silences
them, never errors. The inputs after a failed one are still converted.

Exit status:
  0     every input converted
  1     at least one input failed
  2     bad usage or a refused pitch
  130   stopped with Ctrl-C; SIGTERM, SIGHUP and SIGQUIT end the program
        as those signals do (143, 129 and 131 in a shell)
        (a stop too late to stop the last input changes nothing)
)";

// One piece the catalog translates, and the line ends that follow it.
struct HelpPiece {
  std::string id;
  std::string_view after;
};

// A piece ends before a blank line and before a line that begins "  -",
// the next option of a list.
std::vector<HelpPiece> SplitHelp() {
  std::vector<HelpPiece> pieces;
  for (const std::string_view text : {kUsageText, kOptionsText, kBehaviourText}) {
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      while (end != std::string_view::npos) {
        const std::string_view next = text.substr(end + 1);
        if (next.empty() || next.front() == '\n' || next.starts_with("  -")) break;
        end = text.find('\n', end + 1);
      }
      if (end == std::string_view::npos) end = text.size();
      std::size_t after = end;
      while (after < text.size() && text[after] == '\n') ++after;
      pieces.push_back({std::string(text.substr(at, end - at)), text.substr(end, after - end)});
      at = after;
    }
  }
  return pieces;
}

}  // namespace

std::string HelpText() {
  std::string text;
  for (const HelpPiece& piece : SplitHelp()) {
    text += Translate(piece.id.c_str());
    text += piece.after;
  }
  return text;
}

std::vector<std::string> HelpTextIds() {
  std::vector<std::string> ids;
  for (const HelpPiece& piece : SplitHelp()) ids.push_back(piece.id);
  return ids;
}

std::string VersionText() { return std::string("stl2hzm ") + PELMORO_VERSION + "\nLicense: MIT\n"; }

}  // namespace pelmoro::cli
