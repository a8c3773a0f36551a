// release.ini, built_from.ini and CHANGELOG.md: the input's first line is the
// key (and the version), the rest is the file. What the readers return must
// be something the file says, under the rules for where it may come from.
#include "fuzz_support.h"
#include "update/version.h"

namespace {
bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }
std::string dropCr(std::string s) {
  if (!s.empty() && s.back() == '\r') s.pop_back();
  return s;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzzText(data, size);
  const size_t lf = text.find('\n');
  const std::string key = text.substr(0, lf);
  const std::string body = lf == std::string::npos ? std::string() : text.substr(lf + 1);
  const std::string path = fuzzFile("info.txt", body);
  std::vector<std::string> lines;
  for (const std::string& l : fuzzLines(body)) lines.push_back(dropCr(l));

  // A value comes from a non-comment line whose key, blanks after it
  // dropped, is the wanted key, and ends that line.
  const std::string value = readKeyValue(path, key);
  if (!value.empty()) {
    FUZZ_CHECK(value.find('\n') == std::string::npos);
    FUZZ_CHECK(value[0] != ' ' && value[0] != '\t');
    bool from = false;
    for (const std::string& l : lines) {
      if (l.empty() || l[0] == '#' || l.find('=') == std::string::npos) continue;
      std::string k = l.substr(0, l.find('='));
      while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
      if (k == key) {
        // The first line with the key is the one that answers.
        from = l.size() >= value.size() && l.compare(l.size() - value.size(), value.size(), value) == 0;
        break;
      }
    }
    FUZZ_CHECK(from);
  }

  // A section is trimmed, holds no heading, and each of its lines is a line of
  // the file; it is empty when no heading names the version.
  const std::string section = extractWhatsNew(path, key);
  if (section.empty()) return 0;
  const char* blanks = " \t\n";
  FUZZ_CHECK(std::string(blanks).find(section.front()) == std::string::npos);
  FUZZ_CHECK(std::string(blanks).find(section.back()) == std::string::npos);
  bool headed = false;
  for (const std::string& l : lines) headed = headed || startsWith(l, "## ");
  FUZZ_CHECK(headed);
  bool firstPiece = true;
  for (const std::string& piece : fuzzLines(section)) {
    if (startsWith(piece, "## ")) {
      // Only the trimming of the section's front can make a line start like a
      // heading: the file's line was indented, so it never was one.
      FUZZ_CHECK(firstPiece);
      const std::string bare = dropCr(piece);
      bool indented = false;
      for (const std::string& l : lines)
        indented = indented || (!l.empty() && (l[0] == ' ' || l[0] == '\t') && l.find(bare) != std::string::npos);
      FUZZ_CHECK(indented);
    }
    firstPiece = false;
    bool found = false;
    for (const std::string& l : lines) found = found || l.find(piece) != std::string::npos;
    FUZZ_CHECK(found);
  }
  return 0;
}
