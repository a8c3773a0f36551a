// The launcher's compiled-in identity (the source commit is generated at build
// time), the release's key=value files, the change-log reader and the version
// order used by the release check.
#include "update/version.h"

#include <cstdio>
#include <functional>

#include "plat/text.h"

const char* const launcherVersion = "0.1.6";

namespace {

// Calls onLine for each line (split at LF, one trailing CR removed) until it
// returns false. False when the file cannot be opened.
bool forEachLine(const std::string& path, const std::function<bool(const std::string&)>& onLine) {
  FILE* f = plat::openFile(path, "rb");
  if (!f) return false;
  std::string line;
  bool go = true;
  auto finish = [&] {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    go = onLine(line);
    line.clear();
  };
  char buf[4096];
  size_t n;
  while (go && (n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    for (size_t i = 0; i < n && go; ++i) {
      if (buf[i] == '\n') finish();
      else line.push_back(buf[i]);
    }
  }
  // A last line without a line feed still counts.
  if (go && !line.empty()) finish();
  std::fclose(f);
  return true;
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

void dropLeadingV(std::string& s) {
  if (!s.empty() && (s[0] == 'v' || s[0] == 'V')) s.erase(0, 1);
}

}  // namespace

std::string readKeyValue(const std::string& path, const std::string& key) {
  std::string found;
  forEachLine(path, [&](const std::string& line) {
    if (line.empty() || line[0] == '#') return true;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return true;
    size_t keyEnd = eq;
    while (keyEnd > 0 && (line[keyEnd - 1] == ' ' || line[keyEnd - 1] == '\t')) --keyEnd;
    if (line.compare(0, keyEnd, key) != 0 || keyEnd != key.size()) return true;
    size_t valueStart = eq + 1;
    while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t')) ++valueStart;
    found = line.substr(valueStart);
    return false;
  });
  return found;
}

std::string extractWhatsNew(const std::string& changelogPath, const std::string& version) {
  std::string wanted = version;
  dropLeadingV(wanted);
  std::string text;
  bool inSection = false;
  forEachLine(changelogPath, [&](const std::string& line) {
    if (line.size() >= 3 && startsWith(line, "## ")) {
      if (inSection) return false;
      size_t i = 3;
      while (i < line.size() && (line[i] == ' ' || line[i] == '[')) ++i;
      size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != ']' && line[end] != '\t') ++end;
      std::string headingVersion = line.substr(i, end - i);
      dropLeadingV(headingVersion);
      inSection = headingVersion == wanted;
      return true;
    }
    if (!inSection) return true;
    if (startsWith(line, "[") && line.find("]: ") != std::string::npos) return true;
    text += line;
    text += '\n';
    return true;
  });
  const char* blanks = " \t\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

bool parseVersion(const std::string& text, int& major, int& minor, int& patch, std::string& preRelease) {
  std::string s = text;
  dropLeadingV(s);
  const size_t plus = s.find('+');
  if (plus != std::string::npos) s.resize(plus);
  std::string numeric = s;
  preRelease.clear();
  const size_t dash = s.find('-');
  if (dash != std::string::npos) {
    preRelease = s.substr(dash + 1);
    numeric = s.substr(0, dash);
  }
  // As "%d.%d.%d" reads it, except that a number too large for an int fails
  // the whole version: a tag from the network must not reach undefined
  // behaviour, and no real release has such a number.
  size_t pos = 0;
  int parts[3];
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (pos >= numeric.size() || numeric[pos++] != '.')) return false;
    if (!plat::scanInt(numeric, pos, parts[i])) return false;
  }
  major = parts[0];
  minor = parts[1];
  patch = parts[2];
  return true;
}

bool isNewerRelease(const std::string& candidate, const std::string& current) {
  int cMajor, cMinor, cPatch, uMajor, uMinor, uPatch;
  std::string cPre, uPre;
  if (!parseVersion(candidate, cMajor, cMinor, cPatch, cPre)) return false;
  if (!parseVersion(current, uMajor, uMinor, uPatch, uPre)) return true;
  if (cMajor != uMajor) return cMajor > uMajor;
  if (cMinor != uMinor) return cMinor > uMinor;
  if (cPatch != uPatch) return cPatch > uPatch;
  if (cPre.empty() != uPre.empty()) return cPre.empty();
  // std::string compares as unsigned bytes, common length first, then length.
  return cPre.compare(uPre) > 0;
}
