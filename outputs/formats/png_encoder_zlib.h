// Gray PNG images written by a chunk writer of this program's own over
// zlib's deflate: the encoder of builds without libpng and ISA-L. It writes
// what the libpng encoder writes (the signature, IHDR, the tEXt chunks,
// IDAT chunks of the Up-filtered rows, IEND) and refuses what libpng
// refuses; only the deflated bytes differ.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "foundation/text_file.h"
#include "outputs/formats/png_size.h"

namespace pelmoro {

class ZlibPngEncoder {
 public:
  // Starts an image of width x height pixels (1 to 2^31 - 1 each) of
  // bit_depth 8 or 16, gray or (alpha) gray and alpha, with the text chunks
  // before the pixels; keywords are
  // cleaned as libpng cleans them. Raises EInOutError for a failed write,
  // Exception for a size or a keyword PNG does not allow, with libpng's
  // words.
  ZlibPngEncoder(TextFile& out, std::uint32_t width, std::uint32_t height, int bit_depth,
                 const std::vector<PngText>& texts, bool alpha = false);
  ~ZlibPngEncoder();
  ZlibPngEncoder(const ZlibPngEncoder&) = delete;
  ZlibPngEncoder& operator=(const ZlibPngEncoder&) = delete;

  // One row of width pixels: 1 byte a sample at depth 8, 2 bytes big-endian
  // at depth 16; gray then alpha with alpha.
  void WriteRow(std::span<const std::uint8_t> row);
  // Ends the image after its last row.
  void Finish();

 private:
  struct Stream;
  void PutChunk(const char* type, const std::uint8_t* data, std::size_t size);
  void Deflate(bool last);
  TextFile& out_;
  std::unique_ptr<Stream> stream_;
  std::vector<std::uint8_t> above_;        // the previous row, zeros before the first
  std::unique_ptr<std::uint8_t[]> batch_;  // filtered rows waiting to be compressed
  std::size_t batch_size_ = 0;
  std::size_t batch_used_ = 0;
  std::unique_ptr<std::uint8_t[]> deflated_;  // compressed bytes of the next data chunk
};

}  // namespace pelmoro
