// The build script's line protocol against the states it produces, the two
// estimates drawn from them, the step labels and the duration text.
#include <gtest/gtest.h>

#include <utility>

#include "app/app.h"
#include "prepare/duration.h"
#include "prepare/progress.h"
#include "ui_harness.h"

namespace {

using S = StepState;

struct StepExpect {
  const char* key;
  StepState state;
  int percent;
  double elapsed;
};

struct FeedCase {
  const char* name;
  std::vector<const char*> lines;
  std::vector<StepExpect> steps;  // only the steps named here are checked
  const char* failedStep = "";
  const char* errorMessage = "";
  double fraction = -1;  // < 0: not checked
};

const BuildStep& stepOf(const BuildProgress& p, const std::string& key) {
  for (const BuildStep& s : p.steps)
    if (s.key == key) return s;
  ADD_FAILURE() << "no step " << key;
  return p.steps[0];
}

TEST(BuildProgressTest, LinesAgainstStates) {
  const double all = 306;
  const std::vector<FeedCase> cases = {
      {.name = "percent above 100 is clamped", .lines = {"PERCENT compile 250"},
       .steps = {{"compile", S::Pending, 100, 0}}, .fraction = 0},
      {.name = "negative percent is 0", .lines = {"PERCENT compile 30", "PERCENT compile -5"},
       .steps = {{"compile", S::Pending, 0, 0}}, .fraction = 0},
      {.name = "missing percent is 0", .lines = {"PERCENT compile 30", "PERCENT compile"},
       .steps = {{"compile", S::Pending, 0, 0}}, .fraction = 0},
      {.name = "percent skips white space and stops at junk", .lines = {"PERCENT compile \t 42%"},
       .steps = {{"compile", S::Pending, 42, 0}}},
      {.name = "huge percent saturates", .lines = {"PERCENT compile 99999999999999999999999"},
       .steps = {{"compile", S::Pending, 100, 0}}},
      {.name = "extra blanks between words", .lines = {"  PERCENT   compile   7"},
       .steps = {{"compile", S::Pending, 7, 0}}},
      {.name = "done duration needs a first word", .lines = {"DONE extract 12.5"},
       .steps = {{"extract", S::Done, 100, 0}}, .fraction = 2 / all},
      {.name = "done duration is the second word", .lines = {"DONE extract ok 12.5"},
       .steps = {{"extract", S::Done, 100, 12.5}}},
      {.name = "done duration with exponent and trailing text", .lines = {"DONE extract ok 1.5e1s"},
       .steps = {{"extract", S::Done, 100, 15}}},
      {.name = "done duration refuses nan and hex", .lines = {"DONE extract ok nan", "DONE verify ok 0x10"},
       .steps = {{"extract", S::Done, 100, 0}, {"verify", S::Done, 100, 0}}},
      // Beyond a double a duration is the longest kept, not 0; below, 0.
      {.name = "done duration beyond a double is capped", .lines = {"DONE extract ok 1e400", "DONE verify ok -1e999"},
       .steps = {{"extract", S::Done, 100, 1e9}, {"verify", S::Done, 100, -1e9}}},
      {.name = "done duration below a double is 0", .lines = {"DONE extract ok 1e-400", "DONE verify ok 5e308"},
       .steps = {{"extract", S::Done, 100, 0}, {"verify", S::Done, 100, 1e9}}},
      {.name = "progress finishes earlier running steps only",
       .lines = {"PROGRESS extract", "PERCENT extract 30", "PROGRESS compile", "PROGRESS packs"},
       .steps = {{"extract", S::Done, 30, 0}, {"packs", S::Running, 0, 0}, {"compile", S::Running, 0, 0}}},
      {.name = "progress restarts a finished step", .lines = {"DONE tools ok 3", "PROGRESS tools"},
       .steps = {{"tools", S::Running, 0, 3}}, .fraction = 0},
      {.name = "keywords are case-sensitive", .lines = {"progress packs", "done packs ok 1", "Error packs x"},
       .steps = {{"packs", S::Pending, 0, 0}}, .fraction = 0},
      {.name = "unknown step keys select nothing", .lines = {"PROGRESS nosuch", "SKIP", "DONE"},
       .steps = {{"verify", S::Pending, 0, 0}}, .fraction = 0},
      {.name = "error with an unknown key keeps both texts", .lines = {"ERROR nosuchstep disc unreadable"},
       .steps = {{"verify", S::Pending, 0, 0}}, .failedStep = "nosuchstep", .errorMessage = "disc unreadable",
       .fraction = 0},
      {.name = "error removes exactly one blank", .lines = {"PROGRESS compile", "ERROR compile  No space\tleft "},
       .steps = {{"compile", S::Failed, 0, 0}}, .failedStep = "compile", .errorMessage = " No space\tleft ",
       .fraction = 0},
      {.name = "error keeps a leading tab", .lines = {"ERROR compile\tdisk full"},
       .steps = {{"compile", S::Failed, 0, 0}}, .failedStep = "compile", .errorMessage = "\tdisk full"},
      {.name = "the last error wins", .lines = {"ERROR extract first", "ERROR packs second"},
       .steps = {{"extract", S::Failed, 0, 0}, {"packs", S::Failed, 0, 0}}, .failedStep = "packs",
       .errorMessage = "second"},
      {.name = "error without a message", .lines = {"ERROR verify"}, .steps = {{"verify", S::Failed, 0, 0}},
       .failedStep = "verify", .fraction = 0},
      {.name = "result finishes the bar with steps pending", .lines = {"PROGRESS verify", "RESULT ok whatever"},
       .steps = {}, .fraction = 1.0},
      {.name = "skipped steps leave the total", .lines = {"SKIP verify", "DONE extract ok 1"},
       .steps = {{"verify", S::Skipped, 0, 0}}, .fraction = 2.0 / 305},
      {.name = "all skipped is 0 until result",
       .lines = {"SKIP verify", "SKIP extract", "SKIP configure", "SKIP tools", "SKIP recompile", "SKIP packs", "SKIP compile", "SKIP stage"},
       .steps = {{"stage", S::Skipped, 0, 0}}, .fraction = 0},
      {.name = "a running step counts by its percent",
       .lines = {"DONE configure ok 1", "PROGRESS packs", "PERCENT packs 50"},
       .steps = {{"configure", S::Done, 100, 1}, {"packs", S::Running, 50, 0}}, .fraction = 175 / all},
  };
  for (const FeedCase& c : cases) {
    SCOPED_TRACE(c.name);
    BuildProgress p;
    p.reset(1);
    for (const char* line : c.lines) p.feed(line, 10);
    ASSERT_EQ(p.outputLines.size(), c.lines.size());
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(p.outputLines[i], c.lines[i]);
    for (const StepExpect& e : c.steps) {
      const BuildStep& s = stepOf(p, e.key);
      EXPECT_EQ(s.state, e.state) << e.key;
      EXPECT_EQ(s.percent, e.percent) << e.key;
      EXPECT_DOUBLE_EQ(s.elapsedSeconds, e.elapsed) << e.key;
    }
    EXPECT_EQ(p.failedStep, c.failedStep);
    EXPECT_EQ(p.errorMessage, c.errorMessage);
    if (c.fraction >= 0) {
      EXPECT_NEAR(p.fraction(), c.fraction, 1e-12);
    }
  }
}

TEST(BuildProgressTest, ResetAndRunningStep) {
  BuildProgress p;
  ASSERT_EQ(p.steps.size(), 8u);
  double total = 0;
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(p.steps[i].key, kStepTable[i].key);
    total += p.steps[i].weight;
  }
  EXPECT_EQ(total, 306);
  EXPECT_EQ(p.runningStep(), -1);
  p.feed("PROGRESS compile", 3);
  p.feed("PROGRESS tools", 4);
  EXPECT_EQ(p.runningStep(), 3);
  EXPECT_EQ(p.steps[6].startedAt, 3);
  p.feed("ERROR tools broke", 5);
  p.feed("RESULT", 5);
  p.reset(7);
  EXPECT_EQ(p.runningStep(), -1);
  EXPECT_TRUE(p.outputLines.empty());
  EXPECT_TRUE(p.failedStep.empty() && p.errorMessage.empty());
  EXPECT_FALSE(p.resultSeen);
  EXPECT_EQ(p.startTime, 7);
  EXPECT_EQ(p.fraction(), 0);
}

