// The Dear ImGui style and the custom widgets. Nothing the user clicks uses the
// library's stock look: every widget is an invisible button or a dummy item
// for layout, hover and focus, painted with draw-list primitives.
#include "ui/style.h"

#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/app.h"
#include "app/window.h"
#include "ui/palette.h"
#include "ui/views.h"

namespace {

// Widget measures at scale 1.
struct WidgetMeasures {
  float glowRingStep = 1.6f;       // glowText halo ring radius step
  // A text halo is eight offset copies of the text per ring, a shape's glow one
  // rectangle per ring: the text keeps to three, where a fourth would cost
  // another eight copies of every heading for a ring too faint to see.
  int textGlowRings = 3;
  float boldOffsetX = 0.55f;       // faux-bold copies
  float boldOffsetY = 0.3f;
  float headingSize = 30, headingSpacing = 0.5f, headingGlow = 0.5f;
  float noticePadX = 18, noticePadY = 12, noticeTitleSize = 19, noticeBodySize = 15, noticeBodyGap = 6;
  float noticeRounding = 12, noticeAccent = 4;
  float buttonPadW = 44, buttonPadH = 22, linkPad = 4, buttonMaxRadius = 16, textLift = 1;
  float ringStep = 2.5f;           // grown rectangles of a glow
  int shapeGlowRings = 4;
  float primaryOutline = 1.2f, primaryBoldX = 0.5f;
  float pillPadW = 30, pillPadH = 14;
  float rowButtonHeight = 42, rowButtonFont = 18, rowGap = 18, rowTextTop = 9, rowWrapGap = 20, rowTextSize = 17;
  float sheenWidth = 40, sheenSpeed = 160;
  float cardShadowTop = 6, cardShadowBottom = 10, cardShadowRounding = 16, cardRounding = 14, cardSheenInset = 14,
        cardSheenHeight = 40;
  float stepRadius = 9, stepLine = 1.5f, markLine = 2;
  // Parts of a step icon, as fractions of its radius.
  float pendingRing = 0.7f, runningDot = 0.75f, crossHalf = 0.4f;
  float focusGap = 3, focusLine = 2, focusGlow = 0.09f, focusGlide = 18;  // glide: rate per second
  float spinnerLine = 3;
  int spinnerSegments = 32;
};
constexpr WidgetMeasures kW;

// The widgets' own colours and alphas; the colours the screens share are in
// palette.h. An alpha is a fraction of 1 unless its name ends in Byte: those
// were tuned as bytes and are kept as bytes so the picture stays the same.
struct WidgetColours {
  // Dear ImGui's own widgets: the resolution list's popup, frames, scrollbars.
  uint32_t popupRgb = 0x060B20;          // popup background, near black blue
  float popupAlpha = 0.97f;
  float borderAlpha = 0.18f;             // outline blue for borders and separators
  float frameAlpha = 0.35f;              // deep blue behind frames and stock buttons
  uint32_t frameHoveredRgb = 0x3250AA;   // a frame under the mouse
  float frameHoveredAlpha = 0.45f;
  uint32_t frameActiveRgb = 0x4664C8;    // a frame being clicked
  float frameActiveAlpha = 0.55f;
  uint32_t scrollGrabRgb = 0x6E8CE6;     // the scrollbar's handle at rest
  float scrollGrabAlpha = 0.5f;
  float scrollGrabHoveredAlpha = 0.7f;   // accent blue
  float scrollGrabActiveAlpha = 0.8f;    // accent violet
  float headerAlpha = 0.22f;             // accent violet behind a selected list entry
  float headerHoveredAlpha = 0.28f;      // accent blue behind a hovered one
  float headerActiveAlpha = 0.4f;        // accent violet behind a clicked one
  uint32_t textSelectedRgb = 0x6E96FF;   // selected text in a field
  float textSelectedAlpha = 0.4f;
  uint32_t navCursorRgb = 0xB9D0FF;      // the focus: the keyboard's frame and the gamepad's ring
  uint32_t modalDimRgb = 0x01030A;       // over the window behind a modal
  float modalDimAlpha = 0.7f;

  // Every widget.
  uint32_t haloRgb = 0x6E9BFF;           // glowText's halo
  float haloAlpha = 0.1f;                // the inner halo ring at glow 1; ring i has 1/i of it
  float disabledAlpha = 0.4f;            // a disabled widget's fills and edges are multiplied by it
  unsigned textByte = 0xFF, disabledTextByte = 0x66;  // a label enabled and disabled

  // A notice, in the colour it is given: a faint fill, an edge, a bar on the left.
  float noticeFillAlpha = 0.08f, noticeEdgeAlpha = 0.45f, noticeBarAlpha = 0.9f;

  // The primary button: a blue to violet gradient with dark text.
  float primaryGlowAlpha = 0.056f, primaryGlowLitAlpha = 0.112f;  // accent blue rings, at rest and hovered or focused
  uint32_t primaryLeftRgb = 0x7398EA, primaryRightRgb = 0xA88EEA;  // the gradient at rest
  uint32_t primaryHeldLeftRgb = 0x6B8DD8, primaryHeldRightRgb = 0x9B83D8;  // and held down
  uint32_t primaryEdgeRgb = 0xDBE7FF;    // the light outline
  float primaryEdgeAlpha = 0.55f;
  uint32_t primaryTextRgb = 0x050B26;    // dark text on the bright fill

