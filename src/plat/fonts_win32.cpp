// The Windows fonts folder, from WINDIR (C:\Windows when unset). Windows has no
// call that names the font for a character, so the faces for other scripts are
// the files Windows itself falls back to, looked for by name.
#include <windows.h>

#include "plat/fonts.h"
#include "plat/fonts_internal.h"
#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

namespace {

std::string fontsFolder() {
  std::string windir = getEnv("WINDIR");
  if (windir.empty()) windir = "C:\\Windows";
  return windir + "\\Fonts\\";
}

// Each group is one script area; the first of its files that exists is used
// (older systems have only the later names).
using FontGroup = std::vector<const char*>;
const FontGroup kGeneral = {"segoeui.ttf", "arial.ttf"};  // Greek, Cyrillic, Armenian, Georgian, Hebrew, Arabic
const FontGroup kIndic = {"Nirmala.ttc", "Nirmala.ttf", "mangal.ttf"};
const FontGroup kSouthEastAsian = {"LeelawUI.ttf", "leelawad.ttf", "tahoma.ttf"};  // Thai, Lao, Khmer
const FontGroup kEthiopic = {"ebrima.ttf"};
const FontGroup kSimplifiedChinese = {"msyh.ttc", "simsun.ttc"};
const FontGroup kTraditionalChinese = {"msjh.ttc", "mingliu.ttc"};
const FontGroup kJapanese = {"YuGothM.ttc", "meiryo.ttc", "msgothic.ttc"};
const FontGroup kKorean = {"malgun.ttf", "gulim.ttc"};

// Han letters look different in Chinese and Japanese; the player's own
// language decides whose shapes come first.
std::vector<const FontGroup*> hanOrder() {
  const LANGID lang = GetUserDefaultUILanguage();
  const WORD primary = PRIMARYLANGID(lang), sub = SUBLANGID(lang);
  if (primary == LANG_JAPANESE) return {&kJapanese, &kSimplifiedChinese, &kTraditionalChinese, &kKorean};
  if (primary == LANG_KOREAN) return {&kKorean, &kSimplifiedChinese, &kTraditionalChinese, &kJapanese};
  if (primary == LANG_CHINESE && sub != SUBLANG_CHINESE_SIMPLIFIED && sub != SUBLANG_CHINESE_SINGAPORE)
    return {&kTraditionalChinese, &kSimplifiedChinese, &kJapanese, &kKorean};
  return {&kSimplifiedChinese, &kTraditionalChinese, &kJapanese, &kKorean};
}

}  // namespace

std::vector<std::string> monospaceFontFiles() {
  std::vector<std::string> out;
  for (const char* name : {"CascadiaMono.ttf", "CascadiaCode.ttf", "consola.ttf"})
    out.push_back(fontsFolder() + name);
  return out;
}

std::vector<FontFace> fallbackFontFaces() {
  std::vector<const FontGroup*> groups = {&kGeneral, &kIndic, &kSouthEastAsian, &kEthiopic};
  for (const FontGroup* g : hanOrder()) groups.push_back(g);
  const std::string folder = fontsFolder();
  std::vector<FontFace> faces;
  for (const FontGroup* group : groups) {
    for (const char* name : *group) {
      if (!pathExists(folder + name)) continue;
      faces.push_back({folder + name, 0});
      break;
    }
  }
  return faces;
}

bool mapWholeFile(const std::string& path, const unsigned char*& data, size_t& size, std::string& error) {
  HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "could not open " + path + ": " + lastErrorText();
    return false;
  }
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file, &length)) {
    error = "could not read the size of " + path + ": " + lastErrorText();
    CloseHandle(file);
    return false;
  }
  if (length.QuadPart <= 0) {
    error = path + " is empty";
    CloseHandle(file);
    return false;
  }
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (!view) error = "could not map " + path + ": " + lastErrorText();
  // The view keeps the file and the mapping object alive on its own.
  if (mapping) CloseHandle(mapping);
  CloseHandle(file);
  if (!view) return false;
  data = static_cast<const unsigned char*>(view);
  size = size_t(length.QuadPart);
  return true;
}

}  // namespace plat
