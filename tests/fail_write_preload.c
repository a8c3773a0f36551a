/* Loaded with LD_PRELOAD into a test program: the Nth write(2) to a regular
   file (N from VEYRA_FAIL_WRITE_AT) fails with ENOSPC, as on a full disk; with
   VEYRA_FAIL_FOLDER_FSYNC set, fsync(2) of a folder fails with EIO; with
   VEYRA_FAIL_THREADS set, no thread can be created (EAGAIN). */
#define _GNU_SOURCE  // NOLINT(bugprone-reserved-identifier): asks glibc for RTLD_NEXT
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
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

int fsync(int fd) {
  static int (*real)(int);
  if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  struct stat st;
  if (getenv("VEYRA_FAIL_FOLDER_FSYNC") && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EIO;
    return -1;
  }
  return real(fd);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
  static int (*real)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  if (!real) real = (int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*))dlsym(RTLD_NEXT, "pthread_create");
  if (getenv("VEYRA_FAIL_THREADS")) return EAGAIN;
  return real(thread, attr, start, arg);
}
