// The launcher's look: the Dear ImGui style, the colour helpers and the custom
// widgets every screen is built from. Lengths passed in pixels are already
// multiplied by uiScale; font sizes, radii and margins given "at scale 1" are
// multiplied here.
#pragma once
#include <imgui.h>

#include <cstdint>
#include <string>
#include <vector>

#include "prepare/progress.h"

void applyStyle();

ImU32 packColour(uint32_t rgb, float alpha);
ImVec4 colourVec(uint32_t rgb, float alpha);
// The same as packColour with an alpha already given as a byte.
ImU32 packColourByte(uint32_t rgb, unsigned alphaByte);

// A vertical gap of n (at scale 1): an invisible item one pixel wide.
void gap(float n);

void styledText(const std::string& text, float size, uint32_t rgb, float alpha = 1.0f);
void styledParagraph(const std::string& text, float size, uint32_t rgb, float alpha = 1.0f);
// Text with letter spacing, straight into a draw list; returns the total advance.
float drawSpacedText(ImDrawList* drawList, ImVec2 pos, const std::string& text, float pixelSize, ImU32 colour,
                     float spacing);
ImVec2 spacedTextSize(const std::string& text, float size, float spacing);
void glowText(ImVec2 pos, const std::string& text, float size, uint32_t rgb, float spacing, bool bold, float glow);
void heading(const std::string& text, uint32_t rgb);
void notice(const std::string& title, const std::string& body, uint32_t rgb, float width);

enum ButtonKind { Primary = 0, Secondary = 1, Danger = 2, Link = 3 };
// size in pixels; a width or height <= 0 is sized on the drawn text.
bool button(const char* label, ImVec2 size, ButtonKind kind, bool enabled, float fontSize);
bool pill(const char* label, bool selected, float fontSize, bool enabled);

struct ActionRowLayout {
  float labelWidth = 0, rowWidth = 0;  // pixels
};
bool actionRow(const ActionRowLayout& layout, const char* label, const std::string& description, bool enabled);

// Marks the item just drawn as the screen's default button: it gets the
// keyboard focus whenever it appears anew, and Enter presses it until the
// player moves the focus with the keyboard.
void defaultButton();
// Called once at the start of each frame, before anything is drawn: carries
// the default button over and presses it when Enter alone asks for it.
void enterPressesTheDefaultButton();
// Called once at the end of each frame: a focused item that was not drawn
// has gone from the screen, and the focus goes with it, so that the next
// Tab starts again from the top.
void forgetVanishedFocus();

// Called once at the end of each frame while a gamepad is in use, after
// forgetVanishedFocus: with no pointer on screen the player must always see
// where they are, so some item always holds the focus and the cursor shows.
void keepFocusShown();
// The focus cursor in the launcher's look, drawn over the frame while a
// gamepad is in use (`shown`); it glides to a newly focused item.
void drawFocusRing(bool shown);

// Timed elements (a spinner, a progress bar's sheen, a running step's pulse, a
// label that goes back after a while) mark the frame they are drawn in: the
// picture then changes by itself, and the frame loop keeps drawing.
void markTimedElement();
// Whether the frame just drawn had one (or a text field's blinking cursor);
// clears the mark.
bool takeTimedElementMark();

void progressBar(float fraction, ImVec2 size, double time);
// The content card: `maxHeight` pixels at most (0: down to the window's
// bottom); a view taller than that scrolls inside it.
void beginCard(float width, float margin, float maxHeight = 0);
void endCard();
void stepIcon(ImVec2 centre, StepState state, double time);
void spinner(ImVec2 centre, float radius, double time);

// What the widgets drew in a frame, so a screen can be checked without pixels.
// Nothing records unless a trace is installed as the ImGui context's io.UserData.
struct WidgetTrace {
  struct Entry {
    std::string text;
    bool clickable = false;  // a button or a pill
    bool enabled = true;
    bool selected = false;  // a pill drawn as the current choice
    bool pressed = false;   // pressed in this frame, by mouse or keyboard
    ImGuiID id = 0;         // a button's or pill's ImGui identifier, as keyboard focus names it
    ImVec2 min, max;  // a button's or pill's rectangle
  };
  std::vector<Entry> entries;
};

// The button or pill that holds the focus, found by its rectangle in the
// trace; null when the focused item was not drawn in the traced frame.
const WidgetTrace::Entry* focusedEntry(const WidgetTrace& trace);

// The text of a label up to "##".
std::string drawnLabel(const char* label);
