// The widgets, the background and the What's new text handling, checked in a
// headless Dear ImGui frame with the real fonts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <filesystem>
#include <set>
#include <sstream>

#include "ui/background.h"
#include "ui/style.h"
#include "ui/whats_new.h"
#include "ui_harness.h"

namespace {

unsigned rgbOf(ImU32 c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
unsigned alphaOf(ImU32 c) { return c >> 24; }

int countColour(const std::vector<ImDrawVert>& v, unsigned rgb, unsigned alpha) {
  int n = 0;
  for (const ImDrawVert& x : v) n += rgbOf(x.col) == rgb && alphaOf(x.col) == alpha;
  return n;
}

}  // namespace

TEST(UiStyle, PackColourClampsAndOrdersChannels) {
  EXPECT_EQ(packColour(0x112233, 1.0f), 0xFF332211u);
  EXPECT_EQ(packColour(0x112233, 0.5f), 0x7F332211u);  // truncated, not rounded
  EXPECT_EQ(packColour(0x112233, 2.0f), 0xFF332211u);
  EXPECT_EQ(packColour(0x112233, -1.0f), 0x00332211u);
  const ImVec4 v = colourVec(0xFF8000, 0.25f);
  EXPECT_FLOAT_EQ(v.x, 1.0f);
  EXPECT_NEAR(v.y, 128 / 255.0f, 1e-6);
  EXPECT_FLOAT_EQ(v.z, 0.0f);
  EXPECT_FLOAT_EQ(v.w, 0.25f);
}

TEST(UiBackground, ColourTableEntries) {
  const BackgroundColourTable t = buildBackgroundColours();
  struct Case {
    int row, col;
    unsigned r, g, b;
  } cases[] = {{0, 0, 0, 1, 3}, {15, 24, 6, 14, 48}, {27, 24, 15, 38, 112}, {30, 24, 13, 34, 98}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " column " << c.col);
    const uint32_t v = t[size_t(c.row) * kBackgroundColumns + size_t(c.col)];
    EXPECT_EQ(v & 0xFF, c.r);
    EXPECT_EQ((v >> 8) & 0xFF, c.g);
    EXPECT_EQ((v >> 16) & 0xFF, c.b);
    EXPECT_EQ(v >> 24, 0xFFu);
  }
}

TEST(UiBackground, MeshShaftsAndScanlines) {
  UiHarness ui(2.0f, ImVec2(1000, 700));
  ui.frame([] {
    ImDrawList* dl = ImGui::GetBackgroundDrawList();
    const int v0 = dl->VtxBuffer.Size, i0 = dl->IdxBuffer.Size;
    drawBackgroundInto(dl, 1000, 700, 0, false);
    // The mesh's block, then 15 shafts of 5 rectangles, then one rectangle per scanline.
    EXPECT_EQ(dl->IdxBuffer[i0 + 2], ImDrawIdx(v0 + 50));
    EXPECT_EQ(dl->IdxBuffer[i0 + 5], ImDrawIdx(v0 + 49));
    int scanlines = 0;
    float lastY = -1;
    for (int i = v0 + 1519; i + 3 < dl->VtxBuffer.Size; ++i) {
      const ImDrawVert& v = dl->VtxBuffer[i];
      // A scanline is four vertices of white at alpha 5; at scale 2 they stay three pixels apart.
      if (v.col == 0x05FFFFFFu && v.pos.x == 0 && v.pos.y != lastY && dl->VtxBuffer[i + 2].pos.y == v.pos.y + 1) {
        if (scanlines > 0) {
          EXPECT_FLOAT_EQ(v.pos.y - lastY, 3.0f);
        }
        lastY = v.pos.y;
        ++scanlines;
      }
    }
    EXPECT_EQ(scanlines, 234);
    EXPECT_FLOAT_EQ(lastY, 699.0f);
  });
}

TEST(UiBackground, StillWithoutMotionAndSameAtTimeZero) {
  UiHarness ui;
  auto picture = [&](double time, bool motion) {
    std::vector<ImDrawVert> out;
    ui.frame([&] {
      ImDrawList* dl = ImGui::GetBackgroundDrawList();
      const int v0 = dl->VtxBuffer.Size;
      drawBackgroundInto(dl, 1120, 760, time, motion);
      out.assign(dl->VtxBuffer.Data + v0, dl->VtxBuffer.Data + dl->VtxBuffer.Size);
    });
    return out;
  };
  auto same = [](const std::vector<ImDrawVert>& a, const std::vector<ImDrawVert>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i].pos.x != b[i].pos.x || a[i].pos.y != b[i].pos.y || a[i].col != b[i].col) return false;
    return true;
  };
  const auto still = picture(0, false);
  EXPECT_TRUE(same(still, picture(37.5, false)));
  EXPECT_TRUE(same(still, picture(0, true)));
  EXPECT_FALSE(same(still, picture(5, true)));
}

