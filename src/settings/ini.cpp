// The tolerant INI reader and the atomic writer under both settings files.
#include "settings/ini.h"

#include <cstdio>

#include "plat/files.h"
#include "plat/text.h"

namespace {
// Only these count as white space, so UTF-8 and other bytes pass unchanged.
std::string trim(const std::string& s) {
  const char* ws = " \t\r";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

void readLine(std::string line, IniMap& map, bool stripHashComments) {
  if (stripHashComments) {
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
  }
  line = trim(line);
  if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') return;
  size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  map[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
}
}  // namespace

namespace IniFile {

bool read(const std::string& path, IniMap& map, bool stripHashComments) {
  // Binary on every platform: CR is trimmed with the other white space, so
  // CR LF files read like LF files and both backends see the same bytes.
  std::vector<std::string> lines;
  if (!plat::readFileLines(path, lines)) return false;
  for (const std::string& line : lines) readLine(line, map, stripHashComments);
  return true;
}

bool writeAtomically(const std::string& path, const std::string& text, std::string* error) {
  // An App whose layout was never resolved has no settings path; writing
  // would leave a stray ".tmp" in whatever the current folder is.
  if (path.empty()) {
    if (error) *error = "no file path";
    return false;
  }
  std::string tmpPath = path + ".tmp";
  std::string why;
  bool ok = plat::writeFileFlushed(tmpPath, text, why) && plat::replaceFileDurably(tmpPath, path, why);
  if (!ok && error) *error = why;
  return ok;
}

}  // namespace IniFile
