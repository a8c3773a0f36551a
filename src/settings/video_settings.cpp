// video.ini: shared with the game, so it is read tolerantly and every key the
// launcher does not manage is carried over on save.
#include "settings/video_settings.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "plat/text.h"

namespace {
const char* const managedKeys[] = {"size", "mode", "render_scale", "gs_scale", "frame_rate"};

const std::pair<int, int> standardSizes[] = {
    {640, 480},   {800, 600},   {1024, 768},  {1280, 960},  {1440, 1080},
    {1600, 1200}, {1920, 1440}, {2880, 2160}, {1280, 720},  {1366, 768},
    {1600, 900},  {1920, 1080}, {2560, 1440}, {3200, 1800}, {3840, 2160},
};

const char* const header =
    "# The window (the Video tab of the settings window, F2, writes this file; RA2V_WINDOW_SIZE, RA2V_WINDOW_MODE,\n"
    "# RA2V_RENDER_SCALE and RA2V_FRAME_RATE override it).\n"
    "# mode: windowed, fullscreen (exclusive) or borderless (the monitor's size). render_scale: the 3D drawn at\n"
    "# that many times the window's size each way (0.25 to 4). Frame rate is preserved from the in-game settings.\n"
    "\n"
    "[video]\n";

int leadingInt(const std::string& s) {
  errno = 0;
  long v = std::strtol(s.c_str(), nullptr, 10);
  return int(std::clamp<long>(v, INT_MIN, INT_MAX));
}

bool managed(const std::string& key) {
  return std::find(std::begin(managedKeys), std::end(managedKeys), key) != std::end(managedKeys);
}
}  // namespace

bool VideoSettings::load(const std::string& path) {
  IniMap map;
  videoSaved = IniFile::read(path, map, true);
  if (!videoSaved) return false;
  auto value = [&](const char* key) -> std::string {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
  };
  // As "%dx%d" reads it; a number too large for an int rejects the size.
  const std::string size = value("size");
  size_t pos = 0;
  int w = 0, h = 0;
  if (plat::scanInt(size, pos, w) && pos < size.size() && size[pos++] == 'x' && plat::scanInt(size, pos, h) &&
      w >= 160 && h >= 120) {
    width = w;
    height = h;
  }
  std::string m = value("mode");
  if (m == "windowed" || m == "fullscreen" || m == "borderless") mode = m;
  if (!value("render_scale").empty()) renderScale = value("render_scale");
  if (!value("gs_scale").empty()) gsScale = std::clamp(leadingInt(value("gs_scale")), 1, 4);
  if (!value("frame_rate").empty()) frameRate = value("frame_rate");
  otherKeys.clear();
  for (const auto& [key, val] : map)
    if (!managed(key) && !val.empty()) otherKeys[key] = val;
  return true;
}

std::string VideoSettings::text() const {
  std::string t = header;
  t += "size = " + std::to_string(width) + "x" + std::to_string(height) + "\n";
  t += "mode = " + mode + "\n";
  t += "render_scale = " + renderScale + "\n";
  t += "gs_scale = " + std::to_string(gsScale) + "\n";
  t += "frame_rate = " + frameRate + "\n";
  for (const auto& [key, val] : otherKeys) t.append(key).append(" = ").append(val).append("\n");
  return t;
}

bool VideoSettings::save(const std::string& path) const { return IniFile::writeAtomically(path, text()); }

std::vector<std::pair<int, int>> VideoSettings::resolutionChoices(int maxWidth, int maxHeight) {
  std::vector<std::pair<int, int>> out;
  for (const auto& s : standardSizes)
    if (maxWidth <= 0 || (s.first <= maxWidth && s.second <= maxHeight)) out.push_back(s);
  if (maxWidth > 0) out.emplace_back(maxWidth, maxHeight);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

VideoSettings videoToSave(const VideoSettings& launcher, const std::string& path) {
  VideoSettings fresh = launcher;
  if (!fresh.load(path)) return launcher;
  fresh.mode = launcher.mode;
  fresh.width = launcher.width;
  fresh.height = launcher.height;
  fresh.videoSaved = launcher.videoSaved;
  return fresh;
}

void reloadVideoAfterGame(VideoSettings& video, const std::string& path) {
  VideoSettings fresh = video;
  if (!fresh.load(path)) return;
  if (video.width == 0 && fresh.width == VideoSettings::defaultWidth && fresh.height == VideoSettings::defaultHeight) fresh.width = fresh.height = 0;
  fresh.videoSaved = video.videoSaved;
  video = fresh;
}
