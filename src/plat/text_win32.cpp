// Text, environment and clock on Windows, through the system's UTF-16 calls.
#include <windows.h>
#include <shellapi.h>

#include <chrono>

#include "plat/text.h"

namespace plat {

static const wchar_t* wptr(const WideString& w) { return reinterpret_cast<const wchar_t*>(w.c_str()); }

WideString widen(std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
  if (n <= 0) return {};
  WideString out(size_t(n), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string narrow(std::u16string_view w) {
  if (w.empty()) return {};
  const wchar_t* p = reinterpret_cast<const wchar_t*>(w.data());
  int n = WideCharToMultiByte(CP_UTF8, 0, p, int(w.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, p, int(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::filesystem::path pathFromUtf8(std::string_view utf8) {
  WideString w = widen(utf8);
  return std::filesystem::path(std::wstring(reinterpret_cast<const wchar_t*>(w.data()), w.size()));
}

std::string pathToUtf8(const std::filesystem::path& path) {
  const std::wstring& w = path.native();
  return narrow(std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size()));
}

FILE* openFile(const std::string& utf8Path, const char* mode) {
  WideString p = widen(utf8Path), m = widen(mode);
  return _wfopen(wptr(p), wptr(m));
}

std::string errorTextFor(unsigned long code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                           nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string text;
  if (buf && n > 0) text = narrow(std::u16string_view(reinterpret_cast<const char16_t*>(buf)));
  else text = "error " + std::to_string(unsigned(code));
  if (buf) LocalFree(buf);
  return trimSystemMessage(text);
}

std::string lastErrorText() {
  DWORD code = GetLastError();  // first, before anything can overwrite it
  return errorTextFor(code);
}

static std::wstring moduleFileName() {
  std::wstring buf(260, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.resize(buf.size() * 2);
  }
}

std::string exeDir() {
  std::wstring name = moduleFileName();
  if (name.empty()) return ".";
  return pathToUtf8(std::filesystem::path(name).parent_path());
}

void saveCommandLine(int, char**) {}

std::vector<std::string> commandLineArgs() {
  std::vector<std::string> out;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return out;
  for (int i = 1; i < argc; i++) out.push_back(narrow(std::u16string_view(reinterpret_cast<const char16_t*>(argv[i]))));
  LocalFree(argv);
  return out;
}

std::string getEnv(const char* name) {
  WideString wname = widen(name);
  DWORD size = GetEnvironmentVariableW(wptr(wname), nullptr, 0);
  if (size == 0) return {};
  std::wstring buf(size, L'\0');
  DWORD n = GetEnvironmentVariableW(wptr(wname), buf.data(), size);
  if (n == 0 || n >= size) return {};
  buf.resize(n);
  return narrow(std::u16string_view(reinterpret_cast<const char16_t*>(buf.data()), buf.size()));
}

void setEnv(const char* name, const std::string& value) {
  WideString wname = widen(name);
  if (value.empty()) {
    SetEnvironmentVariableW(wptr(wname), nullptr);
  } else {
    WideString wvalue = widen(value);
    SetEnvironmentVariableW(wptr(wname), wptr(wvalue));
  }
}

std::string systemLanguage() {
  LANGID id = GetUserDefaultUILanguage();
  return (id & 0x3FF) == LANG_FRENCH ? "fr" : "en";
}

double nowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void errorBox(const std::string& caption, const std::string& text) {
  WideString c = widen(caption), t = widen(text);
  MessageBoxW(nullptr, wptr(t), wptr(c), MB_ICONERROR);
}

}  // namespace plat
