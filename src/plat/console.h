// The terminal side of the launcher's headless commands: reaching the caller's
// console, telling a terminal from a pipe or file, writing text to either, and
// turning the terminal's stop requests (Ctrl+C, a hang-up, a closed console)
// into a flag the command loop polls.
#pragma once
#include <cstdio>
#include <string>

namespace plat {

// Makes standard output and standard error usable for a command run from a
// terminal. Windows: the launcher is a windowed program, so it attaches to
// the console of the process that started it and reopens the streams that
// have no valid handle (a redirected pipe or file is kept as it is). POSIX:
// nothing to do.
void attachConsole();

// Whether the stream is a terminal (isatty / a console handle): only then is a
// progress line redrawn in place.
bool isTerminal(FILE* stream);

// Writes UTF-8 text and flushes. A Windows console gets the text as UTF-16 so
// accents show whatever its code page; anything else gets the bytes as they are.
// A write that fails (a closed pipe) is dropped.
void writeText(FILE* stream, const std::string& utf8);

// From here on SIGINT, SIGTERM and SIGHUP (POSIX) or Ctrl+C, Ctrl+Break and
// the console's closing (Windows) no longer end the process: they raise the
// stop flag instead. POSIX also ignores SIGPIPE so a closed reader cannot end
// a build without its time being banked.
void installStopHandlers();
// Whether a stop was requested since the handlers were installed.
bool stopRequested();
// Clears the flag (tests).
void clearStopRequest();
// Called once the stop has been dealt with (the build stopped, its time
// banked). Windows gives a closing console's handler a few seconds; it waits
// for this before letting the process be ended.
void stopHandled();

}  // namespace plat
