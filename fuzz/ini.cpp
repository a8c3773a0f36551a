// The INI reader: whatever a file holds, the map it reads, written back the
// way the settings write their keys, reads as the same map, with and without
// "#" comments.
#include "fuzz_support.h"
#include "settings/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzFile("in.ini", fuzzText(data, size));
  for (bool hashes : {false, true}) {
    IniMap first;
    FUZZ_CHECK(IniFile::read(path, first, hashes));
    std::string text = "[section]\n";
    for (const auto& [key, value] : first) text += key + " = " + value + "\n";
    IniMap second;
    FUZZ_CHECK(IniFile::read(fuzzFile("out.ini", text), second, hashes));
    FUZZ_CHECK(first == second);
  }
  return 0;
}
