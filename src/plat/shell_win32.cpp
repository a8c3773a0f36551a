// Shell services on Windows: the common file dialog, ShellExecuteW, free disk
// space and the module path.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "plat/shell.h"
#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

std::string openFileDialog(void* ownerWindow, const std::string& title, const std::string& discImagesLabel,
                           const std::string& allFilesLabel) {
  std::wstring filter = toWide(discImagesLabel + " (*.iso, *.bin, *.cue)");
  filter.push_back(L'\0');
  filter += L"*.iso;*.bin;*.cue";
  filter.push_back(L'\0');
  filter += toWide(allFilesLabel + " (*.*)");
  filter.push_back(L'\0');
  filter += L"*.*";
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  const std::wstring caption = toWide(title);
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = static_cast<HWND>(ownerWindow);
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrTitle = caption.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&ofn)) return {};
  return fromWide(std::wstring_view(file.data(), wcsnlen(file.data(), file.size())));
}

void shellOpen(const std::string& target) {
  const std::wstring w = toWide(target);
  ShellExecuteW(nullptr, L"open", w.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

uint64_t freeDiskBytes(const std::string& folder) {
  ULARGE_INTEGER available{};
  const std::wstring w = toWide(folder);
  if (folder.empty() || !GetDiskFreeSpaceExW(w.c_str(), &available, nullptr, nullptr)) return 0;
  return available.QuadPart;
}

std::string exePath() { return fromWide(moduleFileName()); }

}  // namespace plat
