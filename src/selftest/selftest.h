// Scripted runs of the whole launcher: steps run one per frame, log lines go
// to selftest.log, screenshots to the shots folder.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

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


  SelftestStep discCheckStep(const std::string& name, const std::string& image, bool logResult);
  SelftestStep vanishingDiscStep();
  SelftestStep buildStep();
  SelftestStep playStep();
  SelftestStep crashStep();
  void logGameExit(App& app);
};
