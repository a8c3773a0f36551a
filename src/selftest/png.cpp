// PNG writer: signature, IHDR, one IDAT holding a zlib stream of stored
// deflate blocks, IEND. Favours simplicity over size; screenshots only.
#include "selftest/png.h"

#include "plat/text.h"

#include <algorithm>
#include <cstdio>

namespace {

void put32(std::vector<unsigned char>& out, uint32_t v) {
  out.push_back((unsigned char)(v >> 24));
  out.push_back((unsigned char)(v >> 16));
  out.push_back((unsigned char)(v >> 8));
  out.push_back((unsigned char)v);
}

void putChunk(std::vector<unsigned char>& out, const char type[4], const std::vector<unsigned char>& data) {
  put32(out, uint32_t(data.size()));
  size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(out.data() + typeAt, 4 + data.size()));
}

}  // namespace

uint32_t crc32(const unsigned char* data, size_t size, uint32_t crc) {
  static uint32_t table[256];
  static bool ready = [] {
    for (uint32_t n = 0; n < 256; n++) {
      uint32_t c = n;
      for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return true;
  }();
  (void)ready;
  crc = ~crc;
  for (size_t i = 0; i < size; i++) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32(const unsigned char* data, size_t size) {
  uint32_t s1 = 1, s2 = 0;
  for (size_t i = 0; i < size; i++) {
    s1 = (s1 + data[i]) % 65521;
    s2 = (s2 + s1) % 65521;
  }
  return (s2 << 16) | s1;
}

std::vector<unsigned char> encodePng(const unsigned char* pixels, uint32_t width, uint32_t height, bool alpha) {
  if (width == 0 || height == 0 || !pixels) return {};
  const size_t bpp = alpha ? 4 : 3;
  std::vector<unsigned char> raw;
  raw.reserve(size_t(height) * (size_t(width) * bpp + 1));
  for (uint32_t y = 0; y < height; y++) {
    raw.push_back(0);  // filter type: none
    const unsigned char* row = pixels + size_t(y) * width * 4;
    for (uint32_t x = 0; x < width; x++) raw.insert(raw.end(), row + size_t(x) * 4, row + size_t(x) * 4 + bpp);
  }

  std::vector<unsigned char> z{0x78, 0x01};
  z.reserve(raw.size() + raw.size() / 65535 * 5 + 16);
  size_t pos = 0;
  do {
    size_t len = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + len == raw.size();
    z.push_back(last ? 0x01 : 0x00);
    z.push_back((unsigned char)(len & 0xFF));
    z.push_back((unsigned char)(len >> 8));
    z.push_back((unsigned char)(~len & 0xFF));
    z.push_back((unsigned char)((~len >> 8) & 0xFF));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + len);
    pos += len;
  } while (pos < raw.size());
  put32(z, adler32(raw.data(), raw.size()));

  std::vector<unsigned char> file{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<unsigned char> ihdr;
  put32(ihdr, width);
  put32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, (unsigned char)(alpha ? 6 : 2), 0, 0, 0});
  putChunk(file, "IHDR", ihdr);
  putChunk(file, "IDAT", z);
  putChunk(file, "IEND", {});
  return file;
}

bool writePng(const std::string& path, const unsigned char* pixels, uint32_t width, uint32_t height, bool alpha) {
  std::vector<unsigned char> file = encodePng(pixels, width, height, alpha);
  if (file.empty()) return false;
  FILE* f = plat::openFile(path, "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  if (std::fclose(f) != 0) ok = false;
  return ok;
}
