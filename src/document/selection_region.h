// The arithmetic of marking a region on the picture: fitting the marked rectangle to the picture's aspect and
// turning it into a world region with the zoom it asks for.
#pragma once

#include "engine/fractal_params.h"

// A rectangle in image pixels.
struct TPixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TPixelRect&) const = default;
};

// Keeps the centre (cx, cy) and the mean side of `marked`, gives it the aspect imageWidth : imageHeight.
TPixelRect FitToAspect(const TPixelRect& marked, double cx, double cy, int imageWidth, int imageHeight);

// The half-size rectangle a click marks in click mode (only its size matters; its centre is the click).
TPixelRect ClickRegionSize(int imageWidth, int imageHeight);

// The rectangle a release marks, fitted to the picture's aspect: in rectangle mode the dragged one about its own
// centre; in click mode a half-size one about the press (downX, downY), whatever was dragged.
TPixelRect MarkedRectangle(const TPixelRect& dragged, bool rectangleMode, double downX, double downY,
                           int imageWidth, int imageHeight);

// Fills selXMin..selYMax, their centres, prevXCenter/prevYCenter and selZoom from a fitted rectangle.
void MarkRegion(TFractalParams& v, const TPixelRect& fitted);

// True when the marked region has no extent (selZoom 0): zooming into it would divide by zero.
bool RegionIsEmpty(const TFractalParams& v);

// Makes the marked region the view (centre and zoom); the edges follow at the next AdjustCoords.
void ZoomToRegion(TFractalParams& v);
