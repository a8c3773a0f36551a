// The screenshot writer over any size and pixels: the file's structure and
// checksums hold, zlib inflates its data, and the pixels come back. With
// VEYRA_PNG_OUT set each image is also written there for pngcheck (the
// corpus test runs it; per fuzz iteration it would be far too slow).
#include <zlib.h>

#include <atomic>
#include <cstring>

#include "fuzz_support.h"
#include "selftest/png.h"

namespace {
uint32_t be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // Sizes up to 300 wide so a row can pass the 65535-byte stored block.
  const uint32_t width = 1 + (uint32_t(data[0]) | uint32_t(data[1] & 1) << 8) % 300;
  const uint32_t height = 1 + (data[1] >> 1) % 128;
  const bool alpha = data[2] & 1;
  std::vector<unsigned char> pixels(size_t(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = size > 3 ? data[3 + i % (size - 3)] ^ (unsigned char)(i >> 8) : 0;

  const std::vector<unsigned char> png = encodePng(pixels.data(), width, height, alpha);
  static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  FUZZ_CHECK(png.size() > 8 && std::memcmp(png.data(), signature, 8) == 0);
  std::vector<unsigned char> compressed;
  std::vector<std::string> kinds;
  size_t pos = 8;
  while (pos < png.size()) {
    FUZZ_CHECK(pos + 12 <= png.size());
    const uint32_t n = be32(&png[pos]);
    FUZZ_CHECK(pos + 12 + n <= png.size());
    const std::string kind(reinterpret_cast<const char*>(&png[pos + 4]), 4);
    const unsigned char* body = &png[pos + 8];
    FUZZ_CHECK(::crc32(::crc32(0, &png[pos + 4], 4), body, n) == be32(body + n));
    if (kind == "IHDR") {
      FUZZ_CHECK(n == 13 && be32(body) == width && be32(body + 4) == height);
      FUZZ_CHECK(body[8] == 8 && body[9] == (alpha ? 6 : 2) && body[10] == 0 && body[11] == 0 && body[12] == 0);
    }
    if (kind == "IDAT") compressed.insert(compressed.end(), body, body + n);
    kinds.push_back(kind);
    pos += 12 + n;
  }
  FUZZ_CHECK(kinds.size() >= 3 && kinds.front() == "IHDR" && kinds.back() == "IEND");

  const size_t channels = alpha ? 4 : 3, row = 1 + width * channels;
  std::vector<unsigned char> raw(row * height + 1);
  uLongf rawSize = raw.size();
  FUZZ_CHECK(uncompress(raw.data(), &rawSize, compressed.data(), compressed.size()) == Z_OK);
  FUZZ_CHECK(rawSize == row * height);
  for (uint32_t y = 0; y < height; ++y) {
    FUZZ_CHECK(raw[y * row] == 0);
    for (uint32_t x = 0; x < width; ++x)
      FUZZ_CHECK(std::memcmp(&raw[y * row + 1 + x * channels], &pixels[(size_t(y) * width + x) * 4], channels) == 0);
  }

  if (const char* out = std::getenv("VEYRA_PNG_OUT")) {
    static std::atomic<int> count{0};
    std::string path = std::string(out) + "/" + std::to_string(count++) + ".png";
    FUZZ_CHECK(writePng(path, pixels.data(), width, height, alpha));
  }
  return 0;
}
