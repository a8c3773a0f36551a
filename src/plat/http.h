// Blocking HTTP GET, into memory or streamed into a file. Runs on worker
// threads only. Failures return false with an error text: the launcher's own
// short English words or the system's message.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace plat {

using ChunkConsumer = std::function<bool(const char* data, size_t size)>;

// How long a transfer may take. The receive time-out bounds each wait for
// bytes, which a server sending one byte every few seconds never trips; so a
// small answer also gets a total deadline, and a large one a throughput floor.
struct HttpLimits {
  int receiveTimeoutMs = 8000;
  double totalDeadlineSeconds = 0;  // 0 = none
  uint64_t minBytesPerWindow = 0;   // 0 = no throughput floor
  double windowSeconds = 30;
};

inline constexpr HttpLimits httpGetLimits{8000, 30, 0, 30};
inline constexpr HttpLimits smallDownloadLimits{30000, 30, 0, 30};
inline constexpr HttpLimits largeDownloadLimits{30000, 0, 1024, 30};

bool httpRequest(const std::string& url, const std::string& userAgent, const std::string& extraHeaders,
                 const HttpLimits& limits, int& status, uint64_t& contentLength, std::string& error,
                 const ChunkConsumer& consumer);

bool httpGet(const std::string& url, const std::string& userAgent, std::string& body, int& status,
             std::string& error, uint64_t maxBytes);

bool httpDownload(const std::string& url, const std::string& userAgent, const std::string& path,
                  std::atomic<uint64_t>& done, std::atomic<uint64_t>& total, const std::atomic<bool>& stop,
                  std::string& error, uint64_t maxBytes, const HttpLimits& limits = largeDownloadLimits);

// Shared by both backends: applies the total deadline and the throughput floor
// of `limits` to a running transfer. Call `check` whenever control returns;
// false means the transfer must end with `error`.
struct TransferWatch {
  HttpLimits limits;
  double started = 0, windowStart = 0;
  uint64_t windowBytesStart = 0;

  explicit TransferWatch(const HttpLimits& l);
  bool check(uint64_t bytesSoFar, std::string& error);
};

// Host and path length limits of a URL, in UTF-16 units as Windows counts them.
inline constexpr size_t maxUrlHostUnits = 255, maxUrlPathUnits = 2047;

}  // namespace plat