TEST(UiWidgets, GlowTextCopies) {
  UiHarness ui;
  ui.inWindow([] {
    // Two glyphs, four vertices each, per copy of the text.
    struct Case {
      bool bold;
      float glow;
      size_t copies;
    } cases[] = {{false, 0, 1}, {true, 0, 3}, {false, 0.9f, 25}, {true, 0.9f, 27}};
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "bold " << c.bold << " glow " << c.glow);
      const auto v = verticesOf([&] { glowText(ImVec2(10, 10), "AB", 24, 0xE8EFFF, 5.0f, c.bold, c.glow); });
      EXPECT_EQ(v.size(), c.copies * 8);
      if (c.glow > 0) {
        EXPECT_EQ(countColour(v, 0x6E9BFF, unsigned(0.9f * 255 * 0.1f)), 8 * 8);  // inner ring
      }
    }
  });
}

TEST(UiWidgets, SpacedTextSize) {
  UiHarness ui;
  ui.inWindow([] {
    const float plain = spacedTextSize("AB", 24, 0).x;
    EXPECT_NEAR(spacedTextSize("AB", 24, 5).x, plain + 5, 1e-3);
    EXPECT_NEAR(spacedTextSize("A", 24, 5).x, spacedTextSize("A", 24, 0).x, 1e-3);
    EXPECT_NEAR(spacedTextSize("é", 24, 5).x, spacedTextSize("é", 24, 0).x, 1e-3);  // one codepoint, two bytes
  });
}

TEST(UiWidgets, ButtonSizedOnTextBeforeHashes) {
  UiHarness ui;
  ui.inWindow([] {
    const float tw = uiFont->CalcTextSizeA(20, FLT_MAX, 0, "Go").x;
    const float th = uiFont->CalcTextSizeA(20, FLT_MAX, 0, "Go").y;
    button("Go##first", ImVec2(0, 0), Secondary, true, 20);
    EXPECT_NEAR(ImGui::GetItemRectSize().x, tw + 44, 1e-3);
    EXPECT_NEAR(ImGui::GetItemRectSize().y, th + 22, 1e-3);
    // A link draws nothing but its text: two glyphs, so "##" and the id are not drawn.
    const auto v = verticesOf([] { button("Go##second", ImVec2(0, 0), Link, true, 20); });
    EXPECT_EQ(v.size(), 8u);
    EXPECT_NEAR(ImGui::GetItemRectSize().x, tw + 4, 1e-3);
    EXPECT_NEAR(ImGui::GetItemRectSize().y, th + 4, 1e-3);
  });
}

TEST(UiWidgets, DisabledPrimaryHasNoGlowAndDimmedEdges) {
  UiHarness ui;
  ui.inWindow([] {
    const auto on = verticesOf([] { button("Prepare##on", ImVec2(300, 64), Primary, true, 24); });
    const auto off = verticesOf([] { button("Prepare##off", ImVec2(300, 64), Primary, false, 24); });
    // Glow rings: #7EA6FF at int(0.056 / i * 255) for i = 1..4.
    for (int i = 1; i <= 4; ++i) {
      EXPECT_GT(countColour(on, 0x7EA6FF, unsigned(0.056f / float(i) * 255)), 0) << i;
      EXPECT_EQ(countColour(off, 0x7EA6FF, unsigned(0.056f / float(i) * 255)), 0) << i;
    }
    EXPECT_GT(countColour(on, 0xDBE7FF, unsigned(0.55f * 255)), 0);
    EXPECT_GT(countColour(off, 0xDBE7FF, unsigned(0.55f * 0.4f * 255)), 0);
    EXPECT_GT(countColour(off, 0x050B26, 0x66), 0);
    // The gradient stays opaque: some fill vertex near the left edge is about #7398EA at full alpha.
    bool opaqueGradient = false;
    for (const ImDrawVert& v : off) {
      const unsigned c = rgbOf(v.col);
      opaqueGradient |= alphaOf(v.col) == 0xFF && std::abs(int(c >> 16) - 0x73) <= 2 &&
                        std::abs(int((c >> 8) & 0xFF) - 0x98) <= 2 && std::abs(int(c & 0xFF) - 0xEA) <= 2;
    }
    EXPECT_TRUE(opaqueGradient);
    EXPECT_FALSE(button("Prepare##off", ImVec2(300, 64), Primary, false, 24));
  });
}

