// Pieces of the update that stand alone: the asset name, the update
// script's command line and the reading of its output lines.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// "Morvane-<version>-tambler.zip" on Windows, "...-tambler-linux.zip" on Linux.
std::string releaseAssetName(const std::string& version);

// The interpreter's arguments for the update script.
std::vector<std::string> installerArgs(const std::string& sourceDir, const std::string& zipPath,
                                       const std::string& version, const std::string& releaseDir);

// Applies one output line of the update script: "step ", "progress A B",
// "error " and "done " lines; anything else is ignored.
void applyInstallerLine(const std::string& line, std::string& step, std::atomic<uint64_t>& done,
                        std::atomic<uint64_t>& total, std::string& message);
// Whether applyInstallerLine acts on the line: the output reader never drops these.
bool isInstallerLine(std::string_view line);

// The restarted launcher's arguments: the launcher's own, with every
// `--release` value replaced by the absolute `releaseDir` and one
// "--updated-to <version>" at the end (replacing an earlier one).
std::vector<std::string> restartArguments(const std::vector<std::string>& args, const std::string& releaseDir,
                                          const std::string& version);

struct App;
// --update-now: once the release check reports a newer release while no update
// is under way, starts it and forgets the option. Starts no check of its own.
void pollUpdateNow(App& app);
