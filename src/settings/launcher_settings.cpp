// launcher.ini: loading with its forgiving value rules, and the fixed text it is saved as.
#include "settings/launcher_settings.h"

#include <cstdio>

#include "plat/text.h"
#include "settings/ini.h"

namespace {
// Sized to the number: a duration the file gave as 1e300 has 301 digits, and
// a fixed buffer cut them, so the next load read another value.
std::string seconds(double v) {
  const int n = std::snprintf(nullptr, 0, "%.0f", v);
  std::string text(size_t(n > 0 ? n : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, "%.0f", v);
  return text;
}

const std::string* find(const IniMap& map, const char* key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}
}  // namespace

bool LauncherSettings::load(const std::string& path) {
  IniMap map;
  // "#" is kept: it is a legal character in a disc image's path.
  if (!IniFile::read(path, map, false)) return false;
  const std::string* v;
  disc = (v = find(map, "disc")) ? *v : std::string();
  language = (v = find(map, "language")) ? *v : std::string();
  motion = !((v = find(map, "motion")) && *v == "0");
  updateCheck = !((v = find(map, "update_check")) && *v == "0");
  buildPending = (v = find(map, "build_pending")) && *v == "1";
  built = (v = find(map, "built")) && *v == "1";
  lastBuildSeconds = (v = find(map, "last_build_seconds")) ? plat::parseLeadingNumber(*v) : 0;
  pendingBuildSeconds = (v = find(map, "pending_build_seconds")) ? plat::parseLeadingNumber(*v) : 0;
  return true;
}

std::string LauncherSettings::text() const {
  auto flag = [](bool b) { return b ? "1" : "0"; };
  std::string t = "# Veyra Launcher's settings (the launcher writes this file).\n[launcher]\n";
  t += "disc = " + disc + "\n";
  t += "language = " + language + "\n";
  t += std::string("motion = ") + flag(motion) + "\n";
  t += std::string("build_pending = ") + flag(buildPending) + "\n";
  t += std::string("built = ") + flag(built) + "\n";
  t += "last_build_seconds = " + seconds(lastBuildSeconds) + "\n";
  t += "pending_build_seconds = " + seconds(pendingBuildSeconds) + "\n";
  t += std::string("update_check = ") + flag(updateCheck) + "\n";
  return t;
}

bool LauncherSettings::save(const std::string& path) const { return IniFile::writeAtomically(path, text()); }
