// video.ini: the game's window, shared with the game's own settings window.
#pragma once
#include <string>
#include <utility>
#include <vector>
#include "settings/ini.h"

struct VideoSettings {
  // What the game opens with when the file names no size.
  static constexpr int defaultWidth = 640, defaultHeight = 448;
  int width = 0, height = 0;  // 0 x 0 = the game's default
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

// What a save writes: the launcher's window mode and size over the file's
// latest values for every other key (the game writes them meanwhile). A file
// that cannot be read leaves the launcher's own values.
VideoSettings videoToSave(const VideoSettings& launcher, const std::string& path);
// Takes the file again after the game ran (its F2 window may have changed
// anything). A size equal to the game's default keeps "Game default" chosen,
// and whether the launcher's last save worked is kept.
void reloadVideoAfterGame(VideoSettings& video, const std::string& path);
