// Durable file replacement on POSIX: write(2) + fsync(2) of the file, rename(2),
// then fsync(2) of the folder so the new name itself survives a power cut.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "plat/files.h"
#include "plat/text.h"

namespace plat {

namespace {
std::string failure(const std::string& what, const std::string& path, int code) {
  return std::string(what) + " " + path + ": " + errorTextFor((unsigned long)code);
}

std::string folderOf(const std::string& path) {
  std::string parent = std::filesystem::path(path).parent_path().native();
  return parent.empty() ? std::string(".") : parent;
}
}  // namespace

bool writeFileFlushed(const std::string& path, std::string_view bytes, std::string& error) {
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = failure("cannot create", path, errno);
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A zero-byte write with nothing reported would loop for ever; call it a full disk.
      int code = n < 0 ? errno : ENOSPC;
      ::close(fd);
      error = failure("cannot write", path, code);
      return false;
    }
    done += size_t(n);
  }
  if (::fsync(fd) != 0) {
    int code = errno;
    ::close(fd);
    error = failure("cannot flush", path, code);
    return false;
  }
  // close(2) must not be retried on EINTR: the descriptor is gone either way.
  if (::close(fd) != 0 && errno != EINTR) {
    error = failure("cannot close", path, errno);
    return false;
  }
  return true;
}

bool replaceFileDurably(const std::string& tmpPath, const std::string& path, std::string& error) {
  if (::rename(tmpPath.c_str(), path.c_str()) != 0) {
    error = failure("cannot rename " + tmpPath + " to", path, errno);
    return false;
  }
  // From here on the new file is in place whatever happens: the caller's data
  // is saved, so a folder that cannot be flushed is only a warning.
  std::string folder = folderOf(path);
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    error = failure("cannot open folder", folder, errno);
    return true;
  }
  int rc = ::fsync(dir);
  int code = errno;
  ::close(dir);
  // Some file systems cannot flush a folder at all; the rename is then as
  // durable as they can make it.
  if (rc != 0 && code != EINVAL && code != ENOTSUP) error = failure("cannot flush folder", folder, code);
  return true;
}

}  // namespace plat