TEST(UiWidgets, NoticeHeight) {
  UiHarness ui;
  ui.inWindow([] {
    const float th = uiFont->CalcTextSizeA(19, FLT_MAX, 1000 - 36, "Title").y;
    notice("Title", "", 0xFF6B7A, 1000);
    EXPECT_NEAR(ImGui::GetItemRectSize().y, 24 + th, 1e-3);
    notice("Title", "body", 0xFF6B7A, 1000);
    EXPECT_GT(ImGui::GetItemRectSize().y, 24 + th + 6);
  });
}

TEST(UiWidgets, ProgressBarFillAndSheen) {
  UiHarness ui;
  ui.inWindow([] {
    const auto empty = verticesOf([] { progressBar(0, ImVec2(400, 18), 1.0); });
    EXPECT_EQ(countColour(empty, 0xFFFFFF, 0x3C), 0);
    EXPECT_EQ(countColour(empty, 0x7EA6FF, 0xFF), 0);  // track only
    // A tiny fraction still fills a bar as wide as it is high.
    const auto tiny = verticesOf([] { progressBar(0.001f, ImVec2(400, 18), 1.0); });
    const ImVec2 a = ImGui::GetItemRectMin();
    float fillRight = a.x;
    for (const ImDrawVert& v : tiny)
      if (alphaOf(v.col) == 0xFF) fillRight = std::max(fillRight, v.pos.x);
    EXPECT_NEAR(fillRight - a.x, 18, 1.0);
    const auto full = verticesOf([] { progressBar(1, ImVec2(400, 18), 1.0); });
    EXPECT_EQ(countColour(full, 0xFFFFFF, 0x3C), 0);  // no sheen when done
    const auto half = verticesOf([] { progressBar(0.5f, ImVec2(400, 18), 1.0); });
    EXPECT_GT(countColour(half, 0xFFFFFF, 0x3C), 0);
  });
}

// Every length, offset and line width doubles at scale 2.
TEST(UiWidgets, ScaleTwoDoubles) {
  struct Measure {
    ImVec2 button, pill, notice;
    float spinnerLine, spinnerRadius, cardBottom;
  };
  auto measure = [](float scale) {
    Measure m{};
    UiHarness ui(scale, ImVec2(2400, 1600));
    ImGui::GetStyle().AntiAliasedLines = false;  // plain quads: a thick line's width is its quad's side
    ImGui::GetStyle().AntiAliasedLinesUseTex = false;
    ui.inWindow([&] {
      button("Prepare the game", ImVec2(0, 0), Primary, true, 24);
      m.button = ImGui::GetItemRectSize();
      pill("Windowed##mode0", true, 18, true);
      m.pill = ImGui::GetItemRectSize();
      notice("The disc image is no longer where it was.", "C:\\games\\disc.iso", 0xFFC35C, 600 * scale);
      m.notice = ImGui::GetItemRectSize();
      const auto v = verticesOf([] { spinner(ImVec2(500, 500), 11, 0); });
      m.spinnerLine = std::hypot(v[0].pos.x - v[3].pos.x, v[0].pos.y - v[3].pos.y);
      m.spinnerRadius = std::hypot((v[0].pos.x + v[3].pos.x) / 2 - 500, (v[0].pos.y + v[3].pos.y) / 2 - 500);
      const float top = ImGui::GetCursorScreenPos().y;
      beginCard(800 * scale, 30);
      ImGui::Dummy(ImVec2(10, 100 * scale));
      endCard();
      m.cardBottom = ImGui::GetCursorScreenPos().y - top;
    });
    return m;
  };
  const Measure one = measure(1), two = measure(2);
  EXPECT_NEAR(two.button.x, 2 * one.button.x, 1.0);
  EXPECT_NEAR(two.button.y, 2 * one.button.y, 1.0);
  EXPECT_NEAR(two.pill.x, 2 * one.pill.x, 1.0);
  EXPECT_NEAR(two.pill.y, 2 * one.pill.y, 1.0);
  EXPECT_NEAR(two.notice.y, 2 * one.notice.y, 1.0);
  EXPECT_NEAR(one.spinnerLine, 3, 0.01);
  EXPECT_NEAR(two.spinnerLine, 6, 0.01);
  EXPECT_NEAR(one.spinnerRadius, 11, 0.01);
  EXPECT_NEAR(two.spinnerRadius, 22, 0.01);
  EXPECT_NEAR(two.cardBottom, 2 * one.cardBottom, 1.0);
}

