/* Loaded with LD_PRELOAD into a test program: the Nth write(2) to a regular
   file (N from VEYRA_FAIL_WRITE_AT) fails with ENOSPC, as on a full disk. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

ssize_t write(int fd, const void* buf, size_t count) {
  static ssize_t (*real)(int, const void*, size_t);
  static long seen;
  if (!real) real = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const char* at = getenv("VEYRA_FAIL_WRITE_AT");
    if (at && ++seen == atol(at)) {
      errno = ENOSPC;
      return -1;
    }
  }
  return real(fd, buf, count);
}
