// The quoting rules checked against Windows' own parser.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "plat/process.h"
#include "plat/text.h"

TEST(ProcessQuoteWin32, CommandLineToArgvRoundTrip) {
  const std::vector<std::string> args = {"",        "plain",          "two words", "say \"hi\"",   "C:\\My Games\\",
                                         "\\\"a b\\\" c", "trailing\\\\", "a\\\\\"b",  "tab\there",   "é à"};
  std::string line = "prog.exe";
  for (const std::string& a : args) line += " " + plat::quoteArg(a);
  plat::WideString wide = plat::widen(line);
  int count = 0;
  wchar_t** parsed = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(wide.c_str()), &count);
  ASSERT_NE(parsed, nullptr);
  ASSERT_EQ(count, int(args.size() + 1));
  for (size_t i = 0; i < args.size(); i++) {
    std::u16string w(reinterpret_cast<const char16_t*>(parsed[i + 1]));
    EXPECT_EQ(plat::narrow(w), args[i]) << i;
  }
  LocalFree(parsed);
}

// A process outside the job (the test itself, through a duplicated handle)
// holds the output open: releasing the record closes the job, gives the reader
// its grace and then cancels its blocked read.
TEST(ProcessWin32, ReleaseCancelsAReaderHeldByAnOutsider) {
  HANDLE outsider = nullptr;
  double took = 0;
  {
    plat::ChildProcess c;
    std::string error;
    std::vector<std::string> seen;
    std::string exe = plat::exeDir() + "\\veyra_child.exe";
    ASSERT_TRUE(plat::startProcess(c, exe, {"--handle", "--sleep", "60"}, "", true, error)) << error;
    for (int i = 0; i < 2000 && seen.empty(); i++) {
      seen = plat::takeLines(c);
      Sleep(10);
    }
    ASSERT_FALSE(seen.empty());
    ASSERT_EQ(seen[0].rfind("handle ", 0), 0u) << seen[0];
    HANDLE theirs = HANDLE(uintptr_t(std::stoull(seen[0].substr(7))));
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, plat::processId(c));
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(DuplicateHandle(process, theirs, GetCurrentProcess(), &outsider, 0, FALSE, DUPLICATE_SAME_ACCESS));
    CloseHandle(process);
    took = plat::nowSeconds();
  }
  took = plat::nowSeconds() - took;
  EXPECT_LT(took, 10.0);
  CloseHandle(outsider);
}
