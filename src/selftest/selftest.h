// Scripted runs of the whole launcher: steps run one per frame, log lines go
// to selftest.log, screenshots to the shots folder.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ui/style.h"

struct App;

struct SelftestStep {
  std::string name;
  std::function<bool(App&, double)> run;  // elapsed seconds; true when finished
};

struct Selftest {
  std::string discImage, shotsDir, wrongDisc;
  bool errorDemo = false, cancelAtCompile = false, screensOnly = false;
  // --screens with --update-now: the tour only follows the unattended update
  // and logs how it ended (what the Play tab shows the player).
  bool watchUpdate = false;
  bool failed = false;
  // --gamepad: every press goes through a virtual gamepad, the focus moved
  // to the button first, as a player with only a pad would.
  bool gamepad = false;
  WidgetTrace trace;  // what the last frame drew, for finding the focus
  struct PadState {
    int held = -1;     // the button down since the last step, or -1
    int settle = 0;    // steps to wait for the press's effect to show
    unsigned before = 0;  // the focused item before the last move
    int lastDir = -1;
    std::vector<int> stuck;  // directions that did not move the focus from here
    int moves = 0;
    bool pressed = false;  // the target was pressed, waiting for the release
  } pad;
  double playSeconds = 40, crashSeconds = 0;
  FILE* log = nullptr;
  std::vector<SelftestStep> steps;
  size_t stepIndex = 0;
  double stepStart = 0;
  double buildStart = 0;
  double logStart = 0;
  std::string captureBase;

  ~Selftest();
  void logLine(const char* format, const std::string& a = {}, const std::string& b = {});
  void build();
  void buildScreens();
  void buildUpdateWatch();
  bool finished() const { return stepIndex >= steps.size(); }
  // Runs the current step once (the frame loop calls this each frame).
  void runStep(App& app, double now);

  SelftestStep shot(const std::string& name, double wait = 0.8);
  void setCaptureDir(const std::string& name);


  // Gamepad driving, called once per step. `padTap` presses a button for
  // one frame; `padBusy` is true while a press and its settling run.
  void padTap(int button);
  bool padBusy();
  // Moves the focus to the button or pill with this text and presses it with
  // the south button; true once done. Without --gamepad, `fallback` runs at
  // once instead. A target never reached fails the run.
  bool press(App& app, const std::string& label, const std::function<void(App&)>& fallback);
  SelftestStep pressStep(const std::string& label, std::function<void(App&)> fallback);
  // A button of the pad alone (shoulders, B), or `fallback` without --gamepad.
  SelftestStep buttonStep(const std::string& name, int button, std::function<void(App&)> fallback);

  SelftestStep discCheckStep(const std::string& name, const std::string& image, bool logResult);
  SelftestStep vanishingDiscStep();
  SelftestStep buildStep();
  SelftestStep playStep();
  SelftestStep crashStep();
  void logGameExit(App& app);
};