  // Secondary and danger buttons: a deep blue fill, an outline, glow when lit.
  float secondaryGlowAlpha = 0.049f;
  unsigned secondaryFillByte = 0x59, secondaryHoveredByte = 0x7F, secondaryHeldByte = 0x99;
  unsigned secondaryDisabledFillByte = 0x23, secondaryDisabledHoveredByte = 0x33, secondaryDisabledHeldByte = 0x3D;
  float secondaryEdgeAlpha = 0.25f, secondaryEdgeLitAlpha = 0.55f;

  // A link: light blue text, text colour and an underline when hovered.
  uint32_t linkRgb = 0x9EC0FF;
  float linkUnderlineAlpha = 0.8f;

  // A pill: violet when selected, deep blue under the mouse or focus.
  float pillGlowAlpha = 0.042f, pillFillAlpha = 0.2f, pillEdgeAlpha = 0.65f;
  unsigned pillLitByte = 0x72;

  // The progress bar: a deep blue track, an accent gradient and a white sheen.
  unsigned barTrackByte = 0x5A, barEdgeByte = 0x2E;
  float barGlowAlpha = 0.063f;
  uint32_t sheenRgb = 0xFFFFFF;
  unsigned sheenByte = 0x3C;

  // The content card: a shadow, a dark body, a sheen along the top, an outline.
  uint32_t cardShadowRgb = 0x000000;
  unsigned cardShadowByte = 0x46;
  uint32_t cardBodyRgb = 0x080E24;
  unsigned cardBodyByte = 0xCD, cardSheenByte = 0x3C, cardEdgeByte = 0x2E;

  // The step icons: pending ring, running pulse, done and skipped checks, failed cross.
  float pendingAlpha = 0.8f;              // dim text
  unsigned runningPulseByte = 0x26;       // accent blue
  unsigned doneFillByte = 0x38, doneEdgeByte = 0xE5, doneCheckByte = 0xFF;        // green
  unsigned skippedFillByte = 0x1E, skippedEdgeByte = 0x7F, skippedCheckByte = 0x99;  // green, fainter
  unsigned failedFillByte = 0x38;         // red
};
constexpr WidgetColours kC;

// The card under construction; cards never nest.
ImVec2 cardOrigin;
float cardWidth = 0, cardMargin = 0;

// The screen's default button in the frame being drawn and in the one before:
// Enter is handled before anything is drawn, so it goes to last frame's.
struct DefaultButton {
  ImGuiID id = 0;
  ImGuiWindow* window = nullptr;
};
DefaultButton defaultNow, defaultBefore;

float S() { return uiScale; }

ImVec2 textSize(ImFont* f, float px, const std::string& text, float wrap = 0) {
  return f->CalcTextSizeA(px, FLT_MAX, wrap, text.data(), text.data() + text.size());
}

// Grown rounded rectangles around a shape: the cheap stand-in for a blur.
void glowRings(ImDrawList* dl, ImVec2 a, ImVec2 b, float radius, uint32_t rgb, float alpha, bool alphaAsByte) {
  for (int i = 1; i <= kW.shapeGlowRings; ++i) {
    const float e = kW.ringStep * float(i) * S();
    const ImU32 col = alphaAsByte ? packColourByte(rgb, unsigned(alpha / float(i) * 255.0f))
                                  : packColour(rgb, alpha / float(i));
    dl->AddRectFilled(ImVec2(a.x - e, a.y - e), ImVec2(b.x + e, b.y + e), col, radius + e);
  }
}

size_t utf8Length(const char* p) {
  const unsigned char c = static_cast<unsigned char>(*p);
  if (c < 0x80) return 1;
  if ((c >> 5) == 6) return 2;
  if ((c >> 4) == 14) return 3;
  if ((c >> 3) == 30) return 4;
  return 1;
}

void trace(const std::string& text, bool clickable = false, bool enabled = true) {
  if (auto* t = static_cast<WidgetTrace*>(ImGui::GetIO().UserData)) t->entries.push_back({text, clickable, enabled});
}

struct ItemState {
  bool clicked, hovered, held, focused;
};

// An invisible button, disabled when asked, with the states the painters read.
ItemState invisibleItem(const char* id, ImVec2 size, bool enabled) {
  if (!enabled) ImGui::BeginDisabled();
  // Invisible buttons stay out of keyboard navigation unless asked; ours are real buttons.
  const bool pressed = ImGui::InvisibleButton(id, size, ImGuiButtonFlags_EnableNav);
  ItemState st{};
  st.clicked = pressed && enabled;
  st.hovered = ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled);
  st.held = ImGui::IsItemActive();
  st.focused = ImGui::IsItemFocused() && GImGui->NavCursorVisible;
  if (!enabled) ImGui::EndDisabled();
  if (auto* t = static_cast<WidgetTrace*>(ImGui::GetIO().UserData); t && !t->entries.empty()) {
    t->entries.back().min = ImGui::GetItemRectMin();
    t->entries.back().max = ImGui::GetItemRectMax();
    t->entries.back().id = ImGui::GetItemID();
    t->entries.back().pressed = st.clicked;
  }
  return st;
}

}  // namespace

const char* tr(const char* english, const char* french) { return uiFrench ? french : english; }

