// Saves settings files on request so a test can break the save from outside.
//   ini_saver <path> <text>...      saves each text in turn; the exit code is the
//                                   number of the first failed save, 0 when none failed
//   ini_saver --loop <path> <gen>   saves generation gen, gen+1, ... until killed
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/ini.h"

// A generation's text: big enough to need several disk blocks, and checkable
// line by line (see the durability test).
static std::string generationText(long gen) {
  std::string fill(96 * 1024, 'a' + char(gen % 26));
  return "generation = " + std::to_string(gen) + "\nfill = " + fill + "\nend = " + std::to_string(gen) + "\n";
}

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--loop") {
    for (long gen = std::atol(argv[3]);; gen++) IniFile::writeAtomically(argv[2], generationText(gen));
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: ini_saver <path> <text>... | --loop <path> <first generation>\n");
    return 100;
  }
  for (int i = 2; i < argc; i++) {
    std::string error;
    if (!IniFile::writeAtomically(argv[1], argv[i], &error)) {
      std::fprintf(stderr, "save %d failed: %s\n", i - 1, error.c_str());
      return i - 1;
    }
  }
  return 0;
}
