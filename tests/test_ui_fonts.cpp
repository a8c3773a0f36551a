// Every letter of a player's name is drawn: the embedded typeface brings its
// accented Latin, Cyrillic and Vietnamese subsets, the system's faces cover the
// other scripts, and the atlas holds only the glyphs that were drawn. (That the
// interface's own texts keep the embedded typeface is checked with the widgets.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/font_sources.h"
#include "plat/resource.h"
#include "plat/text.h"
#include "ui/style.h"
#include "ui/ui.h"
#include "ui_harness.h"

namespace fs = std::filesystem;

namespace {

// A saves folder as players name theirs: Polish, Czech, Serbian, Vietnamese,
// Greek and Japanese.
const char* const kPlayerPath = "/home/Łukasz/Dvořák/Ђорђе/Nguyễn/Ελένη/東京";
// The parts the embedded typeface covers by itself.
const char* const kTypefaceNames[] = {"Łukasz", "Dvořák", "Ђорђе", "Nguyễn"};

std::vector<unsigned> codepoints(const std::string& text) {
  std::vector<unsigned> out;
  for (const char* p = text.c_str(); *p;) {
    unsigned c = 0;
    p += ImTextCharFromUtf8(&c, p, nullptr);
    out.push_back(c);
  }
  return out;
}

std::string hex(unsigned c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", c);
  return buf;
}

// A font file stays mapped until the process ends, and Windows then never
// finishes deleting it (a folder removal there waits for good), so there the
// folder stays for the next run to reuse or clear.
void removeFontFolder(const fs::path& dir) {
#ifndef _WIN32
  std::error_code ec;
  fs::remove_all(dir, ec);
#endif
}

bool fromTypeface(ImFont* font, const ImFontGlyph* glyph) {
  return std::string(font->Sources[glyph->SourceIdx]->Name).rfind("Exo 2", 0) == 0;
}

// The system faces the test needs. The Windows build runs under Wine here, and
// Wine's fonts folder is empty, so a folder of the test's own stands in for
// C:\Windows\Fonts, holding this machine's faces under the names Windows gives
// its own; a real Windows keeps its own folder.
struct SystemFonts {
  std::string oldWindir;
  fs::path folder;
  SystemFonts() {
#ifdef _WIN32
    const fs::path general = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf";
    const fs::path han = "Z:\\usr\\share\\fonts\\truetype\\wqy\\wqy-microhei.ttc";
    std::error_code ec;
    if (!fs::exists(general, ec) || !fs::exists(han, ec)) return;
    folder = fs::temp_directory_path() / "veyra_ui_fonts_windir";
    fs::create_directories(folder / "Fonts");
    // An earlier test in this process may hold the copies mapped: they stay as they are.
    fs::copy_file(general, folder / "Fonts" / "segoeui.ttf", fs::copy_options::overwrite_existing, ec);
    fs::copy_file(han, folder / "Fonts" / "msyh.ttc", fs::copy_options::overwrite_existing, ec);
    oldWindir = plat::getEnv("WINDIR");
    plat::setEnv("WINDIR", plat::pathToUtf8(folder));
#endif
  }
  ~SystemFonts() {
    if (folder.empty()) return;
    plat::setEnv("WINDIR", oldWindir);
    removeFontFolder(folder);
  }
};

struct FontsFixture : testing::Test {
  SystemFonts systemFonts;  // before the harness: loadFonts reads the fonts folder
  UiHarness ui;
  App app;
  WidgetTrace trace;

  FontsFixture() {
    app.stage = Ready;
    app.userDir = kPlayerPath;
    ImGui::GetIO().UserData = &trace;
  }
  ~FontsFixture() override { ImGui::GetIO().UserData = nullptr; }
  void frame() {
    trace.entries.clear();
    ui.frame([&] { drawUi(app); });
  }
  bool shows(const std::string& text) const { return traceShows(trace, text); }
  // Every size the atlas has baked the font at.
  static std::vector<ImFontBaked*> bakedSizes(ImFont* font) {
    std::vector<ImFontBaked*> out;
    auto& pool = ImGui::GetIO().Fonts->Builder->BakedPool;
    for (int i = 0; i < pool.Size; i++)
      if (pool[i].ContainerFont == font && !pool[i].WantDestroy) out.push_back(&pool[i]);
    return out;
  }
  static int bakedGlyphs() {
    int n = 0;
    auto& pool = ImGui::GetIO().Fonts->Builder->BakedPool;
    for (int i = 0; i < pool.Size; i++) n += pool[i].Glyphs.Size;
    return n;
  }
};

}  // namespace

