// Picture sizes of a fractal window: the sizes and hit lists of the document, and the fit of the window around
// its picture, which is widget geometry.
#pragma once

#include <QRect>
#include <QSize>

#include "document/picture_size.h"

// Client size of a window fitted around a picture that the view reports as pgWidth x pgHeight, inside a frame
// whose client area is frameClient: the picture plus a margin, or the frame less a margin when it is larger.
QSize FitClientSize(int pgWidth, int pgHeight, QSize frameClient);

// A window's geometry kept inside the area that holds it: no larger than the area, and moved back in where it
// sticks out, so that its title bar, close box and scroll bars stay within reach. An empty area changes nothing.
QRect KeepInside(const QRect& window, QSize area);
