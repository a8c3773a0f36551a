// Text, environment and clock on POSIX. UTF-8 and UTF-16 are converted in
// portable code with the same observable results as Windows' code-page calls:
// ill-formed input becomes U+FFFD rather than being rejected.
#include <SDL3/SDL.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "plat/text.h"

namespace plat {

namespace {
std::mutex argsLock;
std::vector<std::string> savedArgs;

void appendUtf16(WideString& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(char16_t(cp));
  }
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | (cp >> 6)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(char(0xE0 | (cp >> 12)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (cp >> 18)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}
}  // namespace

WideString widen(std::string_view s) {
  WideString out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    unsigned char c = (unsigned char)s[i];
    if (c < 0x80) {
      out.push_back(c);
      i++;
      continue;
    }
    int len = 0;
    uint32_t cp = 0, min = 0;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; min = 0x10000; }
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; k++) {
      unsigned char cc = (unsigned char)s[i + k];
      if ((cc & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (cc & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(0xFFFD);
      i++;
      continue;
    }
    appendUtf16(out, cp);
    i += len;
  }
  return out;
}

std::string narrow(std::u16string_view w) {
  std::string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); i++) {
    uint32_t u = w[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (w[i + 1] - 0xDC00));
      i++;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      appendUtf8(out, 0xFFFD);
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

// POSIX paths are bytes; UTF-8 passes through unchanged.
std::filesystem::path pathFromUtf8(std::string_view utf8) { return std::filesystem::path(std::string(utf8)); }
std::string pathToUtf8(const std::filesystem::path& path) { return path.native(); }

FILE* openFile(const std::string& utf8Path, const char* mode) { return std::fopen(utf8Path.c_str(), mode); }

std::string errorTextFor(unsigned long code) {
  char buf[256];
  const char* msg = nullptr;
#if (_POSIX_C_SOURCE >= 200112L) && !_GNU_SOURCE
  if (strerror_r(int(code), buf, sizeof buf) == 0) msg = buf;
#else
  msg = strerror_r(int(code), buf, sizeof buf);
#endif
  if (!msg || !*msg) return "error " + std::to_string(code);
  return trimSystemMessage(msg);
}

std::string lastErrorText() { return errorTextFor((unsigned long)errno); }

std::string exeDir() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || p.empty()) return ".";
  return p.parent_path().native();
}

void saveCommandLine(int argc, char** argv) {
  std::lock_guard lock(argsLock);
  savedArgs.clear();
  for (int i = 1; i < argc; i++) savedArgs.emplace_back(argv[i]);
}

std::vector<std::string> commandLineArgs() {
  std::lock_guard lock(argsLock);
  return savedArgs;
}

std::string getEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

void setEnv(const char* name, const std::string& value) {
  if (value.empty()) unsetenv(name);
  else setenv(name, value.c_str(), 1);
}

std::string systemLanguage() {
  // The first of these that is set decides, as gettext does.
  for (const char* var : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string v = getEnv(var);
    if (v.empty()) continue;
    std::string primary = v.substr(0, v.find_first_of("_.@:-"));
    return primary == "fr" ? "fr" : "en";
  }
  return "en";
}

void errorBox(const std::string& caption, const std::string& text) {
  if (!SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr))
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

}  // namespace plat
