// Turns the change-log excerpt into the entries the What's new window draws.
#include "ui/whats_new.h"

std::vector<std::string> buildWhatsNewEntries(const std::string& text) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    const std::string raw = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const size_t first = raw.find_first_not_of(' ');
    if (first == std::string::npos) {
      entries.emplace_back();
    } else if (first > 1 && !entries.empty() && !entries.back().empty()) {
      entries.back() += " " + raw.substr(first);  // an indented line continues the entry above
    } else {
      entries.push_back(raw);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return entries;
}

std::string stripInlineMarkup(const std::string& line) {
  std::string out;
  out.reserve(line.size());
  const size_t n = line.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = line[i];
    if (c == '`') continue;
    if (c == '*' && i + 1 < n && line[i + 1] == '*') {
      ++i;
      continue;
    }
    if (c == '[') {
      // The first "](" that has a ")" somewhere after it closes the link.
      size_t close = line.find(']', i + 1);
      size_t paren = std::string::npos;
      while (close != std::string::npos) {
        if (close + 1 < n && line[close + 1] == '(') {
          paren = line.find(')', close + 2);
          if (paren != std::string::npos) break;
        }
        close = line.find(']', close + 1);
      }
      if (close != std::string::npos && paren != std::string::npos) {
        out.append(line, i + 1, close - i - 1);
        i = paren;
        continue;
      }
    }
    out += c;
  }
  return out;
}