std::string trs(const char* english, const char* french) { return tr(english, french); }

ImFont* textFont() { return uiFont ? uiFont : ImGui::GetFont(); }

ImU32 packColour(uint32_t rgb, float alpha) {
  const float a = std::clamp(alpha, 0.0f, 1.0f);
  return packColourByte(rgb, unsigned(a * 255.0f));
}

ImU32 packColourByte(uint32_t rgb, unsigned alphaByte) {
  const ImU32 r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return r | (g << 8) | (b << 16) | (ImU32(alphaByte & 0xFF) << 24);
}

ImVec4 colourVec(uint32_t rgb, float alpha) {
  return ImVec4(float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f, float(rgb & 0xFF) / 255.0f,
                alpha);
}

void applyStyle() {
  const float s = S();
  ImGuiStyle& st = ImGui::GetStyle();
  st.FontSizeBase = 20 * s;
  st.WindowPadding = ImVec2(0, 0);
  st.WindowRounding = 14 * s;
  st.WindowBorderSize = 0;
  st.ChildRounding = 14 * s;
  st.PopupRounding = 12 * s;
  st.PopupBorderSize = 1;
  st.FramePadding = ImVec2(14 * s, 9 * s);
  st.FrameRounding = 12 * s;
  st.FrameBorderSize = 1;
  st.ItemSpacing = ImVec2(12 * s, 12 * s);
  st.ItemInnerSpacing = ImVec2(10 * s, 8 * s);
  st.ScrollbarSize = 12 * s;
  st.ScrollbarRounding = 10 * s;
  st.GrabRounding = 10 * s;
  st.SelectableTextAlign = ImVec2(0, 0.5f);

  ImVec4* c = st.Colors;
  const ImVec4 clear(0, 0, 0, 0);
  c[ImGuiCol_Text] = colourVec(kText, 1);
  c[ImGuiCol_TextDisabled] = colourVec(kDimText, 1);
  c[ImGuiCol_WindowBg] = c[ImGuiCol_ChildBg] = c[ImGuiCol_BorderShadow] = c[ImGuiCol_ScrollbarBg] = clear;
  c[ImGuiCol_PopupBg] = colourVec(kC.popupRgb, kC.popupAlpha);
  c[ImGuiCol_Border] = c[ImGuiCol_Separator] = colourVec(kOutlineBlue, kC.borderAlpha);
  c[ImGuiCol_FrameBg] = c[ImGuiCol_Button] = colourVec(kDeepBlue, kC.frameAlpha);
  c[ImGuiCol_FrameBgHovered] = c[ImGuiCol_ButtonHovered] = colourVec(kC.frameHoveredRgb, kC.frameHoveredAlpha);
  c[ImGuiCol_FrameBgActive] = c[ImGuiCol_ButtonActive] = colourVec(kC.frameActiveRgb, kC.frameActiveAlpha);
  c[ImGuiCol_ScrollbarGrab] = colourVec(kC.scrollGrabRgb, kC.scrollGrabAlpha);
  c[ImGuiCol_ScrollbarGrabHovered] = colourVec(kAccentBlue, kC.scrollGrabHoveredAlpha);
  c[ImGuiCol_ScrollbarGrabActive] = colourVec(kAccentViolet, kC.scrollGrabActiveAlpha);
  c[ImGuiCol_CheckMark] = colourVec(kGreen, 1);
  c[ImGuiCol_SliderGrab] = c[ImGuiCol_PlotHistogram] = colourVec(kAccentBlue, 1);
  c[ImGuiCol_SliderGrabActive] = colourVec(kAccentViolet, 1);
  c[ImGuiCol_Header] = colourVec(kAccentViolet, kC.headerAlpha);
  c[ImGuiCol_HeaderHovered] = colourVec(kAccentBlue, kC.headerHoveredAlpha);
  c[ImGuiCol_HeaderActive] = colourVec(kAccentViolet, kC.headerActiveAlpha);
  c[ImGuiCol_TextSelectedBg] = colourVec(kC.textSelectedRgb, kC.textSelectedAlpha);
  c[ImGuiCol_NavCursor] = colourVec(kC.navCursorRgb, 1);
  c[ImGuiCol_ModalWindowDimBg] = colourVec(kC.modalDimRgb, kC.modalDimAlpha);
}

void gap(float n) { ImGui::Dummy(ImVec2(1, n * S())); }

void styledText(const std::string& text, float size, uint32_t rgb, float alpha) {
  trace(text);
  ImGui::PushFont(textFont(), size * S());
  ImGui::PushStyleColor(ImGuiCol_Text, colourVec(rgb, alpha));
  ImGui::PushTextWrapPos(-1.0f);  // one line, even inside a card that wraps
  ImGui::TextUnformatted(text.data(), text.data() + text.size());
  ImGui::PopTextWrapPos();
  ImGui::PopStyleColor();
  ImGui::PopFont();
}

void styledParagraph(const std::string& text, float size, uint32_t rgb, float alpha) {
  trace(text);
  ImGui::PushFont(textFont(), size * S());
  ImGui::PushStyleColor(ImGuiCol_Text, colourVec(rgb, alpha));
  // TextWrapped only wraps at the window edge when no wrap position is pushed.
  ImGuiWindow* w = ImGui::GetCurrentWindow();
  const bool pushed = w->DC.TextWrapPos < 0.0f;
  if (pushed) ImGui::PushTextWrapPos(0.0f);
  ImGui::TextUnformatted(text.data(), text.data() + text.size());
  if (pushed) ImGui::PopTextWrapPos();
  ImGui::PopStyleColor();
  ImGui::PopFont();
}

