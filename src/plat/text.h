// Text, environment and clock: the one place where UTF-8 text meets the
// operating system's own text and where the process asks about itself.
// Every function is stateless and safe on any thread (errorBox: main thread).
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// UTF-16 code units; on Windows the same layout as wchar_t.
using WideString = std::u16string;

WideString widen(std::string_view utf8);
std::string narrow(std::u16string_view wide);
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string pathToUtf8(const std::filesystem::path& path);
// `name` inside `base`, joined with the system's separator. An absolute name
// stands alone and an empty base gives the name itself, as the standard
// library's path join has it.
std::string joinPath(std::string_view base, std::string_view name);

// The calling thread's last system error (GetLastError / errno) as a sentence,
// trailing CR, LF and full stops removed; "error N" when the system has none.
std::string lastErrorText();
// The same for a code the caller already holds.
std::string errorTextFor(unsigned long code);

std::string exeDir();                 // folder of the running executable, "." on failure
std::vector<std::string> commandLineArgs();  // without the program name
// POSIX keeps argv from main; Windows reads its own command line and ignores this.
void saveCommandLine(int argc, char** argv);

std::string getEnv(const char* name);
void setEnv(const char* name, const std::string& value);  // empty value removes it
std::string systemLanguage();          // "fr" or "en"
double nowSeconds();                   // monotonic
void errorBox(const std::string& caption, const std::string& text);

// fopen through the UTF-8 path (the wide path on Windows).
FILE* openFile(const std::string& utf8Path, const char* mode);

// Whether anything exists at the path; an error while asking counts as no.
bool pathExists(const std::string& utf8Path);
// The whole file as bytes; false when it cannot be opened.
bool readWholeFile(const std::string& utf8Path, std::string& content);

// The file's lines: split at LF, one CR before it removed, a last line without
// LF kept; false when the file cannot be opened.
bool readFileLines(const std::string& utf8Path, std::vector<std::string>& lines);

// Pure helper shared by both backends: strip trailing CR, LF and '.'.
std::string trimSystemMessage(std::string text);

// Reads a number at `pos` the way scanf's %d (or %llu) does: white space, an
// optional sign, then digits; `pos` moves past it. Unlike scanf, a number that
// does not fit the type is refused rather than undefined, and so is a minus
// sign before an unsigned one. The versions and sizes read with these come
// from the network and from files others edit.
bool scanInt(const std::string& text, size_t& pos, int& value);
bool scanUnsigned(const std::string& text, size_t& pos, unsigned long long& value);

// The longest valid leading decimal number, as strtod reads it; 0 when there
// is none, and for "nan", "inf" and anything beyond ±1e300.
double parseLeadingNumber(const std::string& text);

}  // namespace plat
