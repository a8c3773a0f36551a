// The disc check's reading of the script's output, kept apart from the process
// handling so the line rules can be tried on their own.
#pragma once
#include <string>
#include <vector>

#include "plat/process.h"

struct DiscVerdict {
  std::string okLine;  // the last line beginning with "OK"
  std::string reason;  // the script's words for a rejection
};

DiscVerdict readDiscCheckOutput(const std::vector<std::string>& lines);
// The same, one line at a time, as the lines arrive.
void readDiscCheckLine(DiscVerdict& verdict, const std::string& line);
// Keeps, for the output reader, every line that can change the verdict.
plat::KeepLine discCheckKeepLine();
// What a rejection means, read from the script's words; first match wins.
enum class DiscRejection { AnotherGame, Modified, Missing, NotAnImage };
DiscRejection classifyDiscRejection(const std::string& reason);
// The short reason shown to the user for a rejection with the script's words `reason`.
std::string discRejectionText(const std::string& reason, bool french);