ImVec2 spacedTextSize(const std::string& text, float size, float spacing) {
  const float px = size * S();
  ImVec2 sz = textSize(textFont(), px, text);
  if (spacing > 0 && !text.empty()) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i += utf8Length(text.data() + i)) ++count;
    sz.x += spacing * S() * float(count - 1);
  }
  return sz;
}

float drawSpacedText(ImDrawList* dl, ImVec2 pos, const std::string& text, float pixelSize, ImU32 colour,
                     float spacing) {
  ImFont* f = textFont();
  if (spacing <= 0) {
    dl->AddText(f, pixelSize, pos, colour, text.data(), text.data() + text.size());
    return textSize(f, pixelSize, text).x;
  }
  float x = pos.x;
  for (size_t i = 0; i < text.size();) {
    const size_t n = std::min(utf8Length(text.data() + i), text.size() - i);
    const char* b = text.data() + i;
    dl->AddText(f, pixelSize, ImVec2(x, pos.y), colour, b, b + n);
    x += f->CalcTextSizeA(pixelSize, FLT_MAX, 0, b, b + n).x + spacing * S();
    i += n;
  }
  return x - pos.x;
}

void glowText(ImVec2 p, const std::string& text, float size, uint32_t rgb, float spacing, bool bold, float glow) {
  trace(text);
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const float s = S(), px = size * s;
  if (glow > 0) {
    for (int i = 1; i <= kW.textGlowRings; ++i) {
      const float r = kW.glowRingStep * float(i) * s;
      const ImU32 col = packColourByte(kC.haloRgb, unsigned(glow * 255.0f * kC.haloAlpha / float(i)));
      for (int j = 0; j < 8; ++j) {
        const double th = double(j) * 3.14159265358979323846 / 4;
        drawSpacedText(dl, ImVec2(p.x + r * float(std::cos(th)), p.y + r * float(std::sin(th))), text, px, col,
                       spacing);
      }
    }
  }
  const ImU32 col = packColour(rgb, 1);
  drawSpacedText(dl, p, text, px, col, spacing);
  if (bold) {
    drawSpacedText(dl, ImVec2(p.x + kW.boldOffsetX * s, p.y), text, px, col, spacing);
    drawSpacedText(dl, ImVec2(p.x + kW.boldOffsetY * s, p.y + kW.boldOffsetY * s), text, px, col, spacing);
  }
}

void heading(const std::string& text, uint32_t rgb) {
  glowText(ImGui::GetCursorScreenPos(), text, kW.headingSize, rgb, kW.headingSpacing, true, kW.headingGlow);
  ImGui::Dummy(spacedTextSize(text, kW.headingSize, kW.headingSpacing));
}

void notice(const std::string& title, const std::string& body, uint32_t rgb, float width) {
  const float s = S();
  trace(title);
  if (!body.empty()) trace(body);
  const ImVec2 p = ImGui::GetCursorScreenPos();
  ImFont* mono = monoFont ? monoFont : textFont();
  // Rectangles first.
  const float c = width - 2 * kW.noticePadX * s;
  const ImVec2 titleSize = textSize(textFont(), kW.noticeTitleSize * s, title, c);
  float extra = 0;
  if (!body.empty()) extra = kW.noticeBodyGap * s + textSize(mono, kW.noticeBodySize * s, body, c).y;
  const float h = 2 * kW.noticePadY * s + titleSize.y + extra;
  const ImVec2 q(p.x + width, p.y + h);
  const float rr = kW.noticeRounding * s;

  ImDrawList* dl = ImGui::GetWindowDrawList();
  dl->AddRectFilled(p, q, packColour(rgb, kC.noticeFillAlpha), rr);
  dl->AddRect(p, q, packColour(rgb, kC.noticeEdgeAlpha), rr, 0, s);
  dl->AddRectFilled(p, ImVec2(p.x + kW.noticeAccent * s, q.y), packColour(rgb, kC.noticeBarAlpha), rr,
                    ImDrawFlags_RoundCornersLeft);
  const ImVec2 tp(p.x + kW.noticePadX * s, p.y + kW.noticePadY * s);
  dl->AddText(textFont(), kW.noticeTitleSize * s, tp, packColour(rgb, 1), title.data(), title.data() + title.size(), c);
  if (!body.empty())
    dl->AddText(mono, kW.noticeBodySize * s, ImVec2(tp.x, tp.y + titleSize.y + kW.noticeBodyGap * s),
                packColour(kSoftText, 1), body.data(), body.data() + body.size(), c);
  ImGui::Dummy(ImVec2(width, h));
}

std::string drawnLabel(const char* label) {
  const char* end = std::strstr(label, "##");
  return end ? std::string(label, end) : std::string(label);
}

