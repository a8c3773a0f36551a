// The PNG writer's files read back by decoders we did not write: pngcheck,
// and Python's zlib for the pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "selftest/png.h"

namespace fs = std::filesystem;

TEST(PngFiles, DecodersAgree) {
  fs::path dir = fs::temp_directory_path() / "veyra-png-test";
  fs::create_directories(dir);
  std::mt19937 rng(7);
  for (auto [w, h, alpha] : {std::tuple{1u, 1u, false}, std::tuple{300u, 257u, false}, std::tuple{97u, 700u, true}}) {
    std::vector<unsigned char> px(size_t(w) * h * 4);
    for (auto& b : px) b = (unsigned char)rng();
    fs::path png = dir / ("img" + std::to_string(w) + ".png");
    ASSERT_TRUE(writePng(png.string(), px.data(), w, h, alpha));
    std::string cmd = "pngcheck -q " + png.string() + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "pngcheck rejected " << png;

    fs::path raw = dir / "expected.raw";
    std::ofstream out(raw, std::ios::binary);
    for (size_t i = 0; i < px.size(); i += 4) out.write(reinterpret_cast<char*>(&px[i]), alpha ? 4 : 3);
    out.close();
    // Decode IDAT with zlib, drop the filter bytes, compare with the pixels.
    std::string py = R"(
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
pos, idat, w, h, ct = 8, b'', 0, 0, 0
while pos < len(data):
    n = struct.unpack('>I', data[pos:pos+4])[0]; kind = data[pos+4:pos+8]; body = data[pos+8:pos+8+n]
    if zlib.crc32(kind + body) != struct.unpack('>I', data[pos+8+n:pos+12+n])[0]: sys.exit(3)
    if kind == b'IHDR': w, h, _, ct = struct.unpack('>IIBB', body[:10])
    if kind == b'IDAT': idat += body
    pos += 12 + n
raw = zlib.decompress(idat); bpp = 4 if ct == 6 else 3; row = w * bpp + 1
pix = b''.join(raw[y*row+1:(y+1)*row] for y in range(h))
sys.exit(0 if pix == open(sys.argv[2], 'rb').read() else 4)
)";
    fs::path script = dir / "decode.py";
    std::ofstream(script) << py;
    cmd = "/usr/bin/python3 " + script.string() + " " + png.string() + " " + raw.string();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "pixels differ for " << w << "x" << h;
  }
  fs::remove_all(dir);
}
