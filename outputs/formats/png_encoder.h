// Gray PNG images written into an output's text file, one row at a time
// from the top: the chunks through libpng, the pixels deflated by ISA-L.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "foundation/text_file.h"

namespace pelmoro {

// A tEXt chunk: keyword and value.
using PngText = std::pair<std::string, std::string>;

// A lower bound, in bytes, of the gray PNG PngEncoder writes for width x
// height pixels of bytes_per_pixel bytes with these text chunks: the
// signature, the header, text and end chunks (every value at least one
// byte), one data chunk with its zlib frame, and the rows (a filter byte
// and the pixels each) compressed as far as deflate ever goes: 258 bytes of
// a match in two bits at the least, 1032 to 1. Saturates at the largest
// uint64.
std::uint64_t PngSizeLowerBound(std::uint64_t width, std::uint64_t height, int bytes_per_pixel,
                                const std::vector<PngText>& texts);

class PngEncoder {
 public:
  // Starts an image of width x height pixels of bit_depth 8 or 16, with the
  // text chunks before the pixels. Raises EInOutError for a failed write,
  // Exception for anything libpng refuses.
  PngEncoder(TextFile& out, std::uint32_t width, std::uint32_t height, int bit_depth,
             const std::vector<PngText>& texts);
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // One row of width pixels: 1 byte each at depth 8, 2 bytes big-endian at
  // depth 16.
  void WriteRow(std::span<const std::uint8_t> row);
  // Ends the image after its last row.
  void Finish();

 private:
  struct Png;
  // chunks: libpng's png_text array, count entries.
  static bool WriteHeader(Png& p, std::uint32_t width, std::uint32_t height, int bit_depth,
                          void* chunks, int count);
  static bool WriteChunk(Png& p, const char* type, const std::uint8_t* data, std::size_t size);
  void PutChunk(const char* type, const std::uint8_t* data, std::size_t size);
  void Deflate(bool last);
  Png* png_;
};

}  // namespace pelmoro
