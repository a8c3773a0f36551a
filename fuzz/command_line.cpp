// Arguments quoted for a Windows command line come back whole: the input's
// NUL-separated pieces are the arguments (a Windows argument cannot hold a
// NUL), joined by the launcher's own command-line builder and split again by
// the rules Windows programs use to read it (CommandLineToArgvW, in the
// 2008 form the C runtime shares; the Windows tests hold the real one to the
// same quoting).
#include "fuzz_support.h"
#include "plat/process.h"
#include "plat/process_internal.h"

namespace {
// The arguments after the program name.
std::vector<std::string> splitArguments(const std::string& line, size_t i) {
  std::vector<std::string> args;
  auto blank = [&](size_t at) { return line[at] == ' ' || line[at] == '\t'; };
  while (true) {
    while (i < line.size() && blank(i)) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || !blank(i))) {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2) {
          arg.push_back('"');
          ++i;
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg.push_back('"');  // "" inside quotes is a literal quote
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg.append(backslashes, '\\');
        if (i < line.size() && (quoted || !blank(i))) arg.push_back(line[i++]);
      }
    }
    args.push_back(arg);
  }
  return args;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  const std::string text = fuzzText(data, size);
  size_t start = 0;
  while (start <= text.size() && size > 0) {
    size_t nul = text.find('\0', start);
    if (nul == std::string::npos) nul = text.size();
    args.push_back(text.substr(start, nul - start));
    start = nul + 1;
  }
  for (const std::string& a : args) {
    const std::string q = plat::quoteArg(a);
    FUZZ_CHECK(splitArguments("p " + q, 1) == std::vector<std::string>{a});
  }
  const std::string line = plat::commandLine("C:\\Program Files\\Morvane\\python.exe", args);
  const std::string program = "\"C:\\Program Files\\Morvane\\python.exe\"";
  FUZZ_CHECK(line.compare(0, program.size(), program) == 0);
  FUZZ_CHECK(splitArguments(line, program.size()) == args);
  return 0;
}
