// Durable whole-file replacement: the new bytes reach the disk before the
// name points at them, so a crash or a power cut leaves the old file or the
// new one, never an empty or torn one. Every step is checked.
#pragma once
#include <string>
#include <string_view>

namespace plat {

// Creates or truncates `path` (UTF-8), writes exactly `bytes` and flushes them
// to stable storage before closing. False with `error` filled on the first
// step that fails (the partly written file may stay behind).
bool writeFileFlushed(const std::string& path, std::string_view bytes, std::string& error);

// Moves `tmpPath` onto `path`, replacing an existing file, with the move itself
// made durable (the folder entry is flushed on POSIX, write-through on Windows).
// False with `error` filled leaves both files as they were. True means the new
// file is in place; when the folder could not be flushed afterwards, `error`
// holds that as a warning (the move may not survive a power cut).
bool replaceFileDurably(const std::string& tmpPath, const std::string& path, std::string& error);

}  // namespace plat
