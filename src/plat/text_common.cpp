// Text helpers shared by both backends.
#include "plat/text.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace plat {

namespace {

// White space, a sign and the digits' span, as scanf sees them.
bool scanDigits(const std::string& text, size_t& pos, bool& negative, size_t& start, size_t& end) {
  size_t i = pos;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  start = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  end = i;
  return end > start;
}

}  // namespace

bool scanInt(const std::string& text, size_t& pos, int& value) {
  bool negative;
  size_t start, end;
  if (!scanDigits(text, pos, negative, start, end)) return false;
  unsigned long long magnitude = 0;
  auto r = std::from_chars(text.data() + start, text.data() + end, magnitude);
  const unsigned long long limit = negative ? 0ull - static_cast<unsigned long long>(INT_MIN) : INT_MAX;
  if (r.ec != std::errc() || magnitude > limit) return false;
  value = negative ? static_cast<int>(0ll - static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
  pos = end;
  return true;
}

bool scanUnsigned(const std::string& text, size_t& pos, unsigned long long& value) {
  bool negative;
  size_t start, end;
  if (!scanDigits(text, pos, negative, start, end) || negative) return false;
  unsigned long long v = 0;
  if (std::from_chars(text.data() + start, text.data() + end, v).ec != std::errc()) return false;
  value = v;
  pos = end;
  return true;
}

double parseLeadingNumber(const std::string& text) {
  // The settings files and the command line both want the prefix strtod
  // reads; a value such as "nan" or "inf" is not a number a user means there.
  const char* s = text.c_str();
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s || v != v || v > 1e300 || v < -1e300) return 0;
  return v;
}

std::string joinPath(std::string_view base, std::string_view name) {
  return pathToUtf8(pathFromUtf8(base) / pathFromUtf8(name));
}

double nowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

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
