#include "outputs/formats/png_encoder.h"

#include <isa-l/igzip_lib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <string_view>

#include "foundation/errors.h"

namespace pelmoro {

namespace {
constexpr std::size_t kMessageSize = 200;
// Filtered rows are compressed a batch at a time, and the compressed bytes
// leave in data chunks of this size (the last one shorter).
constexpr std::size_t kBatchBytes = std::size_t{256} << 10;
constexpr std::size_t kChunkBytes = std::size_t{256} << 10;
// Every row is stored with the Up filter (each byte less the byte above
// it): a height field changes little from row to row, so what deflate sees
// is mostly zeros and small numbers.
constexpr std::uint8_t kFilterUp = 2;
}  // namespace

// libpng writes the signature, the header, the text and the end chunks and
// frames the data chunks; the pixels are filtered here and deflated by
// ISA-L's igzip, which at its fast level compresses a height field about
// five times faster than zlib's fastest level, to about the same size.
//
// libpng reports its errors by a long jump back to the setjmp of the call
// under way; every call below is made in a function whose only locals are
// plain values, and the message becomes an exception after the jump.
struct PngEncoder::Png {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TextFile* out = nullptr;
  char message[kMessageSize] = {};
  isal_zstream stream{};
  // Buffers are left uninitialized: fresh memory costs a page fault a page
  // to touch, and only what is used is touched.
  std::unique_ptr<std::uint8_t[]> level_buffer;
  std::vector<std::uint8_t> above;        // the previous row, zeros before the first
  std::unique_ptr<std::uint8_t[]> batch;  // filtered rows waiting to be compressed
  std::size_t batch_size = 0;
  std::size_t batch_used = 0;
  std::unique_ptr<std::uint8_t[]> deflated;  // compressed bytes of the next data chunk
};

namespace {

void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<char*>(png_get_error_ptr(png));
  std::snprintf(state, kMessageSize, "PNG: %s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void WriteToText(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<TextFile*>(png_get_io_ptr(png));
  // A failed write leaves its code pending and the file takes nothing
  // more; the code is raised once libpng returns.
  PutText(*out, std::string_view(reinterpret_cast<const char*>(data), length));
}

void FlushText(png_structp) {}

}  // namespace

// The header and text chunks; false after libpng failed (its message in
// p.message). Only plain values live here across the setjmp.
bool PngEncoder::WriteHeader(Png& p, std::uint32_t width, std::uint32_t height, int bit_depth,
                             int color_type, void* chunks, int count) {
  if (setjmp(png_jmpbuf(p.png))) return false;
  png_set_write_fn(p.png, p.out, WriteToText, FlushText);
  // The lattice sets the size, not a file from elsewhere: PNG's own limits
  // are the only ones. png_set_IHDR checks the size against these limits
  // (1,000,000 pixels a side unless raised), so they are raised first.
  png_set_user_limits(p.png, 0x7fffffff, 0x7fffffff);
  png_set_IHDR(p.png, p.info, width, height, bit_depth, color_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_text(p.png, p.info, static_cast<png_text*>(chunks), count);
  png_write_info(p.png, p.info);
  return true;
}

// One chunk of the given type; false after libpng failed.
bool PngEncoder::WriteChunk(Png& p, const char* type, const std::uint8_t* data, std::size_t size) {
  if (setjmp(png_jmpbuf(p.png))) return false;
  png_write_chunk(p.png, reinterpret_cast<png_const_bytep>(type), data, size);
  return true;
}

PngEncoder::PngEncoder(TextFile& out, std::uint32_t width, std::uint32_t height, int bit_depth,
                       const std::vector<PngText>& texts, bool alpha)
    : png_(new Png) {
  png_->out = &out;
  png_->png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, png_->message, OnPngError, OnPngWarning);
  if (png_->png != nullptr) png_->info = png_create_info_struct(png_->png);
  if (png_->info == nullptr) {
    png_destroy_write_struct(&png_->png, nullptr);
    delete png_;
    throw Exception("PNG: out of memory");
  }
  std::vector<png_text> chunks(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
    chunks[i].key = const_cast<char*>(texts[i].first.c_str());
    chunks[i].text = const_cast<char*>(texts[i].second.c_str());
  }
  if (!WriteHeader(*png_, width, height, bit_depth,
                   alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY, chunks.data(),
                   static_cast<int>(chunks.size()))) {
    const std::string message = png_->message;
    png_destroy_write_struct(&png_->png, &png_->info);
    delete png_;
    throw Exception(message);
  }
  CheckIoResult();
  Png& p = *png_;
  p.above.assign(
      static_cast<std::size_t>(width) * static_cast<std::size_t>(bit_depth / 8) * (alpha ? 2 : 1),
      0);
  p.batch_size = std::max(kBatchBytes, p.above.size() + 1);
  p.batch.reset(new std::uint8_t[p.batch_size]);
  p.deflated.reset(new std::uint8_t[kChunkBytes]);
  p.level_buffer.reset(new std::uint8_t[ISAL_DEF_LVL1_DEFAULT]);
  isal_deflate_init(&p.stream);
  p.stream.level = 1;
  p.stream.level_buf = p.level_buffer.get();
  p.stream.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
  p.stream.gzip_flag = IGZIP_ZLIB;  // the zlib frame PNG data is held in
  p.stream.next_out = p.deflated.get();
  p.stream.avail_out = static_cast<std::uint32_t>(kChunkBytes);
}

PngEncoder::~PngEncoder() {
  png_destroy_write_struct(&png_->png, &png_->info);
  delete png_;
}

void PngEncoder::PutChunk(const char* type, const std::uint8_t* data, std::size_t size) {
  if (!WriteChunk(*png_, type, data, size)) throw Exception(png_->message);
  CheckIoResult();
}

// Compresses the batch (all of it, and the end of the stream when last),
// sending out a data chunk whenever the compressed bytes fill one.
void PngEncoder::Deflate(bool last) {
  Png& p = *png_;
  isal_zstream& z = p.stream;
  z.next_in = p.batch.get();
  z.avail_in = static_cast<std::uint32_t>(p.batch_used);
  z.end_of_stream = last ? 1 : 0;
  z.flush = NO_FLUSH;
  for (;;) {
    if (isal_deflate(&z) != COMP_OK) throw Exception("PNG: the pixels could not be compressed");
    const bool done = last ? z.internal_state.state == ZSTATE_END : z.avail_in == 0;
    const std::size_t ready = kChunkBytes - z.avail_out;
    if (ready > 0 && (z.avail_out == 0 || (done && last))) {
      PutChunk("IDAT", p.deflated.get(), ready);
      z.next_out = p.deflated.get();
      z.avail_out = static_cast<std::uint32_t>(kChunkBytes);
    }
    if (done) break;
  }
  p.batch_used = 0;
}

void PngEncoder::WriteRow(std::span<const std::uint8_t> row) {
  Png& p = *png_;
  const std::size_t n = p.above.size();
  if (p.batch_size - p.batch_used < n + 1) Deflate(false);
  std::uint8_t* to = p.batch.get() + p.batch_used;
  to[0] = kFilterUp;
  for (std::size_t k = 0; k < n; ++k) to[1 + k] = static_cast<std::uint8_t>(row[k] - p.above[k]);
  std::copy_n(row.begin(), n, p.above.begin());
  p.batch_used += n + 1;
}

void PngEncoder::Finish() {
  Deflate(true);
  PutChunk("IEND", nullptr, 0);
}

}  // namespace pelmoro
