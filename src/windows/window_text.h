// Texts a fractal window writes: the progress caption while a pass runs and the coordinate readout.
#pragma once

#include <QString>

#include "document/fractal_document.h"

// Fixed notation with `decimals` digits and the given decimal separator ("%F" is two decimals).
QString FormatFixed(double value, int decimals, const QString& decimalPoint);

// "%d    %d    %F3    %F4    %F4" of ticks, iterations, lyapunov, plotX, plotY: the digit after each %F is
// plain text, so a lyapunov of 0.5 reads 0.503.
QString FormatProgressCaption(const TProgressFigures& p, const QString& decimalPoint);

// "cx=", "cy=" or "M=" followed by the value with twelve decimals ("%1.12f").
QString FormatReadout(const char* label, double value, const QString& decimalPoint);

// The user's decimal separator, asked of the locale.
QString UserDecimalPoint();