TEST(BuildProgressTest, SecondsLeft) {
  struct Case {
    const char* name;
    std::vector<std::pair<double, const char*>> lines;  // time read, line
    double now;
    double expected;
  };
  const std::vector<Case> cases = {
      {"unknown during the first 5 s", {{1, "RESULT"}}, 4.99, -1},
      {"fresh build at one second per unit", {}, 5, 306},
      {"under 20 measured units", {{5, "DONE verify ok 100"}, {6, "DONE extract ok 100"}}, 50, 303},
      {"measured rate", {{100, "DONE configure ok 260"}}, 300, 176 * 2.0},
      {"rate clamped below", {{100, "DONE configure ok 1"}}, 300, 176 * 0.25},
      {"rate clamped above", {{100, "DONE configure ok 10000"}}, 300, 176 * 6.0},
      {"running step measured from its start", {{10, "PROGRESS configure"}, {20, "PERCENT configure 50"}}, 140,
       (306 - 65) * 2.0},
      {"4 percent measures nothing", {{10, "PROGRESS configure"}, {20, "PERCENT configure 4"}}, 1000, 306 - 5.2},
      {"skipped steps need no time", {{1, "SKIP configure"}, {1, "SKIP packs"}}, 10, 86},
      {"failed steps still count as remaining", {{1, "ERROR stage x"}}, 10, 306},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BuildProgress p;
    p.reset(0);
    for (const auto& [t, line] : c.lines) p.feed(line, t);
    EXPECT_NEAR(p.secondsLeft(c.now), c.expected, 1e-9);
  }
}

TEST(BuildProgressTest, StepLabels) {
  UiGlobalsGuard globals;
  uiFrench = false;
  EXPECT_EQ(stepLabel("compile"), "Compiling (the long part)");
  EXPECT_EQ(stepLabel("nosuch"), "nosuch");
  uiFrench = true;
  EXPECT_EQ(stepLabel("extract"), "Lecture des fichiers du disque");
  EXPECT_EQ(stepLabel(""), "");
}

TEST(FormatDurationTest, Table) {
  const std::vector<std::pair<double, const char*>> cases = {
      {0, "0:00"},        {0.5, "0:01"},       {59.49, "0:59"},      {307, "5:07"},  {3599.4, "59:59"},
      {3599.5, "1:00:00"}, {3725, "1:02:05"},   {-3, "0:00"},         {-0.4, "0:00"}, {36000, "10:00:00"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(formatDuration(seconds), text) << seconds;
}

}  // namespace
