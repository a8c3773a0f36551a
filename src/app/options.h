// The command line: options scanned left to right, compared whole and
// case-sensitively. A value option consumes the next token whatever it looks
// like; as the last token its value is empty.
#pragma once
#include <string>
#include <vector>

struct Options {
  std::string release;
  bool version = false;
  std::string selfCheck;
  std::string report;
  double uiScale = 0;
  std::string updateUrl;
  std::string downloadPrefix;
  bool updateNow = false;
  // Added by the launcher itself when it restarts after installing a version:
  // the restarted launcher can tell that the install did not take effect.
  std::string updatedTo;
  std::string selftest;
  std::string shots;
  std::string wrong;
  bool errorDemo = false;
  bool cancel = false;
  bool screens = false;
  bool gamepad = false;  // the self-test presses through a virtual gamepad
  double playSeconds = 40;
  double crashSeconds = 0;
  // Headless commands. A value option given as the last token is still
  // "given" (with an empty value) so the command can say what is missing.
  bool verify = false;
  std::string verifyImage;
  bool prepare = false;
  bool discGiven = false;
  std::string disc;
  bool play = false;
  bool videoModeGiven = false, videoSizeGiven = false;
  std::string videoMode, videoSize;
  bool status = false;
  bool installDesktopEntry = false;
  bool json = false;
  bool help = false;

  bool textMode() const { return version || !selfCheck.empty(); }
  // Any headless option, the modifiers included, so a stray --json or
  // --disc is answered on the terminal instead of opening a window.
  bool headlessMode() const {
    return help || verify || prepare || play || status || installDesktopEntry || json || discGiven || videoModeGiven || videoSizeGiven;
  }
};

Options parseOptions(const std::vector<std::string>& args);
