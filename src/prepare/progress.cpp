// The build script's line protocol turned into the eight-step model, and the
// two derived values the preparing view draws from it.
#include "prepare/progress.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "app/app.h"

const StepInfo kStepTable[8] = {
    {"verify", 1, "Checking the disc", "Vérification du disque"},
    {"extract", 2, "Reading the disc's files", "Lecture des fichiers du disque"},
    {"configure", 130, "Configuring the build", "Configuration de la compilation"},
    {"tools", 11, "Preparing the recompiler", "Préparation du recompilateur"},
    {"recompile", 9, "Recompiling the game's code", "Recompilation du code du jeu"},
    {"packs", 90, "Converting textures and meshes", "Conversion des textures et des modèles"},
    {"compile", 62, "Compiling (the long part)", "Compilation (la partie longue)"},
    {"stage", 1, "Assembling the game folder", "Assemblage du dossier du jeu"},
};

namespace {

// The blanks of the C locale, whatever locale the process runs in.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Splits like `stream >> keyword >> key; getline(stream, rest)`, then drops
// exactly one leading blank from the rest.
struct SplitLine {
  std::string keyword, key, rest;
};

SplitLine splitLine(const std::string& line) {
  SplitLine out;
  size_t pos = 0;
  auto word = [&](std::string& into) {
    while (pos < line.size() && isSpace(line[pos])) ++pos;
    size_t start = pos;
    while (pos < line.size() && !isSpace(line[pos])) ++pos;
    into = line.substr(start, pos - start);
  };
  word(out.keyword);
  word(out.key);
  if (!out.key.empty()) {
    out.rest = line.substr(pos);
    if (!out.rest.empty() && out.rest[0] == ' ') out.rest.erase(0, 1);
  }
  return out;
}

// Leading white space, optional sign, digits; anything else reads as 0.
// Huge values saturate so the later clamp still sees the right side.
int readPercent(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  while (i < text.size() && isDigit(text[i])) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), 1000);
    ++i;
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, 0, 100));
}

// A reported duration is kept within this many seconds (about 31 years) either
// way: a number beyond a double used to read as 0, a fast step that made the
// estimate too low, and sums of huge ones of both signs made it NaN.
constexpr double kLongestDuration = 1e9;

// Whether the decimal number text[start, end) (digits, fraction, exponent; no
// sign) is of magnitude above 1 (+1) or below (-1), for a number that does not
// fit a double: roughly its leading digit's place plus the exponent.
int exponentSign(const std::string& text, size_t start, size_t end) {
  long long place = 0;  // decimal place of the first non-zero digit, 1 = units
  bool seenPoint = false, found = false;
  size_t i = start;
  for (; i < end && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      seenPoint = true;
    } else if (!found) {
      if (text[i] != '0') found = true;
      if (seenPoint) --place;
      if (found && !seenPoint) place = 1;
    } else if (!seenPoint) {
      ++place;
    }
  }
  long long exponent = 0;
  if (i < end) {
    size_t e = i + 1;
    bool negative = false;
    if (e < end && (text[e] == '+' || text[e] == '-')) negative = text[e++] == '-';
    for (; e < end; ++e) exponent = std::min<long long>(exponent * 10 + (text[e] - '0'), 1000000000);
    if (negative) exponent = -exponent;
  }
  return place + exponent > 0 ? 1 : -1;
}

// A plain decimal number (sign, digits, fraction, exponent) after leading
// white space. Unlike strtod this ignores the locale and refuses "nan", "inf"
// and hexadecimal, which would poison the time estimate.
double readSeconds(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  size_t start = i;
  size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && isDigit(text[e])) {
      while (e < text.size() && isDigit(text[e])) ++e;
      i = e;
    }
  }
  double value = 0;
  auto result = std::from_chars(text.data() + start, text.data() + i, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small for a double is 0; too large is the longest duration kept.
    value = exponentSign(text, start, i) > 0 ? kLongestDuration : 0;
  } else if (result.ec != std::errc()) {
    return 0;
  }
  value = std::min(value, kLongestDuration);
  return negative ? -value : value;
}

}  // namespace

void BuildProgress::reset(double now) {
  steps.clear();
  for (const StepInfo& info : kStepTable) {
    BuildStep step;
    step.key = info.key;
    step.weight = info.weight;
    steps.push_back(step);
  }
  failedStep.clear();
  errorMessage.clear();
  outputLines.clear();
  resultSeen = false;
  startTime = now;
}

