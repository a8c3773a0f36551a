// Text and environment on Windows, through the system's UTF-16 calls.
#include <windows.h>
#include <shellapi.h>

#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

std::wstring toWide(std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n);
  return out;
}

std::string fromWide(std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

WideString widen(std::string_view s) {
  const std::wstring w = toWide(s);
  return WideString(w.begin(), w.end());
}

std::string narrow(std::u16string_view w) {
  return fromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(w.data()), w.size()));
}

std::filesystem::path pathFromUtf8(std::string_view utf8) { return std::filesystem::path(toWide(utf8)); }

std::string pathToUtf8(const std::filesystem::path& path) { return fromWide(path.native()); }

FILE* openFile(const std::string& utf8Path, const char* mode) {
  return _wfopen(toWide(utf8Path).c_str(), toWide(mode).c_str());
}

std::string formatMessageText(HMODULE module, DWORD code) {
  wchar_t* buf = nullptr;
  const DWORD source = module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
  DWORD n = FormatMessageW(source | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, module, code, 0,
                           reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string text;
  if (buf && n > 0) text = fromWide(std::wstring_view(buf, n));
  if (buf) LocalFree(buf);
  return trimSystemMessage(text);
}

std::string errorTextFor(unsigned long code) {
  std::string text = formatMessageText(nullptr, DWORD(code));
  return text.empty() ? "error " + std::to_string(unsigned(code)) : text;
}

std::string lastErrorText() {
  DWORD code = GetLastError();  // first, before anything can overwrite it
  return errorTextFor(code);
}

std::wstring moduleFileName() {
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
  for (int i = 1; i < argc; i++) out.push_back(fromWide(argv[i]));
  LocalFree(argv);
  return out;
}

std::string getEnv(const char* name) {
  const std::wstring wname = toWide(name);
  DWORD size = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring buf(size, L'\0');
  DWORD n = GetEnvironmentVariableW(wname.c_str(), buf.data(), size);
  if (n == 0 || n >= size) return {};
  buf.resize(n);
  return fromWide(buf);
}

void setEnv(const char* name, const std::string& value) {
  const std::wstring wname = toWide(name);
  SetEnvironmentVariableW(wname.c_str(), value.empty() ? nullptr : toWide(value).c_str());
}

std::string systemLanguage() {
  LANGID id = GetUserDefaultUILanguage();
  return (id & 0x3FF) == LANG_FRENCH ? "fr" : "en";
}

void errorBox(const std::string& caption, const std::string& text) {
  MessageBoxW(nullptr, toWide(text).c_str(), toWide(caption).c_str(), MB_ICONERROR);
}

}  // namespace plat