bool button(const char* label, ImVec2 size, ButtonKind kind, bool enabled, float fontSize) {
  const float s = S(), px = fontSize * s;
  const std::string text = drawnLabel(label);
  const ImVec2 ts = textSize(textFont(), px, text);
  const bool link = kind == Link;
  if (size.x <= 0) size.x = ts.x + (link ? kW.linkPad : kW.buttonPadW) * s;
  if (size.y <= 0) size.y = ts.y + (link ? kW.linkPad : kW.buttonPadH) * s;

  trace(text, true, enabled);
  const ItemState st = invisibleItem(label, size, enabled);
  const float M = enabled ? 1.0f : kC.disabledAlpha;
  const unsigned textAlpha = enabled ? kC.textByte : kC.disabledTextByte;
  const ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
  const float w = b.x - a.x, h = b.y - a.y;
  const float r = std::min(h / 2, kW.buttonMaxRadius * s);
  const ImVec2 t(a.x + (w - ts.x) / 2, a.y + (h - ts.y) / 2 - kW.textLift * s);
  const bool lit = st.hovered || st.focused;

  ImDrawList* dl = ImGui::GetWindowDrawList();
  auto drawText = [&](ImVec2 at, uint32_t rgb) {
    dl->AddText(textFont(), px, at, packColourByte(rgb, textAlpha), text.data(), text.data() + text.size());
  };
  switch (kind) {
    case Primary: {
      if (enabled) glowRings(dl, a, b, r, kAccentBlue, lit ? kC.primaryGlowLitAlpha : kC.primaryGlowAlpha, true);
      const int v0 = dl->VtxBuffer.Size;
      dl->AddRectFilled(a, b, IM_COL32_WHITE, r);
      uint32_t c0 = kC.primaryLeftRgb, c1 = kC.primaryRightRgb;
      if (st.held) c0 = kC.primaryHeldLeftRgb, c1 = kC.primaryHeldRightRgb;
      else if (st.hovered) c0 = kAccentBlue, c1 = kAccentViolet;
      ImGui::ShadeVertsLinearColorGradientKeepAlpha(dl, v0, dl->VtxBuffer.Size, a, ImVec2(b.x, a.y),
                                                    packColour(c0, 1), packColour(c1, 1));
      dl->AddRect(a, b, packColour(kC.primaryEdgeRgb, kC.primaryEdgeAlpha * M), r, 0, kW.primaryOutline * s);
      drawText(t, kC.primaryTextRgb);
      drawText(ImVec2(t.x + kW.primaryBoldX * s, t.y), kC.primaryTextRgb);
      break;
    }
    case Secondary:
    case Danger: {
      const uint32_t tone = kind == Danger ? kRed : kAccentBlue;
      if (enabled && lit) glowRings(dl, a, b, r, tone, kC.secondaryGlowAlpha, true);
      const unsigned fill =
          enabled ? (st.held      ? kC.secondaryHeldByte
                     : st.hovered ? kC.secondaryHoveredByte
                                  : kC.secondaryFillByte)
                  : (st.held      ? kC.secondaryDisabledHeldByte
                     : st.hovered ? kC.secondaryDisabledHoveredByte
                                  : kC.secondaryDisabledFillByte);
      dl->AddRectFilled(a, b, packColourByte(kDeepBlue, fill), r);
      const float edge = (lit ? kC.secondaryEdgeLitAlpha : kC.secondaryEdgeAlpha) * M;
      dl->AddRect(a, b, packColour(kind == Danger ? kRed : kOutlineBlue, edge), r, 0, s);
      drawText(t, kind == Danger ? kRed : kText);
      break;
    }
    case Link: {
      drawText(t, lit ? kText : kC.linkRgb);
      if (st.hovered)
        dl->AddLine(ImVec2(t.x, t.y + ts.y), ImVec2(t.x + ts.x, t.y + ts.y), packColour(kText, kC.linkUnderlineAlpha),
                    s);
      break;
    }
  }
  return st.clicked;
}

bool pill(const char* label, bool selected, float fontSize, bool enabled) {
  const float s = S(), px = fontSize * s;
  const std::string text = drawnLabel(label);
  const ImVec2 ts = textSize(textFont(), px, text);
  trace(text, true, enabled);
  const ItemState st = invisibleItem(label, ImVec2(ts.x + kW.pillPadW * s, ts.y + kW.pillPadH * s), enabled);
  if (auto* t = static_cast<WidgetTrace*>(ImGui::GetIO().UserData); t && !t->entries.empty())
    t->entries.back().selected = selected;
  const float M = enabled ? 1.0f : kC.disabledAlpha;
  const unsigned textAlpha = enabled ? kC.textByte : kC.disabledTextByte;
  const ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
  const float w = b.x - a.x, h = b.y - a.y, r = h / 2;

  ImDrawList* dl = ImGui::GetWindowDrawList();
  uint32_t textRgb = kSoftText;
  if (selected) {
    glowRings(dl, a, b, r, kAccentViolet, kC.pillGlowAlpha, false);
    dl->AddRectFilled(a, b, packColour(kAccentViolet, kC.pillFillAlpha * M), r);
    dl->AddRect(a, b, packColour(kAccentViolet, kC.pillEdgeAlpha * M), r, 0, s);
    textRgb = kText;
  } else if (st.hovered || st.focused) {
    dl->AddRectFilled(a, b, packColourByte(kDeepBlue, kC.pillLitByte), r);
    textRgb = st.hovered ? kText : kSoftText;
  }
  dl->AddText(textFont(), px, ImVec2(a.x + (w - ts.x) / 2, a.y + (h - ts.y) / 2 - kW.textLift * s),
              packColourByte(textRgb, textAlpha), text.data(), text.data() + text.size());
  return st.clicked;
}