TEST_F(FontsFixture, APathInEveryScriptDrawsWithoutBoxes) {
  app.currentTab = 2;
  frame();
  ASSERT_TRUE(shows(kPlayerPath)) << "the Maintenance tab shows the saves folder";
  // The path was drawn with uiFont at the sizes baked so far; notices draw paths with monoFont.
  for (ImFont* font : {uiFont, monoFont}) {
    std::vector<ImFontBaked*> sizes = bakedSizes(font);
    if (sizes.empty()) sizes.push_back(font->GetFontBaked(20));
    for (ImFontBaked* baked : sizes)
      for (unsigned c : codepoints(kPlayerPath))
        EXPECT_NE(baked->FindGlyphNoFallback(ImWchar(c)), nullptr)
            << hex(c) << " missing from " << font->GetDebugName() << " at " << baked->Size;
  }
  // Accented Latin, Cyrillic and Vietnamese come from the typeface's own subsets.
  ImFontBaked* ui20 = uiFont->GetFontBaked(20);
  for (const char* name : kTypefaceNames)
    for (unsigned c : codepoints(name)) {
      const ImFontGlyph* g = ui20->FindGlyphNoFallback(ImWchar(c));
      ASSERT_NE(g, nullptr) << hex(c);
      EXPECT_TRUE(fromTypeface(uiFont, g)) << hex(c) << " came from " << uiFont->Sources[g->SourceIdx]->Name;
    }
}

TEST_F(FontsFixture, TheAtlasHoldsOnlyWhatIsDrawn) {
  frame();
  const int before = bakedGlyphs();
  const std::string names = kPlayerPath;
  const std::vector<unsigned> cps = codepoints(names);
  const size_t distinct = std::set<unsigned>(cps.begin(), cps.end()).size();
  const float sizes[] = {15, 20, 34};
  ui.inWindow([&] {
    for (float size : sizes)
      for (ImFont* font : {uiFont, monoFont})
        ImGui::GetWindowDrawList()->AddText(font, size, ImVec2(0, 0), 0xFFFFFFFF, names.c_str());
  });
  ui.frame([] {});
  const int added = bakedGlyphs() - before;
  // At most each letter once per font and size, plus each new size's few blanks and fallback glyphs.
  EXPECT_LE(added, int(distinct * 2 * std::size(sizes) + 2 * std::size(sizes) * 4)) << "glyphs baked: " << added;
  const ImTextureData* tex = ImGui::GetIO().Fonts->TexData;
  EXPECT_LE(tex->Width * tex->Height, 1024 * 1024) << tex->Width << " x " << tex->Height;

  // The system's faces are read in place, once, however many fonts merge them.
  for (ImFont* font : {uiFont, monoFont})
    for (int i = 1; i < font->Sources.Size; i++)
      EXPECT_FALSE(font->Sources[i]->FontDataOwnedByAtlas) << font->Sources[i]->Name << " was copied";
  if (monoFont == uiFont) return;
  for (ImFontConfig* a : uiFont->Sources)
    for (ImFontConfig* b : monoFont->Sources)
      if (std::string(a->Name) == b->Name) {
        EXPECT_EQ(a->FontData, b->FontData) << a->Name;
      }
}

TEST(UiFontSources, FacesThatCannotBeReadAreSkipped) {
  UiHarness ui;
  const unsigned char* exo = nullptr;
  size_t exoSize = 0;
  ASSERT_TRUE(plat::findResource("EXO2", exo, exoSize));
  const std::string font(reinterpret_cast<const char*>(exo), exoSize);
  std::string badTable = font;
  badTable[12 + 12] = badTable[12 + 13] = badTable[12 + 14] = badTable[12 + 15] = '\x7f';  // first table's length

  const fs::path dir = fs::temp_directory_path() / "veyra_ui_font_sources";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  struct Case {
    const char* name;
    std::string bytes;  // written to a file of that name; none for "missing"
    int index;
  };
  const Case cases[] = {
      {"missing.ttf", "", 0},
      {"empty.ttf", "", 0},
      {"not-a-font.ttf", "These are no font tables, only a sentence that is long enough.", 0},
      {"cut-short.ttf", font.substr(0, font.size() / 2), 0},
      {"table-past-the-end.ttf", badTable, 0},
      {"no-such-face.ttf", font, 1},
      {"collection-cut-short.ttc", std::string("ttcf\0\2\0\0\0\0\0\5", 12), 3},
  };
  ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
  for (const Case& c : cases) {
    const fs::path path = dir / c.name;
    if (std::string(c.name) != "missing.ttf") std::ofstream(path, std::ios::binary) << c.bytes;
    const int sources = atlas.Sources.Size;
    EXPECT_EQ(mergeFallbackFaces(atlas, {{plat::pathToUtf8(path), c.index}}), 0) << c.name;
    EXPECT_EQ(atlas.Sources.Size, sources) << c.name;
  }
  // Around the bad ones, a good face still merges, and the font still draws.
  std::ofstream(dir / "good.ttf", std::ios::binary) << font;
  const std::vector<plat::FontFace> mixed = {{plat::pathToUtf8(dir / "missing-too.ttf"), 0},
                                             {plat::pathToUtf8(dir / "good.ttf"), 0}};
  EXPECT_EQ(mergeFallbackFaces(atlas, mixed), 1);
  ui.inWindow([] { ImGui::TextUnformatted("Łukasz"); });
  removeFontFolder(dir);
}
