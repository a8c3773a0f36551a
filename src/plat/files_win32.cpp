// Durable file replacement on Windows: WriteFile + FlushFileBuffers, then
// MoveFileExW with write-through so the move is on disk when it returns.
#include <windows.h>

#include <algorithm>

#include "plat/files.h"
#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

namespace {
std::string failure(const std::string& what, const std::string& path, DWORD code) {
  return what + " " + path + ": " + errorTextFor(code);
}
}  // namespace

bool writeFileFlushed(const std::string& path, std::string_view bytes, std::string& error) {
  HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = failure("cannot create", path, GetLastError());
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 20)), written = 0;
    if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      DWORD code = GetLastError();
      CloseHandle(h);
      error = failure("cannot write", path, code ? code : ERROR_DISK_FULL);
      return false;
    }
    done += written;
  }
  if (!FlushFileBuffers(h)) {
    DWORD code = GetLastError();
    CloseHandle(h);
    error = failure("cannot flush", path, code);
    return false;
  }
  if (!CloseHandle(h)) {
    error = failure("cannot close", path, GetLastError());
    return false;
  }
  return true;
}

bool replaceFileDurably(const std::string& tmpPath, const std::string& path, std::string& error) {
  if (!MoveFileExW(toWide(tmpPath).c_str(), toWide(path).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    error = failure("cannot rename " + tmpPath + " to", path, GetLastError());
    return false;
  }
  return true;
}

}  // namespace plat
