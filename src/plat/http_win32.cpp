// HTTP requests through WinHTTP. The platform follows redirects (never from
// https down to http) and validates certificates with its own defaults.
#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "plat/http.h"
#include "plat/text.h"
#include "plat/win32_text.h"

namespace plat {

namespace {

// Closes the request, connection and session handles in that order.
struct Handles {
  HINTERNET session = nullptr, connection = nullptr, request = nullptr;
  ~Handles() {
    if (request) WinHttpCloseHandle(request);
    if (connection) WinHttpCloseHandle(connection);
    if (session) WinHttpCloseHandle(session);
  }
};

// WinHTTP's own codes (12001 to 12199) live in its module's message table,
// not the system's.
std::string httpErrorText() {
  DWORD code = GetLastError();
  if (code >= 12000 && code < 12200) {
    HMODULE winhttp = GetModuleHandleW(L"winhttp.dll");
    std::string text = winhttp ? formatMessageText(winhttp, code) : std::string();
    if (!text.empty()) return text;
  }
  return errorTextFor(code);
}

}  // namespace

bool httpRequest(const std::string& url, const std::string& userAgent, const std::string& extraHeaders,
                 const HttpLimits& limits, int& status, uint64_t& contentLength, std::string& error,
                 const ChunkConsumer& consumer) {
  status = 0;
  contentLength = 0;
  const std::wstring wurl = toWide(url);

  wchar_t host[maxUrlHostUnits + 1] = {}, path[maxUrlPathUnits + 1] = {};
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = DWORD(maxUrlHostUnits + 1);
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = DWORD(maxUrlPathUnits + 1);
  if (!WinHttpCrackUrl(wurl.c_str(), DWORD(wurl.size()), 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || !host[0]) {
    error = "bad URL";
    return false;
  }

  Handles h;
  const std::wstring agent = toWide(userAgent);
  h.session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0);
  if (!h.session)
    h.session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
  if (!h.session) {
    error = httpErrorText();
    return false;
  }
  WinHttpSetTimeouts(h.session, 5000, 5000, 5000, limits.receiveTimeoutMs);
  // The receive time-out alone does not bound a server that accepts the
  // request and never answers (seen under Wine); this one does.
  DWORD responseTimeout = DWORD(limits.receiveTimeoutMs);
  WinHttpSetOption(h.session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout, sizeof responseTimeout);

  h.connection = WinHttpConnect(h.session, host, parts.nPort, 0);
  if (!h.connection) {
    error = httpErrorText();
    return false;
  }
  h.request = WinHttpOpenRequest(h.connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES,
                                 parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
  if (!h.request) {
    error = httpErrorText();
    return false;
  }
  const std::wstring headers = toWide(extraHeaders);
  if (!WinHttpSendRequest(h.request, headers.c_str(), DWORD(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(h.request, nullptr)) {
    error = httpErrorText();
    return false;
  }

  DWORD code = 0, codeSize = sizeof code;
  if (WinHttpQueryHeaders(h.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &code, &codeSize, WINHTTP_NO_HEADER_INDEX))
    status = int(code);
  wchar_t length[32] = {};  // 64 bytes
  DWORD lengthSize = sizeof length;
  if (WinHttpQueryHeaders(h.request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, length,
                          &lengthSize, WINHTTP_NO_HEADER_INDEX)) {
    uint64_t v = 0;
    for (const wchar_t* p = length; *p >= L'0' && *p <= L'9'; ++p) v = v * 10 + uint64_t(*p - L'0');
    contentLength = v;
  }

  // The receive time-out bounds each read only, so a dripping server is
  // judged here, between reads, by the watch.
  TransferWatch watch(limits);
  uint64_t received = 0;
  std::vector<char> buffer;
  for (;;) {
    if (!watch.check(received, error)) return false;
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(h.request, &available)) {
      error = httpErrorText();
      return false;
    }
    if (available == 0) return true;
    buffer.resize(available);
    DWORD read = 0;
    if (!WinHttpReadData(h.request, buffer.data(), available, &read)) {
      error = httpErrorText();
      return false;
    }
    received += read;
    if (!watch.check(received, error)) return false;
    if (!consumer(buffer.data(), read)) return false;
  }
}

}  // namespace plat