bool actionRow(const ActionRowLayout& layout, const char* label, const std::string& description, bool enabled) {
  const float s = S();
  const float y0 = ImGui::GetCursorPosY();
  const bool clicked = button(label, ImVec2(layout.labelWidth, kW.rowButtonHeight * s), Secondary, enabled,
                              kW.rowButtonFont);
  ImGui::SameLine(0, kW.rowGap * s);
  ImGui::SetCursorPosY(y0 + kW.rowTextTop * s);
  ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + layout.rowWidth - layout.labelWidth - kW.rowWrapGap * s);
  styledParagraph(description, kW.rowTextSize, kSoftText, 1);
  ImGui::PopTextWrapPos();
  ImGui::SetCursorPosY(
      std::max(ImGui::GetCursorPosY() - ImGui::GetStyle().ItemSpacing.y, y0 + kW.rowButtonHeight * s));
  ImGui::Dummy(ImVec2(1, 0));
  return clicked;
}

void defaultButton() {
  ImGuiContext& g = *GImGui;
  ImGui::SetItemDefaultFocus();  // a window or popup appearing for the first time
  const ImGuiID id = ImGui::GetItemID();
  // A view that replaces another in the same window gets no focus of its own
  // from the library. A popup gets its own above, and keeps it while it is open.
  if (id != defaultBefore.id && !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup)) {
    ImGui::SetFocusID(id, g.CurrentWindow);
    g.NavIdIsAlive = true;  // drawn just now, before it had the focus
  }
  defaultNow = {id, g.CurrentWindow};
}

void enterPressesTheDefaultButton() {
  ImGuiContext& g = *GImGui;
  defaultBefore = defaultNow;
  defaultNow = {};
  // Once the player has moved the focus (the cursor shows) the library presses
  // the focused item itself; a mouse click leaves no visible cursor, and the
  // item it clicked must not be pressed again by Enter.
  if (g.NavCursorVisible || g.ActiveId != 0 || defaultBefore.id == 0) return;
  if (!ImGui::IsKeyPressed(ImGuiKey_Enter, false) && !ImGui::IsKeyPressed(ImGuiKey_KeypadEnter, false)) return;
  // A popup without a default button of its own (What's new) must not let
  // Enter reach the screen's button under it.
  const bool inPopup = defaultBefore.window->RootWindow->Flags & ImGuiWindowFlags_Popup;
  if (!inPopup && ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup)) return;
  if (g.NavWindow != defaultBefore.window) ImGui::FocusWindow(defaultBefore.window);
  g.NavId = defaultBefore.id;
  g.NavCursorVisible = true;
  g.NavActivateId = g.NavActivateDownId = g.NavActivatePressedId = defaultBefore.id;
  g.NavActivateFlags = ImGuiActivateFlags_PreferInput;
}

void forgetVanishedFocus() {
  ImGuiContext& g = *GImGui;
  // Escape clears the focused item but leaves the cursor shown, and the
  // library then tabs on from nothing: hidden, the next Tab starts at the top.
  // A gamepad move from an item as wide as its window (a list row) clears the
  // focused item while the move is scored; the next one arrives next frame.
  if (g.NavMoveScoringItems) return;
  if (g.NavId == 0 && !g.NavInitRequest) g.NavCursorVisible = false;
  if (g.NavId == 0 || g.NavIdIsAlive) return;
  // The library tabs on from the focused item; one that is no longer drawn
  // would leave Tab with nothing to move from. Without a focused item and
  // with the cursor hidden, the next Tab goes to the first item.
  if (g.NavWindow) g.NavWindow->NavLastIds[g.NavLayer] = 0;
  g.NavId = 0;
  g.NavCursorVisible = false;
}

namespace {
bool timedElementDrawn = false;
ImRect focusShown;  // where the focus ring was drawn last; empty when it was not
DefaultButton focusOutsidePopups;  // the last focused item outside popups, while a gamepad is in use
bool popupBefore = false;          // a popup was open at the end of the last frame
}  // namespace

const WidgetTrace::Entry* focusedEntry(const WidgetTrace& trace) {
  ImGuiContext& g = *GImGui;
  if (!g.NavWindow || !g.NavId || !g.NavIdIsAlive) return nullptr;
  const ImRect r = ImGui::WindowRectRelToAbs(g.NavWindow, g.NavWindow->NavRectRel[g.NavLayer]);
  for (const auto& e : trace.entries)
    if (e.clickable && std::fabs(e.min.x - r.Min.x) < 1 && std::fabs(e.min.y - r.Min.y) < 1) return &e;
  return nullptr;
}

