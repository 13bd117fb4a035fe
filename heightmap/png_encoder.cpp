#include "heightmap/png_encoder.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string_view>

#include "foundation/errors.h"
#include "heightmap/byte_count.h"

namespace pelmoro {

namespace {
constexpr std::size_t kMessageSize = 200;
}  // namespace

// libpng reports its errors by a long jump back to the setjmp of the call
// under way; every call below is made in a function whose only locals are
// plain values, and the message becomes an exception after the jump.
struct PngEncoder::Png {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TextFile* out = nullptr;
  char message[kMessageSize] = {};
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

// A fast zlib level: the image is written while the user waits, and the
// Up filter already does most of what the slower levels would add for a
// height field.
constexpr int kZlibLevel = 1;

}  // namespace

std::uint64_t PngSizeLowerBound(std::uint64_t width, std::uint64_t height, int bytes_per_pixel,
                                const std::vector<PngText>& texts) {
  constexpr std::uint64_t kChunkFrame = 12;  // length, type, CRC
  constexpr std::uint64_t kSignature = 8, kHeaderData = 13, kZlibFrame = 2 + 4;
  constexpr std::uint64_t kDeflateBest = 1032;
  std::uint64_t bytes = kSignature + kChunkFrame + kHeaderData + kChunkFrame;  // IHDR, IEND
  for (const PngText& text : texts) {
    bytes += kChunkFrame + text.first.size() + 1 + 1;  // keyword, 0 byte, a value
  }
  bytes += kChunkFrame + kZlibFrame;
  const std::uint64_t row =
      AddBytes(1, MultiplyBytes(width, static_cast<std::uint64_t>(bytes_per_pixel)));
  return AddBytes(bytes, MultiplyBytes(height, row) / kDeflateBest);
}

// The header and text chunks; false after libpng failed (its message in
// p.message). Only plain values live here across the setjmp.
bool PngEncoder::WriteHeader(Png& p, std::uint32_t width, std::uint32_t height, int bit_depth,
                             void* chunks, int count) {
  if (setjmp(png_jmpbuf(p.png))) return false;
  png_set_write_fn(p.png, p.out, WriteToText, FlushText);
  // The lattice sets the size, not a file from elsewhere: PNG's own limits
  // are the only ones. png_set_IHDR checks the size against these limits
  // (1,000,000 pixels a side unless raised), so they are raised first.
  png_set_user_limits(p.png, 0x7fffffff, 0x7fffffff);
  png_set_IHDR(p.png, p.info, width, height, bit_depth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(p.png, kZlibLevel);
  png_set_filter(p.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_text(p.png, p.info, static_cast<png_text*>(chunks), count);
  png_write_info(p.png, p.info);
  return true;
}

PngEncoder::PngEncoder(TextFile& out, std::uint32_t width, std::uint32_t height, int bit_depth,
                       const std::vector<PngText>& texts)
    : png_(new Png) {
  png_->out = &out;
  png_->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, png_->message, OnPngError,
                                      OnPngWarning);
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
  if (!WriteHeader(*png_, width, height, bit_depth, chunks.data(), static_cast<int>(chunks.size()))) {
    const std::string message = png_->message;
    png_destroy_write_struct(&png_->png, &png_->info);
    delete png_;
    throw Exception(message);
  }
  CheckIoResult();
}

PngEncoder::~PngEncoder() {
  png_destroy_write_struct(&png_->png, &png_->info);
  delete png_;
}

void PngEncoder::WriteRow(std::span<const std::uint8_t> row) {
  Png& p = *png_;
  if (setjmp(png_jmpbuf(p.png))) throw Exception(p.message);
  png_write_row(p.png, row.data());
  CheckIoResult();
}

void PngEncoder::Finish() {
  Png& p = *png_;
  if (setjmp(png_jmpbuf(p.png))) throw Exception(p.message);
  png_write_end(p.png, p.info);
  CheckIoResult();
}

}  // namespace pelmoro
