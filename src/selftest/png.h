// A small PNG encoder of our own: no compression library, deflate "stored"
// blocks only, so screenshots are valid files any viewer opens.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// pixels: width x height RGBA, top row first. alpha false writes RGB.
bool writePng(const std::string& path, const unsigned char* pixels, uint32_t width, uint32_t height, bool alpha);
// The whole file in memory (what writePng writes); empty for an empty image.
std::vector<unsigned char> encodePng(const unsigned char* pixels, uint32_t width, uint32_t height, bool alpha);
uint32_t crc32(const unsigned char* data, size_t size, uint32_t crc = 0);
uint32_t adler32(const unsigned char* data, size_t size);