void keepFocusShown() {
  ImGuiContext& g = *GImGui;
  g.NavCursorVisible = true;
  const bool popupOpen = !g.OpenPopupStack.empty();
  const bool popupClosed = popupBefore && !popupOpen;
  popupBefore = popupOpen;
  if (g.NavId != 0 && g.NavIdIsAlive) {
    if (!popupOpen) focusOutsidePopups = {g.NavId, g.NavWindow};
    return;
  }
  if (g.NavInitRequest || g.NavMoveScoringItems) return;  // a move under way lands next frame
  markTimedElement();  // the focus lands in the next frame
  // A closed list gives the focus back to the item that opened it; the
  // library leaves it nowhere when the list was opened from the card's region.
  if (popupClosed && focusOutsidePopups.id != 0) {
    ImGui::SetFocusID(focusOutsidePopups.id, focusOutsidePopups.window);
    focusOutsidePopups = {};
    return;
  }
  // The screen's default button first, as when its view appears; in an open
  // popup only one of its own.
  ImGuiWindow* target = g.CurrentWindow->RootWindow;
  if (popupOpen && g.OpenPopupStack.back().Window) target = g.OpenPopupStack.back().Window;
  if (defaultNow.id != 0 && defaultNow.window->RootWindow == target->RootWindow) {
    ImGui::SetFocusID(defaultNow.id, defaultNow.window);
  } else {
    if (g.NavWindow != target) ImGui::FocusWindow(target);
    ImGui::NavInitWindow(target, true);
  }
}

void drawFocusRing(bool shown) {
  ImGuiContext& g = *GImGui;
  if (!shown || !g.NavCursorVisible || !g.NavWindow || g.NavId == 0 || !g.NavIdIsAlive) {
    focusShown = ImRect();
    return;
  }
  const float s = S();
  const ImRect target = ImGui::WindowRectRelToAbs(g.NavWindow, g.NavWindow->NavRectRel[g.NavLayer]);
  if (focusShown.GetWidth() <= 0) {
    focusShown = target;
  } else {
    const float k = 1.0f - std::exp(-kW.focusGlide * g.IO.DeltaTime);
    focusShown.Min = ImLerp(focusShown.Min, target.Min, k);
    focusShown.Max = ImLerp(focusShown.Max, target.Max, k);
    const float apart = std::fabs(focusShown.Min.x - target.Min.x) + std::fabs(focusShown.Min.y - target.Min.y) +
                        std::fabs(focusShown.Max.x - target.Max.x) + std::fabs(focusShown.Max.y - target.Max.y);
    if (apart < 0.5f) focusShown = target;
    else markTimedElement();
  }
  ImRect ring = focusShown;
  ring.Expand(kW.focusGap * s);
  const float r = std::min(ring.GetHeight() / 2, (kW.buttonMaxRadius + kW.focusGap) * s);
  // Over everything, but never outside the region that scrolls the item.
  ImDrawList* dl = ImGui::GetForegroundDrawList();
  const ImRect clip = g.NavWindow->Rect();
  dl->PushClipRect(clip.Min, clip.Max, true);
  glowRings(dl, ring.Min, ring.Max, r, kAccentViolet, kW.focusGlow, false);
  dl->AddRect(ring.Min, ring.Max, packColour(kC.navCursorRgb, 1), r, 0, kW.focusLine * s);
  dl->PopClipRect();
}

void markTimedElement() { timedElementDrawn = true; }

bool takeTimedElementMark() {
  const bool marked = timedElementDrawn || ImGui::GetIO().WantTextInput;
  timedElementDrawn = false;
  return marked;
}

void progressBar(float fraction, ImVec2 size, double time) {
  const float s = S();
  ImGui::Dummy(size);
  const ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
  const float w = b.x - a.x, h = b.y - a.y, r = h / 2;
  ImDrawList* dl = ImGui::GetWindowDrawList();
  dl->AddRectFilled(a, b, packColourByte(kDeepBlue, kC.barTrackByte), r);
  dl->AddRect(a, b, packColourByte(kOutlineBlue, kC.barEdgeByte), r, 0, s);
  const float f = std::clamp(fraction, 0.0f, 1.0f);
  if (!(f > 0)) return;
  const float x1 = a.x + std::max(w * f, h);
  const ImVec2 fillMax(x1, b.y);
  glowRings(dl, a, fillMax, r, kAccentBlue, kC.barGlowAlpha, false);
  const int v0 = dl->VtxBuffer.Size;
  dl->AddRectFilled(a, fillMax, IM_COL32_WHITE, r);
  ImGui::ShadeVertsLinearColorGradientKeepAlpha(dl, v0, dl->VtxBuffer.Size, a, ImVec2(a.x + w, a.y),
                                                packColour(kAccentBlue, 1), packColour(kAccentViolet, 1));
  if (f < 1) {
    markTimedElement();
    const float sw = kW.sheenWidth * s;
    const double period = double(x1 - a.x) + 2 * sw;
    const float offset = float(std::fmod(double(kW.sheenSpeed * s) * time, period));
    const float xc = a.x + offset - sw;
    const ImU32 clear = packColourByte(kC.sheenRgb, 0), bright = packColourByte(kC.sheenRgb, kC.sheenByte);
    dl->PushClipRect(a, fillMax, true);
    dl->AddRectFilledMultiColor(ImVec2(xc - sw, a.y), ImVec2(xc, b.y), clear, bright, bright, clear);
    dl->AddRectFilledMultiColor(ImVec2(xc, a.y), ImVec2(xc + sw, b.y), bright, clear, clear, bright);
    dl->PopClipRect();
  }
}

