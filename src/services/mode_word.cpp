#include "services/mode_word.h"

namespace {
// Process-wide on purpose: the frame's timer and every window read and write the one word of the program.
QString& Word() {
  static QString word;
  return word;
}
// Process-wide on purpose: every nested event loop, whichever window or frame runs it, must see it to unwind.
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
