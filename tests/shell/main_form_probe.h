// The frame's private state, for tests that set up a state no command reaches on its own.
#pragma once

#include "services/mode_word.h"
#include "shell/main_form.h"

struct TMainFormProbe {
  static TModeWord& ModeWord(TMainForm& frame) { return frame.modeWord_; }
};
