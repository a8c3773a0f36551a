// The colours every screen shares, as 0xRRGGBB; the alpha is given where a
// colour is drawn. A colour one widget alone uses lives in that widget's table
// in style.cpp.
#pragma once
#include <cstdint>

constexpr uint32_t kText = 0xE8EFFF;          // body text, headings, a running step's label
constexpr uint32_t kSoftText = 0x9AACCF;      // secondary text: subtitles, notice bodies, finished steps
constexpr uint32_t kDimText = 0x64759A;       // the least important text: footnotes, pending steps
constexpr uint32_t kAccentBlue = 0x7EA6FF;    // links, the spinner, the progress bar's start, the F2 key
constexpr uint32_t kAccentViolet = 0xB79BFF;  // a selected pill, the progress bar's end
constexpr uint32_t kOutlineBlue = 0x8CAAFF;   // outlines of cards, secondary buttons and bars
constexpr uint32_t kDeepBlue = 0x1E3278;      // fills behind buttons, pills, bars and the card's sheen
constexpr uint32_t kGreen = 0x4FE0A3;         // success: the game is ready, a finished step, "Saved"
constexpr uint32_t kAmber = 0xFFC35C;         // caution: stopped by the player, something worth a look
constexpr uint32_t kRed = 0xFF6B7A;           // failure and danger: a failed step, the danger button
