// How large a gray PNG is at least, known before its pixels: what the
// output checks against the free disk space before a scan.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pelmoro {

// A tEXt chunk: keyword and value.
using PngText = std::pair<std::string, std::string>;

// A lower bound, in bytes, of the gray PNG PngEncoder writes for width x
// height pixels of bytes_per_pixel bytes with these text chunks: the
// signature, the header, text and end chunks (every value at least one
// byte), one data chunk with its zlib frame, and the rows (a filter byte
// and the pixels each) compressed as far as deflate ever goes: 258 bytes of
// a match in two bits at the least, 1032 to 1. Saturates at the largest
// uint64. It holds for every deflate encoder, libpng's or zlib's framing
// alike.
std::uint64_t PngSizeLowerBound(std::uint64_t width, std::uint64_t height, int bytes_per_pixel,
                                const std::vector<PngText>& texts);

}  // namespace pelmoro
