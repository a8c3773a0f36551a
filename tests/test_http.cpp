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

struct HttpCase {
  const char* name;
  Kind kind;
  std::string path;  // appended to the server's base unless it has a scheme or starts with '!'
  uint64_t maxBytes;
  bool ok;
  int status;             // -1: not checked
  std::string error;      // "*": any text
  int64_t size;           // body or file size; -1: not checked; for a failed download: must leave no file
  int64_t total = -1;     // downloads: the total seen
  plat::HttpLimits limits = plat::httpGetLimits;
  bool stopFirst = false;
};
// Names the case in test listings instead of dumping its bytes.
inline void PrintTo(const HttpCase& c, std::ostream* os) { *os << c.name; }

const uint64_t MiB = 1048576;

// Test processes run side by side; each gets file names of its own.
std::string scratchName(const std::string& stem) {
  static const std::string token = std::to_string(std::random_device{}());
  return stem + "-" + token;
}

std::vector<HttpCase> httpCases() {
  std::string longPath(2047, 'p');
  longPath[0] = '/';
  return {
      {"latest release", Get, "/repos/TheTamblers/Morvane/releases/latest", MiB, true, 200, "", -1},
      {"404 is a transfer", Get, "/status/404", MiB, true, 404, "", 28},
      {"ftp scheme", Get, "!ftp://127.0.0.1/file", MiB, false, 0, "bad URL", -1},
      {"no scheme", Get, "!127.0.0.1/status/200", MiB, false, 0, "bad URL", -1},
      {"path of 2047 fits", Get, longPath, MiB, true, 404, "", -1},
      {"path of 2048", Get, longPath + "p", MiB, false, 0, "bad URL", -1},
      {"host of 256", Get, "!http://" + std::string(256, 'h') + "/x", MiB, false, 0, "bad URL", -1},
      {"redirect to another port", Get, "/other/status/203", MiB, true, 203, "", 28},
      {"endless redirects end", Get, "/loop/0", MiB, false, -1, "*", -1},
      {"body of exactly the limit", Get, "/bytes/1048576", MiB, true, 200, "", int64_t(MiB)},
      {"body one byte over", Get, "/bytes/1048577", MiB, false, 200, "response too large", -1},
      {"nothing listening", Get, "!http://127.0.0.1:1/", MiB, false, 0, "*", -1},
      {"download", Download, "/bytes/300000", 300000, true, -1, "", 300000, 300000},
      {"download one byte over", Download, "/bytes/300001", 300000, false, -1, "download too large", -1},
      {"download 404", Download, "/status/404", MiB, false, -1, "HTTP 404", -1},
      {"empty download", Download, "/bytes/0", MiB, true, -1, "", 0, 0},
      {"download without length", Download, "/nolength/200000", MiB, true, -1, "", 200000, 0},
      {"download stopped", Download, "/bytes/300000", MiB, false, -1, "stopped", -1, -1, plat::largeDownloadLimits,
       true},
      {"silent server", Request, "/stall", MiB, false, 0, "*", -1, -1, {1500, 0, 0, 30}},
      {"body stalls", Request, "/stall-body/100", MiB, false, 200, "*", -1, -1, {1500, 0, 0, 30}},
      {"dripping past the deadline", Request, "/drip/100/250", MiB, false, 200, "no complete answer within 2 s", -1,
       -1, {1500, 2, 0, 30}},
      {"dripping below the floor", Request, "/drip/100/250", MiB, false, 200, "fewer than 1024 bytes in 2 s", -1, -1,
       {1500, 0, 1024, 2}},
      {"steady above the floor", Request, "/paced/2048/200/15", MiB, true, 200, "", 30720, -1, {1500, 0, 1024, 1}},
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
