// Font sources read in place: the embedded typeface's subsets and the system's
// faces for other scripts.
#include "app/font_sources.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <cstdio>
#include <string>

#include "plat/resource.h"

namespace {

// The subsets of the embedded typeface after the Latin one, as the build
// embeds them. Latin comes first, so every letter it has keeps its shape.
struct TypefaceSubset {
  const char* resource;
  const char* name;
};
constexpr TypefaceSubset kTypefaceSubsets[] = {{"EXO2_LATIN_EXT", "Exo 2 latin-ext"},
                                               {"EXO2_CYRILLIC", "Exo 2 cyrillic"},
                                               {"EXO2_CYRILLIC_EXT", "Exo 2 cyrillic-ext"},
                                               {"EXO2_VIETNAMESE", "Exo 2 vietnamese"}};

// Dear ImGui 1.92 copies any font data its atlas does not own. This loader is
// its own TrueType loader but for one step: the source comes in marked as owned
// (so no copy is made) and is marked as not owned once it is set up (so the
// atlas never frees it). A Han face of tens of megabytes stays a mapping of
// which only the pages of the glyphs drawn are ever read.
bool initSourceInPlace(ImFontAtlas* atlas, ImFontConfig* src) {
  src->FontDataOwnedByAtlas = false;
  return ImFontAtlasGetFontLoaderForStbTruetype()->FontSrcInit(atlas, src);
}

const ImFontLoader* inPlaceLoader() {
  static const ImFontLoader loader = [] {
    ImFontLoader l = *ImFontAtlasGetFontLoaderForStbTruetype();
    l.Name = "stb_truetype in place";
    l.FontSrcInit = initSourceInPlace;
    return l;
  }();
  return &loader;
}

std::string fileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ImFont* addFontBytes(ImFontAtlas& atlas, const unsigned char* data, size_t size, int index, float sizePixels,
                     bool merge, const char* name) {
  if (!fontFaceUsable(data, size, index)) return nullptr;
  if (merge && atlas.Fonts.empty()) return nullptr;
  ImFontConfig cfg;
  cfg.FontData = const_cast<unsigned char*>(data);
  cfg.FontDataSize = int(size);
  cfg.FontDataOwnedByAtlas = true;  // see initSourceInPlace
  cfg.FontLoader = inPlaceLoader();
  cfg.FontNo = ImU32(index);
  cfg.SizePixels = merge ? 0.0f : sizePixels;  // a merged source takes the font's size
  cfg.MergeMode = merge;
  std::snprintf(cfg.Name, sizeof cfg.Name, "%s", name);
  return atlas.AddFont(&cfg);
}

ImFont* addEmbeddedTypeface(ImFontAtlas& atlas, float sizePixels) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  if (!plat::findResource("EXO2", data, size)) return nullptr;
  ImFont* font = addFontBytes(atlas, data, size, 0, sizePixels, false, "Exo 2");
  if (!font) return nullptr;
  for (const TypefaceSubset& subset : kTypefaceSubsets)
    if (plat::findResource(subset.resource, data, size)) addFontBytes(atlas, data, size, 0, 0, true, subset.name);
  return font;
}

ImFont* addFontFile(ImFontAtlas& atlas, const plat::FontFace& face, float sizePixels, bool merge) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  std::string error;
  if (!plat::mapFontFile(face.path, data, size, error)) return nullptr;
  return addFontBytes(atlas, data, size, face.index, sizePixels, merge, fileName(face.path).c_str());
}

int mergeFallbackFaces(ImFontAtlas& atlas, const std::vector<plat::FontFace>& faces) {
  int merged = 0;
  // A face that is gone or unreadable only leaves its letters as boxes.
  for (const plat::FontFace& face : faces)
    if (addFontFile(atlas, face, 0, true)) merged++;
  return merged;
}
