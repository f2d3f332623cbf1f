// The view window of a fractal: a centre, a magnification and the picture's aspect, turned into world edges.
#pragma once

#include "engine/fractal_params.h"

// The default view: centre (0, 0), zoom 0.23, edges and selected region -2..2. selXCenter/selYCenter are kept.
void ResetCoordinates(TFractalParams& v);

// Edges from centre, zoom and picture size. The longer side gets the wider extent so that a pixel covers the
// same world distance in x and y.
void AdjustCoords(TFractalParams& v);

// The world point under image pixel (px, py) and the world size of a pixel, by the edges of the last engine run:
// after a zoom, until the next run has started, they still refer to the previous view. imageWidth and
// imageHeight must not be 0.
struct TWorldPoint {
  double x = 0, y = 0;
  double stepX = 0, stepY = 0;
};
TWorldPoint WorldPointAt(const TFractalParams& v, int px, int py);

// What every engine run starts from: AdjustCoords, then the edges copied to the plot edges the engine maps onto.
void AdjustCoordsForRun(TFractalParams& v);
