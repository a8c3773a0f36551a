// The build script's line protocol and the eight-step progress model drawn by
// the preparing view.
#pragma once
#include <deque>
#include <string>
#include <string_view>
#include <vector>

enum class StepState { Pending = 0, Running = 1, Done = 2, Skipped = 3, Failed = 4 };

struct BuildStep {
  std::string key;
  StepState state = StepState::Pending;
  int percent = 0;
  double elapsedSeconds = 0;
  double startedAt = 0;
  double weight = 0;
};

struct StepInfo {
  const char* key;
  double weight;
  const char* english;
  const char* french;
};
extern const StepInfo kStepTable[8];

// How many of the last output lines a run keeps: all the error report shows.
constexpr size_t kKeptOutputLines = 60;

struct BuildProgress {
  std::vector<BuildStep> steps;
  std::string failedStep;
  std::string errorMessage;
  std::deque<std::string> outputLines;  // the last kKeptOutputLines lines, oldest first
  bool resultSeen = false;
  double startTime = 0;

  BuildProgress() { reset(0); }
  void reset(double now);
  void feed(std::string line, double now);
  // The same as feeding each line in turn, but stores only those that can
  // still be among the last kKeptOutputLines: a flood costs no copies.
  void feedLines(std::vector<std::string> lines, double now);
  int runningStep() const;
  double fraction() const;
  double secondsLeft(double now) const;

 private:
  void apply(const std::string& line, double now);
};

// The label in the current interface language; the key itself for unknown keys.
std::string stepLabel(const std::string& key);

// Whether a line changes the model (PROGRESS, PERCENT, SKIP, DONE, ERROR,
// RESULT): the output reader never drops these, however much else arrives.
bool isProgressLine(std::string_view line);
