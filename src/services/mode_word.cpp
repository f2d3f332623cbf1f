#include "services/mode_word.h"

namespace {
// Process-wide on purpose: the frame's timer and every window read and write the one word of the program.
QString& Word() {
  static QString word;
  return word;
}
}  // namespace

const QString& ModeWord() { return Word(); }
void SetModeWord(const QString& word) { Word() = word; }
bool ModeIsNew() { return Word() == kModeNew; }
