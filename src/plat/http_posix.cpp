// HTTP requests through libcurl, behaving as the Windows backend does: the
// same URL limits, redirect rule, time-outs and error reporting.
#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

#include "plat/http.h"
#include "plat/text.h"

namespace plat {

namespace {

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string lowered(std::string s) {
  for (char& c : s) c = char(std::tolower((unsigned char)c));
  return s;
}

// Splits the URL as the Windows backend would judge it: http or https only,
// a host of at most 255 and a path (with its query) of at most 2047 units.
bool urlAcceptable(const std::string& url, bool& secure) {
  CURLU* u = curl_url();
  if (!u) return false;
  bool ok = false;
  char *scheme = nullptr, *host = nullptr, *path = nullptr, *query = nullptr;
  if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_PATH, &path, 0) == CURLUE_OK) {
    curl_url_get(u, CURLUPART_QUERY, &query, 0);
    std::string s = lowered(scheme);
    size_t pathUnits = widen(path).size() + (query ? 1 + widen(query).size() : 0);
    ok = (s == "http" || s == "https") && *host && widen(host).size() <= maxUrlHostUnits &&
         pathUnits <= maxUrlPathUnits;
    secure = s == "https";
  }
  curl_free(scheme);
  curl_free(host);
  curl_free(path);
  curl_free(query);
  curl_url_cleanup(u);
  return ok;
}

struct Transfer {
  const ChunkConsumer* consumer;
  int* status;
  uint64_t* contentLength;
  TransferWatch watch;
  double stallSeconds;
  double lastActivity;
  uint64_t bytes = 0;
  bool consumerStopped = false;
  std::string ownError;  // a limit of ours ended the transfer
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  std::string line(data, n);
  t->lastActivity = nowSeconds();
  // Every response (each redirect hop, a 100 Continue) starts with its status
  // line; only the last one's status and length count.
  if (line.compare(0, 5, "HTTP/") == 0) {
    *t->status = 0;
    *t->contentLength = 0;
    size_t sp = line.find(' ');
    if (sp != std::string::npos) *t->status = std::atoi(line.c_str() + sp + 1);
  } else if (lowered(line.substr(0, 15)) == "content-length:") {
    size_t i = 15;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    uint64_t v = 0;
    while (i < line.size() && std::isdigit((unsigned char)line[i])) v = v * 10 + uint64_t(line[i++] - '0');
    *t->contentLength = v;
  }
  return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  t->lastActivity = nowSeconds();
  t->bytes += n;
  if (n == 0) return 0;
  if (!(*t->consumer)(data, n)) {
    t->consumerStopped = true;
    return 0;  // curl ends the transfer with a write error
  }
  return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (!t->watch.check(t->bytes, t->ownError)) return 1;
  if (nowSeconds() - t->lastActivity > t->stallSeconds) {
    t->ownError = curl_easy_strerror(CURLE_OPERATION_TIMEDOUT);
    return 1;
  }
  return 0;
}

}  // namespace

bool httpRequest(const std::string& url, const std::string& userAgent, const std::string& extraHeaders,
                 const HttpLimits& limits, int& status, uint64_t& contentLength, std::string& error,
                 const ChunkConsumer& consumer) {
  status = 0;
  contentLength = 0;
  bool secure = false;
  if (!urlAcceptable(url, secure)) {
    error = "bad URL";
    return false;
  }
  initCurlOnce();
  CURL* curl = curl_easy_init();
  if (!curl) {
    error = "the HTTP library could not start";
    return false;
  }
  curl_slist* headers = nullptr;
  for (size_t start = 0; start < extraHeaders.size();) {
    size_t end = extraHeaders.find("\r\n", start);
    if (end == std::string::npos) end = extraHeaders.size();
    if (end > start) headers = curl_slist_append(headers, extraHeaders.substr(start, end - start).c_str());
    start = end + 2;
  }

  Transfer t{&consumer, &status, &contentLength, TransferWatch(limits), limits.receiveTimeoutMs / 1000.0,
             nowSeconds()};
  char curlError[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // Redirects are followed as WinHTTP does it, never down from https; libcurl
  // before 8.3 has no hop limit of its own.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
  curl_easy_setopt(curl, CURLOPT_DNS_CACHE_TIMEOUT, 60L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlError);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);

  CURLcode rc = curl_easy_perform(curl);
  bool ok = rc == CURLE_OK;
  if (!ok && !t.consumerStopped) {
    // The consumer writes its own text; anything else is ours or curl's.
    if (!t.ownError.empty()) error = t.ownError;
    else if (curlError[0]) error = trimSystemMessage(curlError);
    else error = curl_easy_strerror(rc);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return ok;
}

}  // namespace plat
