// Folder names on Windows: .exe programs, the embeddable interpreter at the
// kit's python folder, no per-user folder beyond APPDATA.
#include <windows.h>

#include "plat/layout.h"
#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

const ReleaseNames& releaseNames() {
  static const ReleaseNames names{"python\\python.exe", "veyra.exe", "source\\tools\\veyra_build.py", "kit\\",
                                        "-tambler.zip"};
  return names;
}

std::string userDataHome() { return {}; }

bool samePathPart(const std::string& a, const std::string& b) {
  // Ordinal case folding, as the file system compares names.
  const std::wstring wa = toWide(a), wb = toWide(b);
  return CompareStringOrdinal(wa.c_str(), int(wa.size()), wb.c_str(), int(wb.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace plat

namespace plat {

bool resolvedPath(const std::string& path, std::string& resolved) {
  // The handle's final path follows junctions and symbolic links, which the
  // standard library's canonical does not on this platform.
  HANDLE h = CreateFileW(toWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::wstring buf(1024, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, buf.data(), DWORD(buf.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n >= buf.size()) {
    buf.resize(n + 1);
    n = GetFinalPathNameByHandleW(h, buf.data(), DWORD(buf.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  CloseHandle(h);
  if (n == 0 || n >= buf.size()) return false;
  buf.resize(n);
  if (buf.rfind(L"\\\\?\\UNC\\", 0) == 0) buf = L"\\\\" + buf.substr(8);
  else if (buf.rfind(L"\\\\?\\", 0) == 0) buf = buf.substr(4);
  resolved = fromWide(buf);
  return true;
}

}  // namespace plat
