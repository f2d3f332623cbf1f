// The window's private state, for tests that set up a record or look at a member no command shows.
#pragma once

#include <QString>

#include "engine/fractal_params.h"
#include "windows/childwin.h"

struct TMDIChildProbe {
  static TFractalParams& Record(TMDIChild& w) { return w.v; }
  static const QString& TitleText(const TMDIChild& w) { return w.TitleText; }
  static bool RectangleMode(const TMDIChild& w) { return w.RectangleMode; }
  static double CursorX(const TMDIChild& w) { return w.CursorX; }
  static double CursorY(const TMDIChild& w) { return w.CursorY; }
  static const QString& ModeWord(const TMDIChild& w) { return w.modeWord_->Word(); }
};
