// video.ini: the game's window, shared with the game's own settings window.
#pragma once
#include <string>
#include <utility>
#include <vector>
#include "settings/ini.h"

struct VideoSettings {
  int width = 0, height = 0;  // 0 x 0 = the game's default (shown as 640 x 448)
  std::string mode = "windowed";
  std::string renderScale = "1";
  int gsScale = 1;
  std::string frameRate = "game";
  IniMap otherKeys;
  bool videoSaved = false;

  bool load(const std::string& path);
  bool save(const std::string& path) const;
  std::string text() const;
  static std::vector<std::pair<int, int>> resolutionChoices(int maxWidth, int maxHeight);
};
