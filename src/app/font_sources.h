// Font sources for the ImGui atlas: the embedded typeface with all its
// subsets, and the system's faces for the scripts it lacks. Every source is
// read in place from memory that lives as long as the process (a resource or a
// mapped file), so coverage costs no copies, and Dear ImGui bakes only the
// glyphs that are drawn.
#pragma once
#include <cstddef>
#include <vector>

#include "plat/fonts.h"

struct ImFont;
struct ImFontAtlas;

// Whether the bytes hold a TrueType or OpenType face at `index` (a collection
// holds several) whose tables all lie inside the bytes and that the rasteriser
// can open. A file that is no font, is cut short or lacks the face says no.
bool fontFaceUsable(const unsigned char* data, size_t size, int index);

// Adds the face as a new font, or with `merge` as one more source of the atlas's
// last font, consulted for the characters the earlier sources lack. The bytes
// are never copied and must outlive the atlas. Null when the face is unusable.
ImFont* addFontBytes(ImFontAtlas& atlas, const unsigned char* data, size_t size, int index, float sizePixels,
                     bool merge, const char* name);

// The same for a face of a font file, mapped once for the process's life. Null
// when the file is missing or cannot be mapped, or the face is unusable.
ImFont* addFontFile(ImFontAtlas& atlas, const plat::FontFace& face, float sizePixels, bool merge);

// The embedded typeface at that size: its Latin resource "EXO2" with the other
// subsets merged behind it. Null without the Latin resource.
ImFont* addEmbeddedTypeface(ImFontAtlas& atlas, float sizePixels);

// Merges every usable face into the atlas's last font, in order; a face that
// cannot be mapped or read is skipped. Returns how many were merged.
int mergeFallbackFaces(ImFontAtlas& atlas, const std::vector<plat::FontFace>& faces);
