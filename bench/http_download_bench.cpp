// Download throughput over loopback and the process's peak memory, through the
// launcher's own httpDownload. Usage:
//   http_download_bench <base URL of the release service> <bytes> <target file>
// Prints MB/s and the peak resident size before and after; the second must not
// grow with the file's size.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "plat/http.h"
#include "plat/text.h"

namespace {
// Linux only: the kernel's high-water mark of resident memory, in KiB.
long peakResidentKiB() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atol(line + 6);
  std::fclose(f);
  return kib;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s BASE_URL BYTES TARGET_FILE\n", argv[0]);
    return 2;
  }
  std::string url = std::string(argv[1]) + "/bytes/" + argv[2];
  long before = peakResidentKiB();
  std::atomic<uint64_t> done{0}, total{0};
  std::atomic<bool> stop{false};
  std::string error;
  double start = plat::nowSeconds();
  bool ok = plat::httpDownload(url, "Veyra-Launcher/bench", argv[3], done, total, stop, error, 2147483648ull);
  double seconds = plat::nowSeconds() - start;
  long after = peakResidentKiB();
  std::error_code ec;
  std::filesystem::remove(argv[3], ec);
  if (!ok) {
    std::fprintf(stderr, "download failed: %s\n", error.c_str());
    return 1;
  }
  std::printf("bytes %llu  seconds %.2f  throughput %.1f MB/s  peak RSS before %ld KiB, after %ld KiB\n",
              (unsigned long long)done.load(), seconds, done.load() / seconds / 1e6, before, after);
  return 0;
}
