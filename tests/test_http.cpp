// One table of HTTP cases, run by whichever backend this binary was built
// with, against the local stand-in release service.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "plat/http.h"
#include "plat/text.h"
#include "test_server.h"

namespace fs = std::filesystem;

namespace {

enum Kind { Get, Download, Request };

const uint64_t MiB = 1048576;

struct HttpCase {
  const char* name;
  Kind kind;
  std::string path;  // appended to the server's base unless it has a scheme or starts with '!'
  uint64_t maxBytes = MiB;
  bool ok;
  int status = -1;        // -1: not checked
  std::string error;      // "*": any text
  int64_t size = -1;      // body or file size; -1: not checked; for a failed download: must leave no file
  int64_t total = -1;     // downloads: the total seen
  plat::HttpLimits limits = plat::httpGetLimits;
  bool stopFirst = false;
};
// Names the case in test listings instead of dumping its bytes.
inline void PrintTo(const HttpCase& c, std::ostream* os) { *os << c.name; }

// Test processes run side by side; each gets file names of its own.
std::string scratchName(const std::string& stem) {
  static const std::string token = std::to_string(std::random_device{}());
  return stem + "-" + token;
}

std::vector<HttpCase> httpCases() {
  std::string longPath(2047, 'p');
  longPath[0] = '/';
  return {
      {.name = "latest release", .kind = Get, .path = "/repos/TheTamblers/Morvane/releases/latest", .ok = true,
       .status = 200},
      {.name = "404 is a transfer", .kind = Get, .path = "/status/404", .ok = true, .status = 404, .size = 28},
      {.name = "ftp scheme", .kind = Get, .path = "!ftp://127.0.0.1/file", .ok = false, .status = 0,
       .error = "bad URL"},
      {.name = "no scheme", .kind = Get, .path = "!127.0.0.1/status/200", .ok = false, .status = 0, .error = "bad URL"},
      {.name = "path of 2047 fits", .kind = Get, .path = longPath, .ok = true, .status = 404},
      {.name = "path of 2048", .kind = Get, .path = longPath + "p", .ok = false, .status = 0, .error = "bad URL"},
      {.name = "host of 256", .kind = Get, .path = "!http://" + std::string(256, 'h') + "/x", .ok = false, .status = 0,
       .error = "bad URL"},
      {.name = "redirect to another port", .kind = Get, .path = "/other/status/203", .ok = true, .status = 203,
       .size = 28},
      {.name = "endless redirects end", .kind = Get, .path = "/loop/0", .ok = false, .error = "*"},
      {.name = "body of exactly the limit", .kind = Get, .path = "/bytes/1048576", .ok = true, .status = 200,
       .size = int64_t(MiB)},
      {.name = "body one byte over", .kind = Get, .path = "/bytes/1048577", .ok = false, .status = 200,
       .error = "response too large"},
      {.name = "nothing listening", .kind = Get, .path = "!http://127.0.0.1:1/", .ok = false, .status = 0,
       .error = "*"},
      {.name = "download", .kind = Download, .path = "/bytes/300000", .maxBytes = 300000, .ok = true, .size = 300000,
       .total = 300000},
      {.name = "download one byte over", .kind = Download, .path = "/bytes/300001", .maxBytes = 300000, .ok = false,
       .error = "download too large"},
      {.name = "download 404", .kind = Download, .path = "/status/404", .ok = false, .error = "HTTP 404"},
      {.name = "empty download", .kind = Download, .path = "/bytes/0", .ok = true, .size = 0, .total = 0},
      {.name = "download without length", .kind = Download, .path = "/nolength/200000", .ok = true, .size = 200000,
       .total = 0},
      {.name = "download stopped", .kind = Download, .path = "/bytes/300000", .ok = false, .error = "stopped",
       .limits = plat::largeDownloadLimits, .stopFirst = true},
      {.name = "silent server", .kind = Request, .path = "/stall", .ok = false, .status = 0, .error = "*",
       .limits = {.receiveTimeoutMs = 1500}},
      {.name = "body stalls", .kind = Request, .path = "/stall-body/100", .ok = false, .status = 200, .error = "*",
       .limits = {.receiveTimeoutMs = 1500}},
      {.name = "dripping past the deadline", .kind = Request, .path = "/drip/100/250", .ok = false, .status = 200,
       .error = "no complete answer within 2 s", .limits = {.receiveTimeoutMs = 1500, .totalDeadlineSeconds = 2}},
      {.name = "dripping below the floor", .kind = Request, .path = "/drip/100/250", .ok = false, .status = 200,
       .error = "fewer than 1024 bytes in 2 s",
       .limits = {.receiveTimeoutMs = 1500, .minBytesPerWindow = 1024, .windowSeconds = 2}},
      {.name = "steady above the floor", .kind = Request, .path = "/paced/2048/200/15", .ok = true, .status = 200,
       .size = 30720, .limits = {.receiveTimeoutMs = 1500, .minBytesPerWindow = 1024, .windowSeconds = 1}},
  };
}

std::string urlFor(const TestServer& server, const std::string& path) {
  if (!path.empty() && path[0] == '!') return path.substr(1);
  return server.base() + path;
}

class HttpTable : public ::testing::TestWithParam<HttpCase> {};

TEST_P(HttpTable, Case) {
  const HttpCase& c = GetParam();
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  std::string url = urlFor(server, c.path);
  std::string error;
  int status = -1;
  bool ok = false;
  int64_t size = 0;
  if (c.kind == Get) {
    std::string body;
    ok = plat::httpGet(url, "Veyra-Launcher/test", body, status, error, c.maxBytes);
    size = int64_t(body.size());
  } else if (c.kind == Request) {
    uint64_t length = 0;
    ok = plat::httpRequest(url, "Veyra-Launcher/test", "", c.limits, status, length, error,
                           [&](const char*, size_t n) {
                             size += int64_t(n);
                             return true;
                           });
  } else {
    fs::path file = fs::temp_directory_path() / (scratchName("veyra-http-" + std::string(c.name).substr(0, 12)) + ".bin");
    fs::remove(file);
    std::atomic<uint64_t> done{0}, total{99};
    std::atomic<bool> stop{c.stopFirst};
    ok = plat::httpDownload(url, "Veyra-Launcher/test", plat::pathToUtf8(file), done, total, stop, error,
                            c.maxBytes, c.limits);
    if (ok) {
      ASSERT_TRUE(fs::exists(file));
      size = int64_t(fs::file_size(file));
      EXPECT_EQ(done.load(), uint64_t(size));
    } else {
      EXPECT_FALSE(fs::exists(file)) << "a failed download leaves no file";
    }
    if (c.total >= 0) {
      EXPECT_EQ(total.load(), uint64_t(c.total));
    }
    fs::remove(file);
  }
  EXPECT_EQ(ok, c.ok) << error;
  if (c.status >= 0) {
    EXPECT_EQ(status, c.status);
  }
  if (c.error == "*") {
    EXPECT_FALSE(error.empty());
  } else {
    EXPECT_EQ(error, c.error);
  }
  if (c.size >= 0) {
    EXPECT_EQ(size, c.size);
  }
}

INSTANTIATE_TEST_SUITE_P(Http, HttpTable, ::testing::ValuesIn(httpCases()),
                         [](const ::testing::TestParamInfo<HttpCase>& info) {
                           std::string n;
                           for (char ch : std::string(info.param.name)) n += std::isalnum((unsigned char)ch) ? ch : '_';
                           return n;
                         });

std::vector<std::string> requestLog(const TestServer& server) {
  std::ifstream in(plat::pathFromUtf8(server.logPath));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Http, DownloadIntoMissingFolderSendsNothing) {
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  fs::path file = fs::temp_directory_path() / "veyra-no-such-folder" / "x.bin";
  std::atomic<uint64_t> done{0}, total{0};
  std::atomic<bool> stop{false};
  std::string error;
  EXPECT_FALSE(plat::httpDownload(server.base() + "/bytes/17017", "Veyra-Launcher/test", plat::pathToUtf8(file),
                                  done, total, stop, error, MiB));
  EXPECT_FALSE(error.empty());
  for (const std::string& line : requestLog(server)) EXPECT_EQ(line.find("/bytes/17017"), std::string::npos);
}

TEST(Http, StopDuringDownloadLeavesNoFile) {
  TestServer server;
  std::string why;
  if (!testServer(server, why)) GTEST_SKIP() << why;
  fs::path file = fs::temp_directory_path() / (scratchName("veyra-http-stop") + ".bin");
  std::atomic<uint64_t> done{0}, total{0};
  std::atomic<bool> stop{false};
  std::string error;
  bool ok = true;
  std::thread t([&] {
    ok = plat::httpDownload(server.base() + "/drip/400/20", "Veyra-Launcher/test", plat::pathToUtf8(file), done,
                            total, stop, error, MiB);
  });
  double until = plat::nowSeconds() + 20;
  while (done.load() < 10 && plat::nowSeconds() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(total.load(), 400u);
  stop.store(true);
  t.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, "stopped");
  EXPECT_FALSE(fs::exists(file));
}

}  // namespace
