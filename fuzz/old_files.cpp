// old_files.txt names files an update set aside for deleting. Whatever its
// lines say ("@" stands for the scratch folder; other paths are relative to
// the release folder, the current folder meanwhile), a candidate is a regular file inside the
// release folder, and the clean-up never deletes anything outside it.
#include "fuzz_support.h"
#include "prepare/folders.h"

namespace fs = std::filesystem;

namespace {
const char* const insideFiles[] = {"release/a.veyra-old", "release/sub/b.veyra-old", "release/keep.txt"};
const char* const outsideFiles[] = {"outside/c.veyra-old", "release2/d.veyra-old", "e.veyra-old"};

void touch(const fs::path& p) {
  fs::create_directories(p.parent_path());
  if (!fs::exists(p)) fuzzFile(fs::relative(p, fuzzScratch()).string(), "x");
}

// The release folder beside an outside folder, a sibling sharing its name's
// start, and links out of it; recreated as far as a clean-up removed it.
const fs::path& layout() {
  static const fs::path release = [] {
    const fs::path& root = fuzzScratch();
    for (const char* f : outsideFiles) touch(root / f);
    fs::create_directories(root / "release");
    fs::create_directory_symlink("../outside", root / "release/out");
    fs::create_symlink("../outside/c.veyra-old", root / "release/link.veyra-old");
    return fs::canonical(root / "release");
  }();
  for (const char* f : insideFiles) touch(fuzzScratch() / f);
  return release;
}

bool inside(const fs::path& release, const fs::path& p) {
  auto r = release.begin();
  auto q = p.begin();
  for (; r != release.end(); ++r, ++q)
    if (q == p.end() || *q != *r) return false;
  return q != p.end();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& release = layout();
  const fs::path root = fuzzScratch();
  // Back to the start afterwards: libFuzzer reads its corpus by relative paths.
  const fs::path start = fs::current_path();
  fs::current_path(release);
  std::string list;
  for (std::string line : fuzzLines(fuzzText(data, size))) {
    if (line.find('\0') != std::string::npos) continue;
    if (!line.empty() && line[0] == '@') line = root.string() + line.substr(1);
    list += line + "\n";
    if (!isOldFileCandidate(release.string(), line)) continue;
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(fs::absolute(line), ec);
    FUZZ_CHECK(!ec && inside(release, real));
    FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(line)));
    FUZZ_CHECK(fs::path(line).filename().string().find(".veyra-old") != std::string::npos);
  }
  const fs::path update = release / "update";
  fs::create_directories(update);
  fuzzFile("release/update/old_files.txt", list);
  cleanOldFilesIn(release.string(), update.string());
  for (const char* f : outsideFiles) FUZZ_CHECK(fs::exists(root / f));
  FUZZ_CHECK(fs::exists(root / "release/keep.txt") && fs::is_symlink(root / "release/out"));
  fs::current_path(start);
  return 0;
}