TEST(UiWhatsNew, EntriesOfTheFiveLineExample) {
  const auto e = buildWhatsNewEntries("### Fixes\n- one\n  two\n\n- three");
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0], "### Fixes");
  EXPECT_EQ(e[1], "- one two");
  EXPECT_EQ(e[2], "");
  EXPECT_EQ(e[3], "- three");
  // A continuation straight after a blank line starts its own entry, spaces kept.
  const auto f = buildWhatsNewEntries("a\n\n   b\n c");
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[2], "   b");
  EXPECT_EQ(f[3], " c");
  EXPECT_EQ(buildWhatsNewEntries("x\n").size(), 2u);  // the part after the last newline is a line too
}

TEST(UiWhatsNew, StripInlineMarkup) {
  struct Case {
    const char *in, *out;
  } cases[] = {
      {"See [the notes](https://x/y) now", "See the notes now"},
      {"`--release` and **bold** and *one*", "--release and bold and *one*"},
      {"[a] b [c](d)", "a] b [c"},  // the first "](...)" closes the link that opened first
      {"[no link here", "[no link here"},
      {"[text](unclosed", "[text](unclosed"},
      {"***", "*"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(stripInlineMarkup(c.in), c.out) << c.in;
}

// Every character any interface text can use is drawn from the embedded Exo 2.
TEST(UiFont, EveryInterfaceCharacterIsInTheFont) {
  UiHarness ui;
  ui.frame([] {});
  std::set<unsigned> codepoints;
  for (unsigned c = 0x20; c < 0x7F; ++c) codepoints.insert(c);
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(VEYRA_SOURCE_DIR) / "src" / "ui")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    for (const char* p = text.c_str(); *p;) {
      unsigned c = 0;
      const int n = ImTextCharFromUtf8(&c, p, nullptr);
      if (c >= 0x80) codepoints.insert(c);
      p += n > 0 ? n : 1;
    }
  }
  EXPECT_GT(codepoints.size(), 95u + 8);  // accents, ellipsis, dashes, bullet, ×, ·, ›
  // The system's faces merged behind Exo 2 cover far more; the interface's own
  // letters must still come from Exo 2 itself.
  ImFontBaked* baked = uiFont->GetFontBaked(20);
  for (unsigned c : codepoints) {
    const ImFontGlyph* g = baked->FindGlyphNoFallback(ImWchar(c));
    EXPECT_TRUE(g && std::string(uiFont->Sources[g->SourceIdx]->Name).rfind("Exo 2", 0) == 0)
        << std::hex << "U+" << c;
  }
}

// The frame loop keeps drawing only while something on screen moves by itself.
TEST(UiStyle, TimedElementsMarkTheirFrame) {
  UiHarness ui;
  struct Case {
    const char* name;
    std::function<void()> draw;
    bool moves;
  };
  const std::vector<Case> cases = {
      {"nothing", [] {}, false},
      {"spinner", [] { spinner(ImVec2(50, 50), 11, 0); }, true},
      {"bar under way", [] { progressBar(0.5f, ImVec2(400, 18), 1.0); }, true},
      {"empty bar", [] { progressBar(0, ImVec2(400, 18), 1.0); }, false},
      {"full bar", [] { progressBar(1, ImVec2(400, 18), 1.0); }, false},
      {"running step", [] { stepIcon(ImVec2(50, 50), StepState::Running, 0); }, true},
      {"finished steps", [] {
         for (StepState s : {StepState::Pending, StepState::Done, StepState::Skipped, StepState::Failed})
           stepIcon(ImVec2(50, 50), s, 0);
       }, false},
  };
  for (const Case& c : cases) {
    takeTimedElementMark();
    ui.inWindow(c.draw);
    EXPECT_EQ(takeTimedElementMark(), c.moves) << c.name;
    EXPECT_FALSE(takeTimedElementMark()) << c.name << ": the mark is cleared once taken";
  }
}
