// Command-line parsing for the three run modes.
#include "app/options.h"

#include "plat/text.h"

Options parseOptions(const std::vector<std::string>& args) {
  Options o;
  size_t i = 0;
  auto value = [&]() -> std::string {
    if (i + 1 < args.size()) return args[++i];
    return {};
  };
  for (; i < args.size(); i++) {
    const std::string& a = args[i];
    if (a == "--release") o.release = value();
    else if (a == "--version") o.version = true;
    else if (a == "--self-check") o.selfCheck = value();
    else if (a == "--report") o.report = value();
    else if (a == "--ui-scale") o.uiScale = plat::parseLeadingNumber(value());
    else if (a == "--update-url") o.updateUrl = value();
    else if (a == "--download-prefix") o.downloadPrefix = value();
    else if (a == "--update-now") o.updateNow = true;
    else if (a == "--updated-to") o.updatedTo = value();
    else if (a == "--selftest") o.selftest = value();
    else if (a == "--shots") o.shots = value();
    else if (a == "--wrong") o.wrong = value();
    else if (a == "--error-demo") o.errorDemo = true;
    else if (a == "--cancel") o.cancel = true;
    else if (a == "--screens") o.screens = true;
    else if (a == "--gamepad") o.gamepad = true;
    else if (a == "--play-seconds") o.playSeconds = plat::parseLeadingNumber(value());
    else if (a == "--crash-seconds") o.crashSeconds = plat::parseLeadingNumber(value());
    else if (a == "--verify") {
      o.verify = true;
      o.verifyImage = value();
    } else if (a == "--prepare") o.prepare = true;
    else if (a == "--disc") {
      o.discGiven = true;
      o.disc = value();
    } else if (a == "--play") o.play = true;
    else if (a == "--video-mode") {
      o.videoModeGiven = true;
      o.videoMode = value();
    } else if (a == "--video-size") {
      o.videoSizeGiven = true;
      o.videoSize = value();
    } else if (a == "--status") o.status = true;
    else if (a == "--install-desktop-entry") o.installDesktopEntry = true;
    else if (a == "--json") o.json = true;
    else if (a == "--help") o.help = true;
  }
  return o;
}
