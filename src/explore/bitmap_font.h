// A tiny 5 x 7 bitmap font for captions drawn into pictures without a toolkit: capitals (lower case is drawn as
// capitals), digits and the punctuation of file names and figures.
#pragma once

#include <string>

#include "image/pixel_graphic.h"

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = kGlyphWidth + 1;

// Whether pixel (column, row) of the glyph of c is set; a character without a glyph is drawn as a box.
bool GlyphPixel(char c, int column, int row);

// Draws text with its top left corner at (x, y), each set pixel a scale x scale block of `colour`; what falls
// outside the picture is left out. Returns the x after the last character.
int DrawText(TPixelGraphic& picture, int x, int y, const std::string& text, TColor colour, int scale = 1);

// The width text takes at that scale.
inline int TextWidth(const std::string& text, int scale = 1) {
  return static_cast<int>(text.size()) * kGlyphAdvance * scale;
}
