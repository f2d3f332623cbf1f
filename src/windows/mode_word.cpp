#include "windows/mode_word.h"

namespace {
QString& Word() {
  static QString word;
  return word;
}
bool& Exiting() {
  static bool exiting = false;
  return exiting;
}
}  // namespace

const QString& ModeWord() { return Word(); }
void SetModeWord(const QString& word) { Word() = word; }
bool ModeIsNew() { return Word() == kModeNew; }

bool ExitRequested() { return Exiting(); }
void RequestExit() { Exiting() = true; }
void ClearExitRequest() { Exiting() = false; }
