// Headless commands: checking a disc, preparing and playing the game, and
// reporting what the launcher knows, from a terminal or a script, through the
// same App operations the window uses. Plain lines in the launcher's language
// by default, one JSON object per line with --json.
#pragma once
#include <string>
#include <vector>

struct Options;

// Exit codes of the headless commands.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;    // a rejected disc, a failed build, a crashed game
constexpr int kExitUsage = 2;     // bad usage, missing release items, nothing to prepare or play
constexpr int kExitStopped = 130; // stopped by Ctrl+C or another stop request

// Every option of the launcher, one per line.
std::string helpText();
// Runs the command the options name; returns the exit code.
int runHeadless(const Options& options);

// A JSON string literal for UTF-8 text, quotes included. Bytes that are not
// valid UTF-8 become U+FFFD, so the output always parses.
std::string jsonString(const std::string& utf8);
// The usage error for these options, or empty when they name one valid command.
std::string headlessUsageError(const Options& options);
// Reads "WIDTHxHEIGHT" (digits only, at least 160 x 120); false otherwise.
bool parseVideoSize(const std::string& text, int& width, int& height);
