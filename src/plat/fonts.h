// Where the system keeps a monospace font for the log-like texts.
#pragma once
#include <string>
#include <vector>

namespace plat {
// Candidate font files, in the order they are tried.
std::vector<std::string> monospaceFontFiles();
}
