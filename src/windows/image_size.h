// Picture sizes of a fractal window: the sizes and hit lists of the document, and the fit of the window around
// its picture, which is widget geometry.
#pragma once

#include <QSize>

#include "document/picture_size.h"

// Client size of a window fitted around a picture that the view reports as pgWidth x pgHeight, inside a frame
// whose client area is frameClient: the picture plus a margin, or the frame less a margin when it is larger.
QSize FitClientSize(int pgWidth, int pgHeight, QSize frameClient);
