// The arguments that begin every run of the build script, shared by the disc
// check and the build runner.
#pragma once
#include <string>
#include <vector>

struct App;
std::vector<std::string> buildScriptBaseArgs(const App& app);
