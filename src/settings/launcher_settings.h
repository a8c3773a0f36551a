// launcher.ini: what the launcher remembers between runs.
#pragma once
#include <string>

struct LauncherSettings {
  std::string disc;
  std::string language;
  bool motion = true;
  bool buildPending = false;
  bool built = false;
  double lastBuildSeconds = 0;
  double pendingBuildSeconds = 0;
  bool updateCheck = true;

  bool load(const std::string& path);
  bool save(const std::string& path) const;
  std::string text() const;
};
