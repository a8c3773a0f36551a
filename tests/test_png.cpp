// The PNG writer's exact bytes, and what it refuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "plat/text.h"
#include "selftest/png.h"

namespace {
uint32_t be32(const std::vector<unsigned char>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}
}  // namespace

TEST(Png, OnePixelLayout) {
  const unsigned char px[4] = {10, 20, 30, 40};
  std::vector<unsigned char> f = encodePng(px, 1, 1, false);
  // signature, IHDR (8+13+4), then IDAT
  ASSERT_GT(f.size(), 33u + 8);
  EXPECT_EQ(f[25], 2);  // colour type RGB
  EXPECT_EQ(f[24], 8);  // bit depth
  size_t idat = 33;
  EXPECT_EQ(be32(f, idat), 15u);  // 2 + 9 + 4
  const std::vector<unsigned char> want = {0x78, 0x01, 0x01, 0x04, 0x00, 0xFB, 0xFF, 0x00, 10, 20, 30};
  EXPECT_EQ(std::vector<unsigned char>(f.begin() + idat + 8, f.begin() + idat + 8 + 11), want);
  EXPECT_EQ(crc32(reinterpret_cast<const unsigned char*>("IEND"), 4), 0xAE426082u);
}

TEST(Png, StoredBlockBoundaries) {
  // One RGB row of 21845 pixels is 65536 raw bytes (filter byte included): a
  // full block and a one-byte final block. One RGBA row of 16383 pixels is
  // 65533 bytes: a single final block.
  std::vector<unsigned char> px(size_t(21845) * 4, 7);
  std::vector<unsigned char> f = encodePng(px.data(), 21845, 1, false);  // raw 65536
  size_t z = 33 + 8;
  EXPECT_EQ(f[z + 2], 0x00);                 // a full first block
  EXPECT_EQ(f[z + 3] | f[z + 4] << 8, 65535);
  size_t second = z + 2 + 5 + 65535;
  EXPECT_EQ(f[second], 0x01);                // then a final block of one byte
  EXPECT_EQ(f[second + 1] | f[second + 2] << 8, 1);

  std::vector<unsigned char> g = encodePng(px.data(), 16383, 1, true);  // raw 65533: one block
  EXPECT_EQ(g[z + 2], 0x01);
  EXPECT_EQ(g[z + 3] | g[z + 4] << 8, 65533);
}

TEST(Png, EmptyImageWritesNothing) {
  auto path = std::filesystem::temp_directory_path() / "veyra-empty.png";
  std::filesystem::remove(path);
  const unsigned char px[4] = {};
  EXPECT_FALSE(writePng(plat::pathToUtf8(path), px, 0, 5, false));
  EXPECT_FALSE(writePng(plat::pathToUtf8(path), nullptr, 1, 1, false));
  EXPECT_FALSE(std::filesystem::exists(path));
}
