// Gray PNG images written into an output's text file, one row at a time
// from the top. Where libpng and ISA-L are at hand (Linux) the chunks go
// through libpng and the pixels are deflated by ISA-L; elsewhere
// (PELMORO_PNG_ZLIB, Windows) ZlibPngEncoder writes the same chunks itself
// over zlib's deflate.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/text_file.h"
#include "outputs/formats/png_size.h"
#if PELMORO_PNG_ZLIB
#include "outputs/formats/png_encoder_zlib.h"
#endif

namespace pelmoro {

#if PELMORO_PNG_ZLIB
using PngEncoder = ZlibPngEncoder;
#else
class PngEncoder {
 public:
  // Starts an image of width x height pixels of bit_depth 8 or 16, gray or
  // (alpha) gray and alpha, with the text chunks before the pixels. Raises EInOutError for a failed
  // write, Exception for anything libpng refuses.
  PngEncoder(TextFile& out, std::uint32_t width, std::uint32_t height, int bit_depth,
             const std::vector<PngText>& texts, bool alpha = false);
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // One row of width pixels: 1 byte a sample at depth 8, 2 bytes big-endian
  // at depth 16; gray then alpha with alpha.
  void WriteRow(std::span<const std::uint8_t> row);
  // Ends the image after its last row.
  void Finish();

 private:
  struct Png;
  // chunks: libpng's png_text array, count entries.
  static bool WriteHeader(Png& p, std::uint32_t width, std::uint32_t height, int bit_depth,
                          int color_type, void* chunks, int count);
  static bool WriteChunk(Png& p, const char* type, const std::uint8_t* data, std::size_t size);
  void PutChunk(const char* type, const std::uint8_t* data, std::size_t size);
  void Deflate(bool last);
  Png* png_;
};
#endif

}  // namespace pelmoro
