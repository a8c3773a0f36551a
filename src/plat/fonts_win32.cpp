// The Windows fonts folder, from WINDIR (C:\Windows when unset).
#include "plat/fonts.h"
#include "plat/text.h"

namespace plat {

std::vector<std::string> monospaceFontFiles() {
  std::string windir = getEnv("WINDIR");
  if (windir.empty()) windir = "C:\\Windows";
  std::vector<std::string> out;
  for (const char* name : {"CascadiaMono.ttf", "CascadiaCode.ttf", "consola.ttf"})
    out.push_back(windir + "\\Fonts\\" + name);
  return out;
}

}  // namespace plat
