// Vetting a face before the atlas sees it: the atlas asserts on a face its
// rasteriser cannot open, and a file in the fonts folder may be no font, cut
// short, or a collection without the face asked for. The system's fonts are
// trusted beyond this; the check is for wrong files, not hostile ones.
// A file of its own: ImGui's internal header declares a rectangle packer that
// the parser would declare again.
#include <cstdint>

#include "app/font_sources.h"

// A private copy of the rasteriser's parser.
#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <imstb_truetype.h>

namespace {

uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t be16(const unsigned char* p) { return uint16_t(p[0] << 8 | p[1]); }

// The table directory at `offset` and every table it lists lie inside the bytes.
bool tablesInside(const unsigned char* data, size_t size, uint64_t offset) {
  if (offset + 12 > size) return false;
  const uint32_t version = be32(data + offset);
  if (version != 0x00010000 && version != 0x74727565 /* true */ && version != 0x4F54544F /* OTTO */) return false;
  const uint64_t tables = be16(data + offset + 4);
  if (offset + 12 + 16 * tables > size) return false;
  for (uint64_t i = 0; i < tables; i++) {
    const unsigned char* entry = data + offset + 12 + 16 * i;
    if (uint64_t(be32(entry + 8)) + be32(entry + 12) > size) return false;
  }
  return true;
}

}  // namespace

bool fontFaceUsable(const unsigned char* data, size_t size, int index) {
  if (!data || size < 12 || size > size_t(INT32_MAX) || index < 0) return false;
  uint64_t offset = 0;
  if (be32(data) == 0x74746366) {  // ttcf: a collection
    const uint32_t faces = be32(data + 8);
    if (uint32_t(index) >= faces || 12 + 4 * uint64_t(faces) > size) return false;
    offset = be32(data + 12 + 4 * size_t(index));
  } else if (index != 0) {
    return false;
  }
  if (!tablesInside(data, size, offset)) return false;
  stbtt_fontinfo info;
  return stbtt_InitFont(&info, data, int(offset)) != 0;
}
