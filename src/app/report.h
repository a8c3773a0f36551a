// Text mode: the version report and the self-check, written to standard
// output or to the --report file.
#pragma once
#include <string>

struct Options;

// Seconds the self-check gives the disc check; tests lower it.
extern double selfCheckDiscTimeout;

std::string versionReport();
// Builds the report, writes it, returns the exit code.
int runTextMode(const Options& options);
