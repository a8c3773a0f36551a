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

struct HttpLimits {
  int receiveTimeoutMs = 8000;
  double totalDeadlineSeconds = 0;   // 0 = none
  uint64_t minBytesPerWindow = 0;    // 0 = no throughput floor
  double windowSeconds = 30;
};

bool httpRequest(const std::string& url, const std::string& userAgent, const std::string& extraHeaders,
                 const HttpLimits& limits, int& status, uint64_t& contentLength, std::string& error,
                 const ChunkConsumer& consumer);

bool httpGet(const std::string& url, const std::string& userAgent, std::string& body, int& status,
             std::string& error, uint64_t maxBytes);

bool httpDownload(const std::string& url, const std::string& userAgent, const std::string& path,
                  std::atomic<uint64_t>& done, std::atomic<uint64_t>& total, const std::atomic<bool>& stop,
                  std::string& error, uint64_t maxBytes);

}  // namespace plat
