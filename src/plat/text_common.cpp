// Text helpers shared by both backends.
#include "plat/text.h"

#include <system_error>

namespace plat {

std::string trimSystemMessage(std::string text) {
  // System messages end in ".\r\n" on Windows; a space stops the stripping so
  // a message that deliberately ends in ". " keeps it.
  while (!text.empty()) {
    char c = text.back();
    if (c != '\r' && c != '\n' && c != '.') break;
    text.pop_back();
  }
  return text;
}

bool pathExists(const std::string& utf8Path) {
  if (utf8Path.empty()) return false;
  std::error_code ec;
  return std::filesystem::exists(pathFromUtf8(utf8Path), ec) && !ec;
}

bool readWholeFile(const std::string& utf8Path, std::string& content) {
  FILE* f = openFile(utf8Path, "rb");
  if (!f) return false;
  content.clear();
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
  std::fclose(f);
  return true;
}

bool readFileLines(const std::string& utf8Path, std::vector<std::string>& lines) {
  std::string content;
  if (!readWholeFile(utf8Path, content)) return false;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

}  // namespace plat
