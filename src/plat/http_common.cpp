// The two public HTTP operations, built on each backend's httpRequest, and the
// watch both backends use to end transfers that drip or crawl.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "plat/http.h"
#include "plat/text.h"

namespace plat {

namespace {
std::string seconds(double s) { return std::to_string(std::llround(s)) + " s"; }
}  // namespace

TransferWatch::TransferWatch(const HttpLimits& l) : limits(l) {
  started = windowStart = nowSeconds();
}

bool TransferWatch::check(uint64_t bytesSoFar, std::string& error) {
  double now = nowSeconds();
  if (limits.totalDeadlineSeconds > 0 && now - started > limits.totalDeadlineSeconds) {
    error = "no complete answer within " + seconds(limits.totalDeadlineSeconds);
    return false;
  }
  if (limits.minBytesPerWindow > 0 && now - windowStart >= limits.windowSeconds) {
    if (bytesSoFar - windowBytesStart < limits.minBytesPerWindow) {
      error = "fewer than " + std::to_string(limits.minBytesPerWindow) + " bytes in " +
              seconds(limits.windowSeconds);
      return false;
    }
    windowStart = now;
    windowBytesStart = bytesSoFar;
  }
  return true;
}

bool httpGet(const std::string& url, const std::string& userAgent, std::string& body, int& status,
             std::string& error, uint64_t maxBytes) {
  body.clear();
  uint64_t contentLength = 0;
  return httpRequest(url, userAgent, "Accept: application/vnd.github+json\r\nX-GitHub-Api-Version: 2022-11-28\r\n",
                     httpGetLimits, status, contentLength, error, [&](const char* data, size_t size) {
                       body.append(data, size);
                       if (body.size() > maxBytes) {
                         error = "response too large";
                         return false;
                       }
                       return true;
                     });
}

bool httpDownload(const std::string& url, const std::string& userAgent, const std::string& path,
                  std::atomic<uint64_t>& done, std::atomic<uint64_t>& total, const std::atomic<bool>& stop,
                  std::string& error, uint64_t maxBytes, const HttpLimits& limits) {
  done.store(0);
  total.store(0);
  FILE* file = openFile(path, "wb");
  if (!file) {
    error = lastErrorText();
    return false;
  }
  int status = 0;
  uint64_t contentLength = 0;
  bool first = true;
  std::string failure;
  bool ok = httpRequest(url, userAgent, "Accept: application/octet-stream\r\n", limits, status, contentLength,
                        failure, [&](const char* data, size_t size) {
                          if (first) {
                            first = false;
                            total.store(contentLength);
                          }
                          if (status != 200) return false;
                          if (stop.load()) {
                            failure = "stopped";
                            return false;
                          }
                          if (fwrite(data, 1, size, file) != size) {
                            failure = lastErrorText();
                            return false;
                          }
                          uint64_t now = done.fetch_add(size) + size;
                          if (now > maxBytes) {
                            failure = "download too large";
                            return false;
                          }
                          return true;
                        });
  // Buffered bytes reach the disk only here, so a full disk may show now.
  if (fclose(file) != 0 && ok && status == 200) {
    ok = false;
    failure = lastErrorText();
  }
  if (ok && status == 200) return true;
  if (ok) failure = "HTTP " + std::to_string(status);
  else if (failure.empty()) failure = status == 200 ? "download failed" : "HTTP " + std::to_string(status);
  error = failure;
  std::error_code ec;
  std::filesystem::remove(pathFromUtf8(path), ec);
  return false;
}

}  // namespace plat
