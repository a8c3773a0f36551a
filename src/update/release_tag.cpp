// Reading the latest-release answer: the tag scan and the failure texts. Kept
// apart from the check's thread so they stand alone.
#include <cstring>

#include "update/update_check.h"

namespace {
const char* const tagCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-+";
}  // namespace

bool findTagName(const std::string& body, std::string& tag) {
  size_t name = body.find("\"tag_name\"");
  if (name == std::string::npos) return false;
  size_t colon = body.find(':', name + 10);
  if (colon == std::string::npos) return false;
  size_t i = colon + 1;
  while (i < body.size() && (body[i] == ' ' || body[i] == '\t' || body[i] == '\r' || body[i] == '\n')) ++i;
  if (i >= body.size() || body[i] != '"') return false;
  size_t close = body.find('"', i + 1);
  if (close == std::string::npos) return false;
  std::string value = body.substr(i + 1, close - i - 1);
  if (value.empty() || value.size() > 63) return false;
  for (char c : value)
    if (c == '\0' || !std::strchr(tagCharacters, c)) return false;
  tag = value;
  return true;
}

std::string checkErrorText(bool transferOk, int status, const std::string& transferError) {
  if (!transferOk) return transferError;
  if (status == 404) return "no release published yet";
  return "HTTP " + std::to_string(status);
}

