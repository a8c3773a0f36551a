// UTF-8 text to and from the wide strings the Windows calls take, for the
// Windows backend files only. wchar_t is UTF-16 there, so these are the one
// place that converts between the system's text and ours.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace plat {

std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);
// The message the system (module nullptr) or a module's own table has for a
// code, trimmed as lastErrorText does; empty when there is none.
std::string formatMessageText(HMODULE module, DWORD code);
// The running executable's full path; empty on failure. Paths longer than
// MAX_PATH are read whole.
std::wstring moduleFileName();

}  // namespace plat
