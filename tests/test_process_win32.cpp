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