void beginCard(float width, float margin, float maxHeight) {
  const float s = S();
  cardOrigin = ImGui::GetCursorScreenPos();
  cardWidth = width;
  cardMargin = margin * s;
  // The card is a region of its own so that a view taller than the room left
  // scrolls (wheel, and keyboard focus) instead of running over the footer.
  // It shares the window's keyboard navigation, so Tab goes in and out of it.
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(cardMargin, cardMargin));
  ImGui::BeginChild("##card", ImVec2(width, maxHeight),
                    ImGuiChildFlags_AlwaysUseWindowPadding | ImGuiChildFlags_NavFlattened,
                    ImGuiWindowFlags_NoBackground);
  ImGui::PopStyleVar();
  ImGui::BeginGroup();
  ImGui::PushTextWrapPos(width - cardMargin);
}

void endCard() {
  const float s = S();
  ImGui::PopTextWrapPos();
  ImGui::EndGroup();
  const ImGuiWindow* region = ImGui::GetCurrentWindow();
  // The card ends below its view, or at the region's edge when the view scrolls.
  const float bottom = std::min(ImGui::GetItemRectMax().y + cardMargin, region->Pos.y + region->Size.y);
  ImGui::EndChild();
  const ImVec2 o = cardOrigin;
  // Drawn into the window behind the region, so the view paints over it.
  ImDrawList* dl = ImGui::GetWindowDrawList();
  dl->AddRectFilled(ImVec2(o.x, o.y + kW.cardShadowTop * s), ImVec2(o.x + cardWidth, bottom + kW.cardShadowBottom * s),
                    packColourByte(kC.cardShadowRgb, kC.cardShadowByte), kW.cardShadowRounding * s);
  dl->AddRectFilled(o, ImVec2(o.x + cardWidth, bottom), packColourByte(kC.cardBodyRgb, kC.cardBodyByte),
                    kW.cardRounding * s);
  const ImU32 top = packColourByte(kDeepBlue, kC.cardSheenByte), none = packColourByte(kDeepBlue, 0);
  dl->AddRectFilledMultiColor(ImVec2(o.x + kW.cardSheenInset * s, o.y + 1),
                              ImVec2(o.x + cardWidth - kW.cardSheenInset * s, o.y + kW.cardSheenHeight * s), top, top,
                              none, none);
  dl->AddRect(o, ImVec2(o.x + cardWidth, bottom), packColourByte(kOutlineBlue, kC.cardEdgeByte), kW.cardRounding * s, 0,
              s);
  ImGui::SetCursorScreenPos(ImVec2(o.x, bottom));
  ImGui::Dummy(ImVec2(cardWidth, 0));
}

void stepIcon(ImVec2 o, StepState state, double time) {
  const float s = S(), c = kW.stepRadius * s, line = kW.stepLine * s;
  ImDrawList* dl = ImGui::GetWindowDrawList();
  auto check = [&](unsigned alphaByte) {
    const ImVec2 pts[3] = {ImVec2(o.x - 0.45f * c, o.y + 0.02f * c), ImVec2(o.x - 0.1f * c, o.y + 0.38f * c),
                           ImVec2(o.x + 0.5f * c, o.y - 0.38f * c)};
    dl->AddPolyline(pts, 3, packColourByte(kGreen, alphaByte), ImDrawFlags_None, kW.markLine * s);
  };
  switch (state) {
    case StepState::Pending:
      dl->AddCircle(o, kW.pendingRing * c, packColour(kDimText, kC.pendingAlpha), 0, line);
      break;
    case StepState::Running: {
      markTimedElement();
      const float k = float((std::sin(4 * time) * 0.5 + 0.5) * 0.5 + 1.2);
      dl->AddCircleFilled(o, k * c, packColourByte(kAccentBlue, kC.runningPulseByte));
      dl->AddCircleFilled(o, kW.runningDot * c, packColour(kAccentBlue, 1));
      break;
    }
    case StepState::Done:
      dl->AddCircleFilled(o, c, packColourByte(kGreen, kC.doneFillByte));
      dl->AddCircle(o, c, packColourByte(kGreen, kC.doneEdgeByte), 0, line);
      check(kC.doneCheckByte);
      break;
    case StepState::Skipped:
      dl->AddCircleFilled(o, c, packColourByte(kGreen, kC.skippedFillByte));
      dl->AddCircle(o, c, packColourByte(kGreen, kC.skippedEdgeByte), 0, line);
      check(kC.skippedCheckByte);
      break;
    default: {
      dl->AddCircleFilled(o, c, packColourByte(kRed, kC.failedFillByte));
      dl->AddCircle(o, c, packColour(kRed, 1), 0, line);
      const float d = kW.crossHalf * c;
      dl->AddLine(ImVec2(o.x - d, o.y - d), ImVec2(o.x + d, o.y + d), packColour(kRed, 1), kW.markLine * s);
      dl->AddLine(ImVec2(o.x + d, o.y - d), ImVec2(o.x - d, o.y + d), packColour(kRed, 1), kW.markLine * s);
      break;
    }
  }
}

void spinner(ImVec2 o, float radius, double time) {
  markTimedElement();
  const float s = S();
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const float start = float(5 * time);
  dl->PathArcTo(o, radius * s, start, start + 4.2f, kW.spinnerSegments);
  dl->PathStroke(packColour(kAccentBlue, 1), ImDrawFlags_None, kW.spinnerLine * s);
}