void BuildProgress::feed(std::string line, double now) {
  apply(line, now);
  // A flood of output costs no memory: only what the error report shows stays.
  if (outputLines.size() == kKeptOutputLines) outputLines.pop_front();
  outputLines.push_back(std::move(line));
}

void BuildProgress::feedLines(std::vector<std::string> lines, double now) {
  const size_t firstKept = lines.size() > kKeptOutputLines ? lines.size() - kKeptOutputLines : 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i >= firstKept) feed(std::move(lines[i]), now);
    else apply(lines[i], now);
  }
}

void BuildProgress::apply(const std::string& line, double now) {
  if (!isProgressLine(line)) return;  // most lines: no splitting, no copies
  SplitLine parts = splitLine(line);
  int selected = -1;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (!parts.key.empty() && steps[i].key == parts.key) {
      selected = static_cast<int>(i);
      break;
    }
  }
  BuildStep* step = selected >= 0 ? &steps[selected] : nullptr;
  const std::string& kw = parts.keyword;
  if (kw == "PROGRESS") {
    if (!step) return;
    for (int i = 0; i < selected; ++i)
      if (steps[i].state == StepState::Running) steps[i].state = StepState::Done;
    step->state = StepState::Running;
    step->percent = 0;
    step->startedAt = now;
  } else if (kw == "PERCENT") {
    if (step) step->percent = readPercent(parts.rest);
  } else if (kw == "SKIP") {
    if (step) step->state = StepState::Skipped;
  } else if (kw == "DONE") {
    if (!step) return;
    step->state = StepState::Done;
    step->percent = 100;
    size_t blank = parts.rest.find(' ');
    step->elapsedSeconds = blank == std::string::npos ? 0 : readSeconds(parts.rest.substr(blank + 1));
  } else if (kw == "ERROR") {
    failedStep = parts.key;
    errorMessage = parts.rest;
    if (step) step->state = StepState::Failed;
  } else if (kw == "RESULT") {
    resultSeen = true;
  }
}

bool isProgressLine(std::string_view line) {
  size_t pos = 0;
  while (pos < line.size() && isSpace(line[pos])) ++pos;
  // Most output is not protocol: one look at the first letter settles it.
  if (pos == line.size() || std::string_view("PSDER").find(line[pos]) == std::string_view::npos) return false;
  pos = 0;
  while (pos < line.size() && isSpace(line[pos])) ++pos;
  size_t start = pos;
  while (pos < line.size() && !isSpace(line[pos])) ++pos;
  const std::string_view keyword = line.substr(start, pos - start);
  for (std::string_view k : {"PROGRESS", "PERCENT", "SKIP", "DONE", "ERROR", "RESULT"})
    if (keyword == k) return true;
  return false;
}

int BuildProgress::runningStep() const {
  for (size_t i = 0; i < steps.size(); ++i)
    if (steps[i].state == StepState::Running) return static_cast<int>(i);
  return -1;
}

double BuildProgress::fraction() const {
  if (resultSeen) return 1.0;
  double total = 0, done = 0;
  for (const BuildStep& step : steps) {
    if (step.state == StepState::Skipped) continue;
    total += step.weight;
    if (step.state == StepState::Done)
      done += step.weight;
    else if (step.state == StepState::Running)
      done += step.weight * step.percent / 100.0;
  }
  if (!(total > 0)) return 0.0;
  return std::clamp(done / total, 0.0, 1.0);
}

double BuildProgress::secondsLeft(double now) const {
  if (now - startTime < 5.0) return -1.0;
  if (steps.empty()) return 0.0;
  double measuredTime = 0, measuredWeight = 0, remainingWeight = 0;
  for (const BuildStep& step : steps) {
    switch (step.state) {
      case StepState::Skipped:
        break;
      case StepState::Done:
        measuredTime += step.elapsedSeconds;
        measuredWeight += step.weight;
        break;
      case StepState::Running: {
        double doneWeight = step.weight * step.percent / 100.0;
        remainingWeight += step.weight - doneWeight;
        if (step.percent > 4) {
          measuredTime += now - step.startedAt;
          measuredWeight += doneWeight;
        }
        break;
      }
      case StepState::Pending:
      case StepState::Failed:
        remainingWeight += step.weight;
        break;
    }
  }
  if (measuredWeight >= 20) {
    double rate = std::clamp(measuredTime / measuredWeight, 0.25, 6.0);
    return remainingWeight * rate;
  }
  return remainingWeight;
}

std::string stepLabel(const std::string& key) {
  for (const StepInfo& info : kStepTable)
    if (key == info.key) return uiFrench ? info.french : info.english;
  return key;
}
