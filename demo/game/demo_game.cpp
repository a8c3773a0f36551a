// The demo kit's game program, copied into the game folder by the build
// script. It only honours the game's command line (--elf and --iso, both of
// which must name existing files) and exits; the real game replaces it.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  std::string elf, iso;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--elf") == 0) elf = argv[++i];
    else if (std::strcmp(argv[i], "--iso") == 0) iso = argv[++i];
  }
  std::error_code ec;
  if (elf.empty() || iso.empty() || !std::filesystem::is_regular_file(elf, ec) ||
      !std::filesystem::is_regular_file(iso, ec)) {
    std::fprintf(stderr, "usage: veyra --elf BOOT_FILE --iso DISC_IMAGE (both must exist)\n");
    return 2;
  }
  std::printf("Emberfall demo: would boot %s from %s\n", elf.c_str(), iso.c_str());
  return 0;
}
